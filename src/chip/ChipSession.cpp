#include "chip/ChipSession.h"

#include <stdexcept>
#include <utility>

#include "chip/Calibration.h"
#include "chip/ChipConnection.h"
#include "chip/Erase.h"
#include "chip/FuseRequest.h"
#include "chip/Fuses.h"
#include "chip/LockBits.h"
#include "chip/MemoryAccess.h"

namespace mervex {

ChipSession::ChipSession(const char* requestedName, const ChipOptions& options) {
    state_.selection.requestedName = requestedName;
    state_.options = options;
}

void ChipSession::attachProgrammer(std::unique_ptr<Programmer> programmer) {
    if (state_.programmer) throw std::logic_error("a second programmer for one chip session");
    state_.programmer = std::move(programmer);
}

void ChipSession::releaseProgrammer() { state_.programmer.reset(); }

void ChipSession::parseFuseRequest(const char* text) {
    mervex::parseFuseRequest(state_.fuses, state_.selectedChip(), text);
}

void ChipSession::addFuseBytes(const uint8_t (&value)[FuseBytes], const uint8_t (&mask)[FuseBytes]) {
    mervex::addFuseBytes(state_.fuses, state_.selectedChip(), value, mask);
}

void ChipSession::forceRequestedChip() {
    state_.selection.detectedIndex = findChipByName(state_.selection.requestedName);
    setWriteTiming(state_);
}

void ChipSession::connectChip() { mervex::connectChip(state_); }
void ChipSession::chipErase() { mervex::chipErase(state_); }
void ChipSession::eraseChip() { mervex::eraseChip(state_); }

void ChipSession::readLockBits() { mervex::readLockBits(state_); }
void ChipSession::printLockState() const { mervex::printLockState(state_); }
char ChipSession::lockChip(char level) { return mervex::lockChip(state_, level); }
void ChipSession::readCalibration() { mervex::readCalibration(state_); }

void ChipSession::readFuses() { mervex::readFuses(state_); }
void ChipSession::printFuses(const char* title) const { mervex::printFuses(state_, title); }
void ChipSession::printFuses(const char* title, int level) const { mervex::printFuses(state_, title, level); }
bool ChipSession::canWriteFusesWithoutErase() const { return mervex::canWriteFusesWithoutErase(state_); }
void ChipSession::programFuses() { mervex::programFuses(state_); }
void ChipSession::verifyFuses() { mervex::verifyFuses(state_); }
void ChipSession::checkFusesReadAsWritten() const { mervex::checkFusesReadAsWritten(state_); }
bool ChipSession::fusesHoldRequest() const { return mervex::fusesHoldRequest(state_); }

void ChipSession::beginMemoryPass() { mervex::beginMemoryPass(state_); }
void ChipSession::beginWritePass(MemoryKind kind) { mervex::beginWritePass(state_, kind); }

void ChipSession::writeMemoryByte(MemoryKind kind, uint32_t address, uint8_t value) {
    mervex::writeMemoryByte(state_, kind, address, value);
}

void ChipSession::commitOpenPage(MemoryKind kind) { mervex::commitOpenPage(state_, kind); }

void ChipSession::readMemoryBlock(MemoryKind kind, uint8_t* buffer, uint32_t address, size_t count) {
    if (kind == MemoryKind::Code)
        readFlashBlock(state_, buffer, address, count);
    else
        readEepromBlock(state_, buffer, address, count);
}

uint16_t ChipSession::readFlashWord(uint32_t address) { return mervex::readFlashWord(state_, address); }

bool ChipSession::eraseMayKeepEeprom() const { return mervex::eraseMayKeepEeprom(state_.selectedChip()); }

}  // namespace mervex
