#pragma once
// The adapter's controls: what the run works besides the ISP link (the
// target's supply, the buffers, the two LEDs, the key) and what it reports
// (SCK frequency, names). The chip layer never sees them.
//
// The operations are written once over three hooks on the adapter's lines
// (SignalId), so a backend only says which lines it has and how it drives and
// reads them.
#include "adapter/AdapterSignals.h"

namespace mervex {

class AdapterControls {
public:
    virtual ~AdapterControls() = default;

    // True if the adapter can switch the target's supply.
    bool hasPower() const { return hasSignal(SignalId::Power); }
    // Switch the target's supply on or off.
    void powerOn() { setSignal(SignalId::Power, true); }
    void powerOff() { setSignal(SignalId::Power, false); }
    // True if the adapter has buffers that must be enabled.
    bool hasEnable() const { return hasSignal(SignalId::Enable); }
    // Connect or disconnect the adapter's buffers to the target.
    void enableBuffers() { setSignal(SignalId::Enable, true); }
    void disableBuffers() { setSignal(SignalId::Enable, false); }
    // Light or darken the success and error LEDs; nothing happens where there are none.
    void setLedOk(bool on) { setSignal(SignalId::LedOk, on); }
    void setLedError(bool on) { setSignal(SignalId::LedError, on); }
    // True if the adapter has a push-button.
    bool hasKey() const { return hasSignal(SignalId::Key); }
    // The push-button's state now; false where there is none.
    bool isKeyPressed() { return readSignal(SignalId::Key); }

    // SPI clock in MHz.
    virtual double sckFrequency() const = 0;
    // A short name of the adapter kind, for messages.
    virtual const char* typeName() const = 0;
    // The adapter as the user knows it (its wiring's name), for hints and the run record.
    virtual const char* adapterName() const { return typeName(); }
    // What to try when the chip gives no answer through the adapter, for the hint.
    virtual const char* noAnswerAdvice() const { return "try -aa to find the cable (or -as, -ab, -ax)"; }
    // Make what has been done to the target durable; a failure is thrown
    // (app_error).
    virtual void flush() {}

protected:
    // True if the adapter has the line.
    virtual bool hasSignal(SignalId id) const = 0;
    // Drive an output line to its active (true) or inactive level; an absent
    // line may be driven and changes nothing.
    virtual void setSignal(SignalId id, bool active) = 0;
    // An input line's level (true = active); an absent line reads false.
    virtual bool readSignal(SignalId id) = 0;
};

}  // namespace mervex
