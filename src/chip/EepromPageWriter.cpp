#include "chip/EepromPageWriter.h"

#include <algorithm>
#include <vector>

#include "chip/ChipDescriptor.h"
#include "chip/Fuses.h"
#include "chip/IspInstruction.h"
#include "chip/IspTransport.h"
#include "chip/MemoryAccess.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

void prepareEepromPages(ChipState& session) {
    AccessState& access = session.access;
    access.eepromPage = EepromPage();
    access.eepromBlankFrom = -1;
    if (!session.options.eepromPages) return;
    if (access.writeRoutine[int(MemoryKind::Data)] != WriteRoutine::EepromPageLoader) {
        message(LevelWarning, "Can't use page writes for %s of %s\n", memoryKindName(MemoryKind::Data),
                chipNameAt(session.selection.detectedIndex));
        return;
    }
    if (session.chipErased && !session.eepromWrittenSinceErase && !eesaveProgrammed(session))
        access.eepromBlankFrom = 0;
}

void loadEepromByte(ChipState& session, uint32_t address, uint8_t value) {
    EepromPage& page = session.access.eepromPage;
    const uint32_t mask = session.timing.eepromPageMask;
    const uint32_t base = address & ~mask;
    if (page.base != -1 && uint32_t(page.base) != base) commitEepromPage(session);
    page.base = int32_t(base);
    page.bytes[address & mask] = value;
    page.given |= 1u << (address & mask);
}

void commitEepromPage(ChipState& session) {
    AccessState& access = session.access;
    EepromPage page = access.eepromPage;
    if (page.base == -1) return;
    access.eepromPage = EepromPage();
    const uint32_t base = uint32_t(page.base);
    const uint32_t size = session.timing.eepromPageMask + 1;

    // The bytes the image leaves out keep what the chip holds. Of the image's
    // bytes only as many are read as it takes to find one that differs: from
    // there on the page is written anyway.
    const bool blank = access.eepromBlankFrom != -1 && base >= access.eepromBlankFrom;
    bool changed = false;
    for (uint32_t i = 0; i < size; ++i) {
        const bool given = (page.given >> i & 1) != 0;
        if (given && changed) continue;
        uint8_t held = 0xFF;
        if (!blank) readEepromBlock(session, &held, base + i, 1);
        if (!given) page.bytes[i] = held;
        else if (page.bytes[i] != held) changed = true;
    }
    if (!changed) return;

    PollState& poll = session.poll;
    poll.pollAddress = -1;
    std::vector<uint8_t> loads;
    loads.reserve(4 * size);
    for (uint32_t i = 0; i < size; ++i) {
        rememberPollByte(poll, base + i, page.bytes[i]);
        const IspInstruction load = isp::loadEepromPageByte(uint8_t(i), page.bytes[i]);
        loads.insert(loads.end(), load.bytes, load.bytes + 4);
    }
    IspLink& link = session.link();
    link.sendBlock(loads.data(), loads.size());
    sendChecked(link, isp::writeEepromPage(base));
    session.eepromWrittenSinceErase = true;
    if (access.eepromBlankFrom != -1) access.eepromBlankFrom = std::max<int64_t>(access.eepromBlankFrom, base + size);
    if (!waitWriteDone(session, MemoryKind::Data, poll.pollAddress, poll.pollValue, session.timing.eepromByteDelay)) {
        throw app_error(ExitChip, "Poll: can't write page to %s at 0x%lX\n", memoryKindName(MemoryKind::Data),
                        (unsigned long)base);
    }
    poll.pollAddress = -1;
}

}  // namespace mervex
