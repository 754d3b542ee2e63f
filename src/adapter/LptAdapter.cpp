#include "adapter/LptAdapter.h"

#include <utility>

namespace mervex {

LptAdapter::LptAdapter(std::unique_ptr<ParallelPort> port, std::unique_ptr<PinMap> pinMap, bool xtalMode)
    : port_(std::move(port)), pinMap_(std::move(pinMap)), xtalMode_(xtalMode) {
    const SignalEntry& miso = pinMap_->entry(SignalId::Miso);
    misoStatusBits_ = statusBits(miso.pins());
    misoInverted_ = miso.clearMask != 0;

    dataShadow_ = port_->readRegister(PortRegister::Data);
    releaseOutputs();
    activateSignal(SignalId::Set);
}

LptAdapter::~LptAdapter() {
    if (hasEnable()) disableBuffers();
    if (hasPower()) powerOff();
    // The sequences, then the pin map, then the port (closing the device) go
    // with the members, in reverse order of declaration.
}

void LptAdapter::releaseOutputs() {
    static const SignalId released[] = {SignalId::Mosi,  SignalId::Sck,   SignalId::Reset,   SignalId::Power,
                                        SignalId::Enable, SignalId::LedOk, SignalId::LedError};
    for (SignalId id : released) deactivateSignal(id);
}

void LptAdapter::activateSignal(SignalId id) {
    const SignalEntry& entry = pinMap_->entry(id);
    uint8_t control = port_->readRegister(PortRegister::Control);
    dataShadow_ = uint8_t((dataShadow_ & ~dataBits(entry.clearMask)) | dataBits(entry.setMask));
    control = uint8_t((control & ~controlBits(entry.clearMask)) | controlBits(entry.setMask));
    port_->writeRegister(PortRegister::Data, dataShadow_);
    port_->writeRegister(PortRegister::Control, control);
}

void LptAdapter::deactivateSignal(SignalId id) {
    const SignalEntry& entry = pinMap_->entry(id);
    uint8_t control = port_->readRegister(PortRegister::Control);
    dataShadow_ = uint8_t((dataShadow_ | dataBits(entry.clearMask)) & ~dataBits(entry.setMask));
    control = uint8_t((control | controlBits(entry.clearMask)) & ~controlBits(entry.setMask));
    port_->writeRegister(PortRegister::Data, dataShadow_);
    port_->writeRegister(PortRegister::Control, control);
}

bool LptAdapter::readSignal(SignalId id) {
    const SignalEntry& entry = pinMap_->entry(id);
    if (!entry.present()) return false;
    uint8_t status = port_->readRegister(PortRegister::Status);
    bool level = (status & statusBits(entry.pins())) != 0;
    return level != (entry.clearMask != 0);
}

void LptAdapter::setReset(bool active) {
    if (active)
        activateSignal(SignalId::Reset);
    else
        deactivateSignal(SignalId::Reset);
}

void LptAdapter::setLedOk(bool on) {
    if (on)
        activateSignal(SignalId::LedOk);
    else
        deactivateSignal(SignalId::LedOk);
}

void LptAdapter::setLedError(bool on) {
    if (on)
        activateSignal(SignalId::LedError);
    else
        deactivateSignal(SignalId::LedError);
}

}  // namespace mervex
