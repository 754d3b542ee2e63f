#include "adapter/CableLoopback.h"

#include "adapter/PinInfo.h"
#include "adapter/SignalEntry.h"
#include "base/TextUtil.h"

namespace mervex {

namespace {

constexpr uint32_t DirectionBit = 0x200000;
constexpr const char* Blanks = " \t";

}  // namespace

bool parseLoopback(const std::string& entry, CableLoopback& loop, std::string& error) {
    const size_t at = entry.find('<');
    const std::string destination = trim(entry.substr(0, at), Blanks);
    const std::string source = at == std::string::npos ? "" : trim(entry.substr(at + 1), Blanks);
    const PinInfo* status = findPin(destination);
    if (at == std::string::npos || !status || status->direction != DirectionInput) {
        error = "loop-back '" + entry + "' must lead to a status line (ERROR, ONLINE, PE, ACK, BUSY)";
        return false;
    }
    loop = CableLoopback{};
    loop.statusBit = statusBits(status->mask);
    loop.statusInverted = status->inverted;
    if (source == "0" || source == "1") {
        loop.fixed = true;
        loop.level = source == "1";
        return true;
    }
    const bool negated = !source.empty() && source[0] == '~';
    const PinInfo* pin = findPin(negated ? source.substr(1) : source);
    if (!pin || pin->direction != DirectionOutput || pin->mask == DirectionBit) {
        error = "loop-back '" + entry + "' must come from an output line, 0 or 1";
        return false;
    }
    loop.sourceMask = pin->mask;
    loop.sourceInverted = pin->inverted != negated;
    return true;
}

bool parseLoopbacks(const std::string& entries, std::vector<CableLoopback>& loops, std::string& error) {
    for (const std::string& piece : splitList(entries, ":")) {
        const std::string entry = trim(piece, Blanks);
        if (entry.empty()) continue;
        CableLoopback loop;
        if (!parseLoopback(entry, loop, error)) return false;
        if (loopbackBits(loops) & loop.statusBit) {
            error = "two loop-backs drive " + trim(entry.substr(0, entry.find('<')), Blanks);
            return false;
        }
        loops.push_back(loop);
    }
    return true;
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
