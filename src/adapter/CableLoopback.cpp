#include "adapter/CableLoopback.h"

#include "adapter/PinInfo.h"
#include "adapter/SignalEntry.h"
#include "base/TextUtil.h"
#include "console/Errors.h"

namespace mervex {

namespace {

constexpr uint32_t DirectionBit = 0x200000;
constexpr const char* Blanks = " \t";

}  // namespace

CableLoopback parseLoopback(const std::string& entry) {
    const size_t at = entry.find('<');
    const std::string destination = trim(entry.substr(0, at), Blanks);
    const std::string source = at == std::string::npos ? "" : trim(entry.substr(at + 1), Blanks);
    const PinInfo* status = findPin(destination);
    if (at == std::string::npos || !status || status->direction != DirectionInput)
        throw app_error(ExitUsage, "loop-back '%s' must lead to a status line (ERROR, ONLINE, PE, ACK, BUSY)\n",
                        entry.c_str());
    CableLoopback loop;
    loop.statusBit = statusBits(status->mask);
    loop.statusInverted = status->inverted;
    if (source == "0" || source == "1") {
        loop.fixed = true;
        loop.level = source == "1";
        return loop;
    }
    const bool negated = !source.empty() && source[0] == '~';
    const PinInfo* pin = findPin(negated ? source.substr(1) : source);
    if (!pin || pin->direction != DirectionOutput || pin->mask == DirectionBit)
        throw app_error(ExitUsage, "loop-back '%s' must come from an output line, 0 or 1\n", entry.c_str());
    loop.sourceMask = pin->mask;
    loop.sourceInverted = pin->inverted != negated;
    return loop;
}

std::vector<CableLoopback> parseLoopbacks(const std::string& entries) {
    std::vector<CableLoopback> loops;
    for (const std::string& piece : splitList(entries, ":")) {
        const std::string entry = trim(piece, Blanks);
        if (entry.empty()) continue;
        const CableLoopback loop = parseLoopback(entry);
        if (loopbackBits(loops) & loop.statusBit)
            throw app_error(ExitUsage, "two loop-backs drive %s\n", trim(entry.substr(0, entry.find('<')), Blanks).c_str());
        loops.push_back(loop);
    }
    return loops;
}

uint8_t driveLoopbacks(const std::vector<CableLoopback>& loops, uint8_t status, uint8_t data, uint8_t control) {
    const bool floating = (control & DataLinesFloat) != 0;
    const uint32_t registers = uint32_t(data) | uint32_t(control) << 16;
    for (const CableLoopback& loop : loops) {
        bool level = loop.level;
        if (!loop.fixed) {
            if (floating && dataBits(loop.sourceMask) != 0) level = true;
            else level = ((registers & loop.sourceMask) != 0) != loop.sourceInverted;
        }
        const bool bit = level != loop.statusInverted;
        status = uint8_t(bit ? (status | loop.statusBit) : (status & ~loop.statusBit));
    }
    return status;
}

uint8_t loopbackBits(const std::vector<CableLoopback>& loops) {
    uint8_t bits = 0;
    for (const CableLoopback& loop : loops) bits |= loop.statusBit;
    return bits;
}

}  // namespace mervex
