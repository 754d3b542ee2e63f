#include "chip/MemoryAccess.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "chip/ChipDescriptor.h"
#include "chip/EepromPageWriter.h"
#include "chip/IspInstruction.h"
#include "chip/IspTransport.h"
#include "chip/LowSupply.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Stopwatch.h"

namespace mervex {

namespace {

bool unpollable(const PollState& poll, uint8_t value) {
    return value == poll.unpollableA || value == poll.unpollableB;
}

// One page of the largest chip (256 bytes) as load instructions, plus the extended address.
constexpr size_t PageQueueReserve = 256 * 4 + 4;
// Polling gives up after this many times the write's fixed delay.
constexpr double PollTimeoutFactor = 4.0;
// The chip times its flash writes by its own oscillator, so those of one pass
// take the same time. After the first, polling starts once this share of the
// quickest (never more than of the fixed delay) has passed, instead of asking
// through the whole write: the chip gets fewer questions, the writes take the
// same time.
constexpr double FlashPollHeadStart = 0.75;

bool flashNeedsExtendedAddress(const ChipState& session) {
    return isp::needsExtendedAddress(session.flashSize());
}

void appendInstruction(std::vector<uint8_t>& queue, const IspInstruction& instruction) {
    queue.insert(queue.end(), instruction.bytes, instruction.bytes + 4);
}

// Queue one page-load byte; nothing is sent yet.
void loadPageByte(ChipState& session, uint32_t address, uint8_t value) {
    rememberPollByte(session.poll, address, value);
    AccessState& access = session.access;
    if (access.pageQueue.capacity() < PageQueueReserve) access.pageQueue.reserve(PageQueueReserve);
    appendInstruction(access.pageQueue, isp::loadPageByte(address & session.timing.pageMask, value));
}

// True when the open page already holds a load for address.
bool pageHoldsLoad(const ChipState& session, uint32_t address) {
    const std::vector<uint8_t>& queue = session.access.pageQueue;
    IspInstruction load = isp::loadPageByte(address & session.timing.pageMask, 0);
    for (size_t i = 0; i + 4 <= queue.size(); i += 4)
        if (queue[i] == load[0] && queue[i + 1] == load[1] && queue[i + 2] == load[2]) return true;
    return false;
}

// Complete a word with 0xFF. Never over a byte the open page already holds: an
// image may carry overlapping blocks, and the pass then goes back over bytes
// it has loaded; filling over them would lose their values.
void fillPageByte(ChipState& session, uint32_t address) {
    if (!pageHoldsLoad(session, address)) loadPageByte(session, address, 0xFF);
}

void pageLoader(ChipState& session, uint32_t address, uint8_t value) {
    AccessState& access = session.access;
    const uint32_t mask = session.timing.pageMask;
    int64_t last = access.lastAddress;
    if (last != -1 && (address | mask) != (uint32_t(last) | mask)) {
        writeFlashPage(session, uint32_t(last));
        last = access.lastAddress = -1;
    }
    const bool skipFF = value == 0xFF && session.chipErased;
    if (int64_t(address) != last + 1) {
        // A low byte was loaded without its high byte.
        if (last != -1 && (last & 1) == 0) {
            access.lastAddress = int32_t(last + 1);
            fillPageByte(session, uint32_t(last + 1));
        }
        // This high byte comes without its low byte.
        if ((address & 1) != 0 && !skipFF) {
            access.lastAddress = int32_t(address - 1);
            fillPageByte(session, address - 1);
        }
    }
    if (skipFF) return;
    loadPageByte(session, address, value);
    access.lastAddress = int32_t(address);
}

void byteWriter(ChipState& session, MemoryKind kind, uint32_t address, uint8_t value) {
    const bool data = kind == MemoryKind::Data;
    if (value == 0xFF && session.chipErased && !(data && session.options.preserveEeprom)) {
        // A programmed EESAVE fuse keeps the EEPROM through the erase: there 0xFF
        // is written only where the byte is not blank already.
        if (!data || !eraseMayKeepEeprom(session.selectedChip())) return;
        uint8_t current = 0;
        readEepromBlock(session, &current, address, 1);
        if (current == 0xFF) return;
    }
    rememberPollByte(session.poll, address, value);
    sendChecked(session.link(), data ? isp::writeEeprom(address, value) : isp::writeFlashByte(address, value));
    if (data) session.eepromWrittenSinceErase = true;
    double delay = data ? session.timing.eepromByteDelay : session.timing.flashByteDelay;
    if (!waitWriteDone(session, kind, int32_t(address), value, delay)) {
        throw app_error(ExitChip, "Poll: can't write byte to %s at 0x%lX\n", memoryKindName(kind),
                        (unsigned long)address);
    }
}

}  // namespace

void rememberPollByte(PollState& poll, uint32_t address, uint8_t value) {
    if (poll.method != PollKind::ReadBack || unpollable(poll, value)) return;
    poll.pollAddress = int32_t(address);
    poll.pollValue = value;
}

void setWriteTiming(ChipState& session) {
    const double scale = session.options.delayScale;
    const ChipDescriptor& chip = session.selectedChip();
    WriteTiming& timing = session.timing;
    WriteRoutine& codeRoutine = session.access.writeRoutine[int(MemoryKind::Code)];
    if (chip.flash.pageSize != 0) {
        timing.flashByteDelay = 0;
        timing.flashPageDelay = chip.flash.writeDelayMs;
        timing.pageMode = true;
        timing.pageMask = uint32_t(chip.flash.pageSize - 1);
        codeRoutine = WriteRoutine::PageLoader;
    } else {
        timing.flashByteDelay = chip.flash.writeDelayMs;
        timing.flashPageDelay = 0;
        codeRoutine = WriteRoutine::ByteWriter;
    }
    const bool eepromPages = session.options.eepromPages && chip.eeprom.pageSize > 0 &&
                             uint32_t(chip.eeprom.pageSize) <= MaxEepromPage;
    session.access.writeRoutine[int(MemoryKind::Data)] =
        eepromPages ? WriteRoutine::EepromPageLoader : WriteRoutine::ByteWriter;
    timing.eepromPageMask = eepromPages ? uint32_t(chip.eeprom.pageSize - 1) : 0;
    timing.eepromByteDelay = chip.eeprom.writeDelayMs * scale;
    timing.flashByteDelay *= scale;
    timing.flashPageDelay *= scale;
    timing.eraseDelay = chip.eraseDelayMs * scale;
    timing.lowSupplyWrite = lowSupplyWriteMs(chip);
}

void beginMemoryPass(ChipState& session) {
    session.access.pageQueue.clear();
    session.access.lastAddress = -1;
    session.access.extendedReadAddress = -1;
    session.access.eepromPage = EepromPage();
}

void beginWritePass(ChipState& session, MemoryKind kind) {
    session.access.pageQueue.clear();
    if (session.options.pollRequested) {
        PollState& poll = session.poll;
        poll.pollAddress = -1;
        poll.flashWriteMs = 0;
        const ChipDescriptor& chip = session.selectedChip();
        const MemoryDescriptor& memory = kind == MemoryKind::Code ? chip.flash : chip.eeprom;
        auto readBack = [&poll](uint8_t a, uint8_t b) {
            poll.method = PollKind::ReadBack;
            poll.unpollableA = a;
            poll.unpollableB = b;
        };
        switch (memory.pollMethod) {
        case PollExcept00FF: readBack(0x00, 0xFF); break;
        case PollExcept7F80: readBack(0x7F, 0x80); break;
        case PollExcept7F: readBack(0x7F, 0x7F); break;
        case PollExceptFF: readBack(0xFF, 0xFF); break;
        case PollReadyBusy: poll.method = PollKind::ReadyBusy; break;
        case PollNone:
        default:
            message(LevelWarning, "Can't use write polling for %s of %s\n", memoryKindName(kind),
                    chipNameAt(session.selection.detectedIndex));
            poll.method = PollKind::FixedDelay;
            break;
        }
    }
    session.access.lastAddress = -1;
    session.access.extendedReadAddress = -1;
    if (kind == MemoryKind::Data) prepareEepromPages(session);
}

void writeMemoryByte(ChipState& session, MemoryKind kind, uint32_t address, uint8_t value) {
    switch (session.access.writeRoutine[int(kind)]) {
    case WriteRoutine::PageLoader: pageLoader(session, address, value); break;
    case WriteRoutine::EepromPageLoader: loadEepromByte(session, address, value); break;
    case WriteRoutine::ByteWriter: byteWriter(session, kind, address, value); break;
    }
}

void writeFlashPage(ChipState& session, uint32_t lastLoaded) {
    IspLink& link = session.link();
    if ((lastLoaded & 1) == 0) fillPageByte(session, lastLoaded + 1);
    std::vector<uint8_t>& queue = session.access.pageQueue;
    if (flashNeedsExtendedAddress(session))
        appendInstruction(queue, isp::loadExtendedAddress(isp::extendedAddressByte(lastLoaded)));
    link.sendBlock(queue.data(), queue.size());
    queue.clear();
    sendChecked(link, isp::writeFlashPage(lastLoaded));
    PollState& poll = session.poll;
    if (!waitWriteDone(session, MemoryKind::Code, poll.pollAddress, poll.pollValue, session.timing.flashPageDelay)) {
        throw app_error(ExitChip, "Poll: can't write page at 0x%lX\n",
                        (unsigned long)(lastLoaded & ~session.timing.pageMask));
    }
    poll.pollAddress = -1;
}

void commitOpenPage(ChipState& session, MemoryKind kind) {
    if (kind == MemoryKind::Data) {
        commitEepromPage(session);
        return;
    }
    if (!session.timing.pageMode || session.access.lastAddress == -1) return;
    writeFlashPage(session, uint32_t(session.access.lastAddress));
    session.access.lastAddress = -1;
}

namespace {

// Ask done() until it says yes or the time-out of the write has passed. The
// time is taken before each question, so the chip always gets one more
// question after the time-out: a process held up by the system past the
// time-out must not report a write that the chip has finished in the meantime
// as failed. A flash write is first given its head start, and the time it
// took is kept.
template <typename Done>
bool pollUntil(ChipState& session, MemoryKind kind, double delayMs, Done done) {
    PollState& poll = session.poll;
    const bool flash = kind == MemoryKind::Code;
    Stopwatch timer(session.link().clock());
    timer.restart();
    timer.setTimeout(PollTimeoutFactor * delayMs);
    if (flash && poll.flashWriteMs > 0)
        session.link().delay(FlashPollHeadStart * std::min(poll.flashWriteMs, delayMs));
    for (;;) {
        const bool late = timer.timedOut();
        if (done()) {
            const double took = timer.elapsedMs();
            if (flash && (poll.flashWriteMs == 0 || took < poll.flashWriteMs)) poll.flashWriteMs = took;
            return true;
        }
        if (late) return false;
    }
}

}  // namespace

bool waitWriteDone(ChipState& session, MemoryKind kind, int32_t address, uint8_t value, double delayMs) {
    const PollState& poll = session.poll;
    IspLink& link = session.link();
    switch (poll.method) {
    case PollKind::ReadBack:
        if (address == -1 || unpollable(poll, value)) {
            // Nothing shows when this write ends: wait as long as it can take
            // at any supply, since polling is what the user chose for that.
            link.delay(std::max(delayMs, session.timing.lowSupplyWrite));
            return true;
        }
        return pollUntil(session, kind, delayMs,
                         [&] { return readProgramByte(session, kind, uint32_t(address)) == value; });
    case PollKind::ReadyBusy:
        return pollUntil(session, kind, delayMs, [&] { return (exchangeRead(link, isp::readyBusy()) & 1) == 0; });
    case PollKind::FixedDelay:
        break;
    }
    link.delay(delayMs);
    return true;
}

uint8_t readProgramByte(ChipState& session, MemoryKind kind, uint32_t address) {
    const bool code = kind == MemoryKind::Code;
    return exchangeRead(session.link(), code ? isp::readFlash(address) : isp::readEeprom(address));
}

void loadExtendedAddress(ChipState& session, uint8_t high) {
    sendChecked(session.link(), isp::loadExtendedAddress(high));
}

uint16_t readFlashWord(ChipState& session, uint32_t address) {
    beginMemoryPass(session);
    if (flashNeedsExtendedAddress(session)) loadExtendedAddress(session, isp::extendedAddressByte(address));
    const uint8_t low = readProgramByte(session, MemoryKind::Code, address);
    const uint8_t high = readProgramByte(session, MemoryKind::Code, address + 1);
    return uint16_t(low | (high << 8));
}

void readFlashBlock(ChipState& session, uint8_t* buffer, uint32_t address, size_t count) {
    IspLink& link = session.link();
    const bool extended = flashNeedsExtendedAddress(session);
    int32_t& last = session.access.extendedReadAddress;
    for (size_t i = 0; i < count; ++i, ++address) {
        // The extended address is set once per 128 KB block, where a read first enters it.
        if (extended && (last == -1 || isp::extendedAddressByte(address) != isp::extendedAddressByte(uint32_t(last)))) {
            loadExtendedAddress(session, isp::extendedAddressByte(address));
            last = int32_t(address);
        }
        buffer[i] = exchangeRead(link, isp::readFlash(address));
    }
}

void readEepromBlock(ChipState& session, uint8_t* buffer, uint32_t address, size_t count) {
    IspLink& link = session.link();
    for (size_t i = 0; i < count; ++i) buffer[i] = exchangeRead(link, isp::readEeprom(address + uint32_t(i)));
}

bool eraseMayKeepEeprom(const ChipDescriptor& chip) { return findFuse(chip, "EESAVE") != nullptr; }

}  // namespace mervex
