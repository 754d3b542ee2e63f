#pragma once
// What the chip protocol talks to: ISP byte clocking and the target's control lines.
#include <cstddef>
#include <cstdint>

namespace mervex {

class Programmer {
public:
    virtual ~Programmer() = default;

    // True: a whole ISP instruction goes through one transferBlock.
    virtual bool prefersBlockTransfer() const = 0;
    // Clock one byte out and return the byte clocked in.
    virtual uint8_t transferByte(uint8_t out) = 0;
    // Clock one byte out; the reply is not needed.
    virtual void sendByte(uint8_t out) { transferByte(out); }
    // Clock one byte in while sending 0.
    virtual uint8_t receiveByte() { return transferByte(0); }
    // in[i] = transferByte(out[i]) in order; out and in may be the same array.
    virtual void transferBlock(const uint8_t* out, uint8_t* in, size_t count);
    // sendByte for each byte in order.
    virtual void sendBlock(const uint8_t* out, size_t count);
    // in[i] = receiveByte() in order.
    virtual void receiveBlock(uint8_t* in, size_t count);
    // Hold the target in reset (true) or let it run (false).
    virtual void setReset(bool active) = 0;
    // Release RESET briefly and hold it again, to resynchronise the chip.
    virtual void pulseReset() = 0;
    // One SCK clock with MOSI inactive, to step the chip's bit counter.
    virtual void pulseSck() = 0;
    // Wait, keeping the chip clocked where the adapter generates its clock.
    virtual void delay(double ms) = 0;
    // True if the adapter can switch the target's supply.
    virtual bool hasPower() const = 0;
    // Switch the target's supply on or off.
    virtual void powerOn() = 0;
    virtual void powerOff() = 0;
    // True if the adapter has buffers that must be enabled.
    virtual bool hasEnable() const = 0;
    // Connect or disconnect the adapter's buffers to the target.
    virtual void enableBuffers() = 0;
    virtual void disableBuffers() = 0;
    // Light or darken the success and error LEDs; nothing happens where there are none.
    virtual void setLedOk(bool on) = 0;
    virtual void setLedError(bool on) = 0;
    // True if the adapter has a push-button.
    virtual bool hasKey() const = 0;
    // The push-button's state now; false where there is none.
    virtual bool isKeyPressed() = 0;
    // SPI clock in MHz.
    virtual double sckFrequency() const = 0;
    // A short name of the adapter kind, for messages.
    virtual const char* typeName() const = 0;
    // The adapter as the user knows it (its wiring's name), for hints and the run record.
    virtual const char* adapterName() const { return typeName(); }
    // Make what has been done to the target durable (ParallelPort::flush); a
    // failure is printed and thrown (app_error).
    virtual void flush() {}
};

}  // namespace mervex
