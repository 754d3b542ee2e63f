#include "sim/VirtualTarget.h"

#include <algorithm>

#include "sim/FactoryFuses.h"

namespace mervex {

uint64_t TargetCounters::instructions() const {
    uint64_t total = 0;
    for (uint64_t n : isp) total += n;
    return total;
}

int VirtualTarget::lockLevel() const {
    switch (fuse(FuseByte::Lock) & 0x03) {
    case 3: return 0;
    case 2: return 1;  // LB1 programmed
    default: return 2;  // LB2 programmed, with or without LB1
    }
}

void VirtualTarget::holdStuckBit() {
    if (!faults.stuckBit || faults.stuckBitAddress >= flash.size()) return;
    const uint8_t bit = uint8_t(1u << (faults.stuckBitNumber & 7));
    uint8_t& cell = flash[faults.stuckBitAddress];
    cell = uint8_t(faults.stuckBitLevel ? (cell | bit) : (cell & ~bit));
}

TargetBusyTimes defaultBusyTimes(const ChipDescriptor& chip) {
    // The table's delays carry a margin over the data sheet's tWD figures; the
    // chip finishes well inside them, so a run at delay scale 1 never hits a busy chip.
    TargetBusyTimes t;
    t.flashUs = std::min(4500.0, 750.0 * chip.flash.writeDelayMs);
    t.eepromUs = std::min(9000.0, 750.0 * chip.eeprom.writeDelayMs);
    t.eraseUs = std::min(9000.0, 500.0 * chip.eraseDelayMs);
    // Fuse writes are followed by 4 EEPROM delays, lock writes by the erase delay.
    t.fuseUs = std::min({4500.0, 750.0 * chip.eraseDelayMs, 3000.0 * chip.eeprom.writeDelayMs});
    return t;
}

bool chipListNames(const char* list, const ChipDescriptor& chip) {
    return ("|" + std::string(list) + "|").find("|" + primaryChipName(chip) + "|") != std::string::npos;
}

std::unique_ptr<VirtualTarget> newVirtualTarget(const std::string& chipName) {
    int32_t index = findChipByName(withoutAtPrefix(chipName.c_str()));
    if (index < 0) return nullptr;
    auto target = std::make_unique<VirtualTarget>();
    target->chipIndex = index;
    const ChipDescriptor& chip = target->chip();
    target->flash.assign(size_t(chip.flash.size), 0xFF);
    target->eeprom.assign(size_t(chip.eeprom.size), 0xFF);
    for (int32_t i = 0; i < chip.calibrationCount; ++i) target->calibration.push_back(uint8_t(0xA5 - 2 * i));
    target->busy = defaultBusyTimes(chip);
    const FactoryFuses factory = factoryFuses(chip);
    target->fuse(FuseByte::Low) = factory.low;
    target->fuse(FuseByte::High) = factory.high;
    target->fuse(FuseByte::Ext) = factory.ext;
    target->fuse(FuseByte::Lock) = factory.lock;
    return target;
}

}  // namespace mervex
