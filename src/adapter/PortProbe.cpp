#include "adapter/PortProbe.h"

#include "adapter/CableLoopback.h"

namespace mervex {

bool dataLinesReadBack(ParallelPort& port) {
    const uint8_t data = port.readRegister(PortRegister::Data);
    const uint8_t control = port.readRegister(PortRegister::Control);
    // The data lines drive: a port with them switched to input reads what the cable puts there.
    port.writeRegister(PortRegister::Control, uint8_t(control & ~DataLinesFloat));
    bool readBack = true;
    // Each line high and low, next to neighbours of both levels.
    for (uint8_t value : {uint8_t(0x55), uint8_t(0xAA), uint8_t(0x00), uint8_t(0xFF)}) {
        port.writeRegister(PortRegister::Data, value);
        readBack = readBack && port.readRegister(PortRegister::Data) == value;
    }
    port.writeRegister(PortRegister::Control, control);
    port.writeRegister(PortRegister::Data, data);
    return readBack;
}

bool sensesTargetSupply(const BuiltinCable& row, int verdict) {
    for (const CableVariant& variant : row.variants) {
        if (variant.name == nullptr || variant.verdict != verdict) continue;
        for (const CableLoopback& loop : parseLoopbacks(variant.loopbacks))
            if (loop.fixed && loop.level) return true;
    }
    return false;
}

}  // namespace mervex
