#include "sim/VirtualChip.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <limits>

#include "chip/IspInstruction.h"

namespace mervex {

namespace {

// The bits of a fuse byte that the chip's fuse list names: the ones serial
// programming can change. The others, SPIEN on most chips, keep their level.
uint8_t namedFuseBits(const ChipDescriptor& chip, FuseByte byte) {
    uint8_t bits = 0;
    const FuseDescriptor* field = chip.fuseSet ? chip.fuseSet->list(byte) : nullptr;
    for (; field && field->info; ++field) bits |= field->mask();
    return bits;
}

}  // namespace

VirtualChip::VirtualChip(VirtualTarget& target, TargetCounters& counters)
    : target_(target), counters_(counters), chip_(target.chip()), instructions_(chip_) {
    // The synchroniser needs SCK low and high for at least as many clock periods
    // as the programmer times SCK by.
    minimumCycles_ = sckTimingCycles(chip_, target_.clockHz, 1);
    if (chip_.flash.pageSize > 0) {
        pageWords_ = uint32_t(chip_.flash.pageSize) / 2;
        pageBuffer_.assign(size_t(chip_.flash.pageSize), 0xFF);
    }
    if (chip_.eeprom.pageSize > 0) eepromPageBuffer_.assign(size_t(chip_.eeprom.pageSize), 0xFF);
}

void VirtualChip::setPins(const ChipPins& pins, double nowUs) {
    if (nowUs > nowUs_) nowUs_ = nowUs;
    if (!pins.powered) {
        if (powered_) powerDown();
        pins_ = pins;
        return;
    }
    if (!powered_) {
        powerUp();
        // Coming up counts as leaving reset; a RESET held low then enters it.
        pins_.reset = true;
        pins_.sck = pins.sck;
        pins_.xtal = pins.xtal;
    }
    if (pins.reset != pins_.reset) {
        if (!pins.reset) enterReset();
        else programming_ = false;
    }
    if (!pins.reset && pins.sck != pins_.sck) {
        if (pins.sck) sckRise(pins.mosi);
        else sckFall();
    }
    // An XTAL edge in the same write as an SCK edge belongs to the new phase.
    if (pins.xtal && !pins_.xtal) ++xtalRises_;
    pins_ = pins;
}

void VirtualChip::powerUp() {
    powered_ = true;
    programming_ = false;
    busyUntilUs_ = 0;
    busyArea_ = BusyArea::None;
}

void VirtualChip::powerDown() {
    powered_ = false;
    programming_ = false;
    miso_ = false;
    pendingBit_ = false;
    // A write cut short by the supply ends with it.
    busyUntilUs_ = 0;
    busyArea_ = BusyArea::None;
}

void VirtualChip::enterReset() {
    programming_ = false;
    uint32_t offset = target_.faults.outOfStepBits % 32;
    frameBit_ = (32 - offset) % 32;
    frameBits_ = 0;
    shift_ = 0;
    std::memset(command_, 0, sizeof command_);
    out_ = 0;
    miso_ = false;
    pendingBit_ = false;
    fallUs_ = nowUs_;
    xtalAtFall_ = xtalRises_;
    extendedAddress_ = 0;
    std::fill(pageBuffer_.begin(), pageBuffer_.end(), uint8_t(0xFF));
    std::fill(eepromPageBuffer_.begin(), eepromPageBuffer_.end(), uint8_t(0xFF));
    flashWrittenSinceReset_ = false;
    // The fuses take effect at the reset: the run that wrote them goes on.
    answers_ = !serialProgrammingOff();
}

// A programmed RSTDISBL or DWEN takes the RESET pin away from serial
// programming; an unprogrammed SPIEN ends it where the fuse list lets
// serial programming change that bit.
bool VirtualChip::serialProgrammingOff() const {
    auto field = [this](const char* name, bool& programmed) {
        FuseByte byte = FuseByte::Lock;
        const FuseDescriptor* fuse = findFuse(chip_, name, &byte);
        programmed = fuse && (target_.fuse(byte) & fuse->mask()) == 0;
        return fuse != nullptr;
    };
    bool programmed = false;
    if (field("RSTDISBL", programmed) && programmed) return true;
    if (field("DWEN", programmed) && programmed) return true;
    return field("SPIEN", programmed) && !programmed;
}

void VirtualChip::sckRise(bool mosi) {
    pendingBit_ = true;
    sampled_ = mosi;
    riseUs_ = nowUs_;
    xtalAtRise_ = xtalRises_;
}

void VirtualChip::sckFall() {
    if (pendingBit_) {
        pendingBit_ = false;
        double lowUs = riseUs_ - fallUs_;
        double highUs = nowUs_ - riseUs_;
        uint64_t lowTicks = xtalAtRise_ - xtalAtFall_;
        uint64_t highTicks = xtalRises_ - xtalAtRise_;
        // A pulse shorter than the chip's clock allows slips past it unseen.
        if (pulseLongEnough(lowUs, highUs, lowTicks, highTicks)) shiftIn(sampled_);
        else ++counters_.missedPulses;
    }
    fallUs_ = nowUs_;
    xtalAtFall_ = xtalRises_;
}

bool VirtualChip::pulseLongEnough(double lowUs, double highUs, uint64_t lowTicks, uint64_t highTicks) const {
    if (target_.clockHz == 0) {
        // Clocked only through XTAL: the periods that line delivered count.
        return lowTicks >= uint64_t(minimumCycles_.low) && highTicks >= uint64_t(minimumCycles_.high);
    }
    double periodUs = 1e6 / double(target_.clockHz);
    const double tolerance = 1e-9;
    return lowUs >= minimumCycles_.low * periodUs * (1 - tolerance) &&
           highUs >= minimumCycles_.high * periodUs * (1 - tolerance);
}

void VirtualChip::shiftIn(bool bit) {
    ++counters_.bits;
    shift_ = uint8_t(shift_ << 1 | (bit ? 1 : 0));
    ++frameBit_;
    ++frameBits_;
    if (frameBit_ % 8 == 0) {
        byteReceived(int(frameBit_ / 8 - 1), shift_);
        shift_ = 0;
        if (frameBit_ == 32) {
            frameBit_ = 0;
            frameBits_ = 0;
        }
    }
    miso_ = ((out_ >> (7 - frameBit_ % 8)) & 1) != 0;
}

void VirtualChip::byteReceived(int index, uint8_t value) {
    command_[index] = value;
    switch (index) {
    case 0: {
        // The shift register hands back what came in one byte earlier.
        uint64_t number = frames_ + 1;
        bool recognised = programming_ || value == 0xAC;
        out_ = recognised ? value : 0x00;
        if (recognised && target_.faults.wrongEchoAt != 0 && number == target_.faults.wrongEchoAt)
            out_ = uint8_t(~value);
        break;
    }
    case 1:
        if (command_[0] == 0xAC && command_[1] == 0x53) out_ = target_.faults.noProgramEnable ? 0x00 : 0x53;
        else out_ = programming_ ? value : 0x00;
        break;
    case 2:
        out_ = programming_ ? readReply() : 0x00;
        break;
    default:
        // Partial frames after a reset or an out-of-step start do not count.
        if (frameBits_ == 32) execute();
        out_ = programming_ ? value : 0x00;
        break;
    }
}

uint32_t VirtualChip::flashWordAddress() const {
    uint32_t word = uint32_t(command_[1]) << 8 | command_[2];
    if (isp::needsExtendedAddress(chip_.flash.size)) word |= uint32_t(extendedAddress_) << 16;
    return word;
}

uint8_t VirtualChip::readFlash(uint32_t address) const {
    if (busy(nowUs_) && busyArea_ == BusyArea::Flash && address >= busyFrom_ && address < busyTo_)
        return pollValue(chip_.flash.pollMethod);
    return target_.flash[address];
}

uint8_t VirtualChip::readEeprom(uint32_t address) const {
    if (busy(nowUs_) && busyArea_ == BusyArea::Eeprom && address >= busyFrom_ && address < busyTo_)
        return pollValue(chip_.eeprom.pollMethod);
    return target_.eeprom[address];
}

uint8_t VirtualChip::pollValue(PollMethod method) const {
    // Data polling as the data sheets describe it: some chips show one value
    // while the cell is erased and another while it is written.
    bool secondHalf = nowUs_ - busyStartUs_ >= (busyUntilUs_ - busyStartUs_) / 2;
    switch (method) {
    case PollExcept00FF: return secondHalf ? 0xFF : 0x00;
    case PollExcept7F80: return secondHalf ? 0x7F : 0x80;
    case PollExcept7F: return 0x7F;
    default: return 0xFF;
    }
}

uint8_t VirtualChip::readLockByte() const {
    uint8_t lock = target_.fuse(FuseByte::Lock);
    switch (chip_.lockLayout) {
    case LockBits6And7:
        // LB1 in bit 7, LB2 in bit 6, the fuse bits below.
        return uint8_t((lock & 1) << 7 | ((lock >> 1) & 1) << 6 | (target_.fuse(FuseByte::Low) & 0x3F));
    case LockBits2And1: return uint8_t(0xF9 | (lock & 3) << 1);
    default: return lock;
    }
}

uint8_t VirtualChip::readReply() {
    // A read-protected chip never loads data into its shift register, and a
    // frame that is no read of the chip leaves the byte that came in there.
    const uint8_t echo = command_[2];
    const bool readLocked = target_.lockLevel() >= 2;
    switch (instructions_.decode(command_, 3)) {
    case IspOperation::ReadFlash: {
        if (readLocked) return echo;
        uint32_t address = (flashWordAddress() * 2 + (command_[0] & 0x08 ? 1 : 0)) % uint32_t(chip_.flash.size);
        return readFlash(address);
    }
    case IspOperation::ReadEeprom:
        if (readLocked) return echo;
        return readEeprom((uint32_t(command_[1]) << 8 | command_[2]) % uint32_t(chip_.eeprom.size));
    case IspOperation::ReadSignature: {
        uint32_t signature = target_.faults.signatureOverride ? target_.faults.signature : chip_.signature;
        switch (command_[2] & 3) {
        case 0: return uint8_t(signature >> 16);
        case 1: return uint8_t(signature >> 8);
        case 2: return uint8_t(signature);
        default: return 0xFF;
        }
    }
    case IspOperation::ReadCalibration:
        return command_[2] < target_.calibration.size() ? target_.calibration[command_[2]] : 0xFF;
    case IspOperation::ReadLowFuse: return target_.fuse(FuseByte::Low);
    case IspOperation::ReadHighFuse: return target_.fuse(FuseByte::High);
    case IspOperation::ReadExtendedFuse: return target_.fuse(FuseByte::Ext);
    case IspOperation::ReadLock: return readLockByte();
    case IspOperation::ReadyBusy: return busy(nowUs_) ? 0xFF : 0xFE;
    default: return echo;
    }
}

void VirtualChip::execute() {
    ++frames_;
    if (target_.faults.signalAt != 0 && frames_ == target_.faults.signalAt) std::raise(target_.faults.signalNumber);
    ++counters_.isp[command_[0]];
    if (busy(nowUs_)) ++counters_.busyInstructions;
    const IspOperation operation = instructions_.decode(command_);
    if (operation == IspOperation::ProgramEnable) {
        if (!target_.faults.noProgramEnable && answers_) programming_ = true;
        return;
    }
    if (!programming_) return;
    const bool highByte = (command_[0] & 0x08) != 0;
    const uint8_t lock = target_.fuse(FuseByte::Lock);
    switch (operation) {
    case IspOperation::None: ++counters_.unknownInstructions; break;
    case IspOperation::ChipErase: chipErase(); break;
    case IspOperation::WriteFlashByte:
    case IspOperation::LoadPageByte: writeFlashByte(highByte); break;
    case IspOperation::WritePage: writeFlashPage(); break;
    case IspOperation::LoadExtendedAddress: extendedAddress_ = command_[2]; break;
    case IspOperation::WriteEeprom: writeEepromByte(); break;
    case IspOperation::WriteLowFuse: writeFuse(FuseByte::Low, command_[3]); break;
    case IspOperation::WriteHighFuse: writeFuse(FuseByte::High, command_[3]); break;
    case IspOperation::WriteExtendedFuse: writeFuse(FuseByte::Ext, command_[3]); break;
    case IspOperation::WriteShortFuse: writeFuse(FuseByte::Low, uint8_t(0xE0 | (command_[1] & 0x1F))); break;
    case IspOperation::LoadEepromPage: loadEepromPageByte(); break;
    case IspOperation::WriteEepromPage: writeEepromPage(); break;
    // Lock bits can only be programmed; bits 7..6 of the lock byte do not exist.
    case IspOperation::WriteLockByte: writeLock(uint8_t((lock & command_[3]) | 0xC0)); break;
    case IspOperation::WriteShortLock: writeLock(uint8_t(lock & (0xFC | ((command_[1] >> 1) & 3)))); break;
    default: break;  // the reads answered while the frame came in
    }
}

bool VirtualChip::writeAllowed(bool memoryWrite) {
    if (busy(nowUs_)) {
        ++counters_.ignoredWrites;
        return false;
    }
    if (memoryWrite && target_.lockLevel() >= 1) {
        ++counters_.lockedWrites;
        return false;
    }
    return true;
}

bool VirtualChip::beginWrite(double durationUs, BusyArea area, uint32_t from, uint32_t to) {
    ++counters_.writes;
    busyStartUs_ = nowUs_;
    busyArea_ = area;
    busyFrom_ = from;
    busyTo_ = to;
    if (target_.faults.stuckWriteAt != 0 && counters_.writes == target_.faults.stuckWriteAt) {
        busyUntilUs_ = std::numeric_limits<double>::infinity();
        return false;
    }
    busyUntilUs_ = nowUs_ + durationUs;
    return true;
}

void VirtualChip::writeFlashByte(bool highByte) {
    uint32_t word = flashWordAddress();
    if (pageWords_ != 0) {
        // Loading the page buffer; the page write commits it.
        if (busy(nowUs_)) {
            ++counters_.ignoredWrites;
            return;
        }
        pageBuffer_[(word % pageWords_) * 2 + (highByte ? 1 : 0)] = command_[3];
        return;
    }
    uint32_t address = (word * 2 + (highByte ? 1 : 0)) % uint32_t(chip_.flash.size);
    if (!writeAllowed(true)) return;
    flashWrittenSinceReset_ = true;
    if (!beginWrite(target_.busy.flashUs, BusyArea::Flash, address, address + 1)) return;
    // Programming only clears bits; setting them needs a chip erase.
    target_.flash[address] &= command_[3];
    target_.holdStuckBit();
}

void VirtualChip::writeFlashPage() {
    if (!writeAllowed(true)) return;
    uint32_t word = flashWordAddress() & ~(pageWords_ - 1);
    uint32_t address = (word * 2) % uint32_t(chip_.flash.size);
    uint32_t size = uint32_t(chip_.flash.pageSize);
    flashWrittenSinceReset_ = true;
    if (beginWrite(target_.busy.flashUs, BusyArea::Flash, address, address + size)) {
        for (uint32_t i = 0; i < size; ++i) target_.flash[address + i] &= pageBuffer_[i];
        target_.holdStuckBit();
    }
    std::fill(pageBuffer_.begin(), pageBuffer_.end(), uint8_t(0xFF));
}

void VirtualChip::writeEepromByte() {
    if (chip_.eeprom.size <= 0 || !writeAllowed(true)) return;
    uint32_t address = (uint32_t(command_[1]) << 8 | command_[2]) % uint32_t(chip_.eeprom.size);
    // EEPROM cells are erased and written in one go.
    if (beginWrite(target_.busy.eepromUs, BusyArea::Eeprom, address, address + 1))
        target_.eeprom[address] = command_[3];
}

void VirtualChip::loadEepromPageByte() {
    if (busy(nowUs_)) {
        ++counters_.ignoredWrites;
        return;
    }
    eepromPageBuffer_[command_[2] % eepromPageBuffer_.size()] = command_[3];
}

void VirtualChip::writeEepromPage() {
    if (!writeAllowed(true)) return;
    const uint32_t size = uint32_t(eepromPageBuffer_.size());
    const uint32_t address = ((uint32_t(command_[1]) << 8 | command_[2]) & ~(size - 1)) % uint32_t(chip_.eeprom.size);
    // The page is erased and written as a whole: a byte not loaded comes out 0xFF.
    if (beginWrite(target_.busy.eepromUs, BusyArea::Eeprom, address, address + size)) {
        std::copy(eepromPageBuffer_.begin(), eepromPageBuffer_.end(), target_.eeprom.begin() + address);
        ++counters_.eepromPages;
    }
    std::fill(eepromPageBuffer_.begin(), eepromPageBuffer_.end(), uint8_t(0xFF));
}

void VirtualChip::writeFuse(FuseByte byte, uint8_t value) {
    const bool locked = target_.lockLevel() >= 1 && !chip_.hasFlag(WritableWhenLocked);
    if (busy(nowUs_)) {
        ++counters_.ignoredWrites;
    } else if (locked) {
        ++counters_.lockedWrites;
    } else if (beginWrite(target_.busy.fuseUs, BusyArea::None, 0, 0)) {
        const uint8_t writable = namedFuseBits(chip_, byte);
        uint8_t& fuse = target_.fuse(byte);
        fuse = uint8_t((fuse & ~writable) | (value & writable));
    }
}

void VirtualChip::writeLock(uint8_t newLock) {
    if (!writeAllowed(false)) return;
    if (beginWrite(target_.busy.fuseUs, BusyArea::None, 0, 0)) target_.fuse(FuseByte::Lock) = newLock;
}

bool VirtualChip::eepromSaved() const {
    FuseByte byte = FuseByte::Lock;
    const FuseDescriptor* eesave = findFuse(chip_, "EESAVE", &byte);
    return eesave && (target_.fuse(byte) & eesave->mask()) == 0;  // programmed
}

void VirtualChip::chipErase() {
    if (!writeAllowed(false)) return;
    if (!beginWrite(target_.busy.eraseUs, BusyArea::None, 0, 0)) return;
    ++target_.eraseCount;
    target_.fuse(FuseByte::Lock) = 0xFF;
    std::fill(pageBuffer_.begin(), pageBuffer_.end(), uint8_t(0xFF));
    // The erase defect: without a flash write since the reset only the lock bits go.
    if (chip_.hasFlag(EraseBug) && !flashWrittenSinceReset_) return;
    std::fill(target_.flash.begin(), target_.flash.end(), uint8_t(0xFF));
    if (!eepromSaved()) std::fill(target_.eeprom.begin(), target_.eeprom.end(), uint8_t(0xFF));
    target_.holdStuckBit();
}

}  // namespace mervex
