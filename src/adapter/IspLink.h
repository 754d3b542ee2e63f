#pragma once
// The ISP link: the one thing the chip layer talks to. It clocks bytes through
// the chip's serial programming interface and works the RESET line, the
// pulses and the waits with which the protocol gets the chip into step.
//
// A hardware backend (the parallel-port adapter, a test's fake chip) derives
// from it and implements the hooks: clockBytes for every byte, setReset,
// pulseReset, pulseSck and delay. Every byte operation below is written once
// over clockBytes, so all backends take the same path and the chip layer never
// knows which one it drives.
//
// Why the pulses and the wait belong here and not to the adapter's controls:
// they are protocol steps, not adapter features. Program enable is entered
// with RESET held and resynchronised with a RESET or SCK pulse between tries;
// a wait may have to keep clocking the chip (a backend that generates the
// chip's clock), which only the backend doing the clocking can do.
#include <cstddef>
#include <cstdint>

#include "adapter/SckTiming.h"
#include "console/Stopwatch.h"

namespace mervex {

// Four bytes sent MSB first; four reply bytes come back while they are sent.
struct IspInstruction {
    uint8_t bytes[4];

    uint8_t operator[](int i) const { return bytes[i]; }
    uint8_t& operator[](int i) { return bytes[i]; }
};

class IspLink {
public:
    // clock times the link's waits and the chip's time-outs; it outlives the link.
    explicit IspLink(Clock& clock) : clock_(clock) {}
    virtual ~IspLink() = default;

    Clock& clock() const { return clock_; }

    // One instruction out, its four reply bytes back.
    IspInstruction exchange(const IspInstruction& command) {
        IspInstruction reply{};
        clockBytes(command.bytes, reply.bytes, 4);
        return reply;
    }
    // Clock one byte out and return the byte clocked in.
    uint8_t transferByte(uint8_t out) {
        uint8_t in = 0;
        clockBytes(&out, &in, 1);
        return in;
    }
    // Clock one byte out; the reply is not sampled.
    void sendByte(uint8_t out) { clockBytes(&out, nullptr, 1); }
    // Clock one byte in while sending 0.
    uint8_t receiveByte() {
        uint8_t in = 0;
        clockBytes(nullptr, &in, 1);
        return in;
    }
    // in[i] = transferByte(out[i]) in order; out and in may be the same array.
    void transferBlock(const uint8_t* out, uint8_t* in, size_t count) { clockBytes(out, in, count); }
    // sendByte for each byte in order.
    void sendBlock(const uint8_t* out, size_t count) { clockBytes(out, nullptr, count); }
    // in[i] = receiveByte() in order.
    void receiveBlock(uint8_t* in, size_t count) { clockBytes(nullptr, in, count); }

    // Hold the target in reset (true: programming mode) or let it run (false).
    virtual void setReset(bool active) = 0;
    // Release RESET briefly and hold it again, to resynchronise the chip.
    virtual void pulseReset() = 0;
    // One SCK clock with MOSI inactive, to step the chip's bit counter.
    virtual void pulseSck() = 0;
    // Wait, keeping the chip clocked where the backend generates its clock.
    virtual void delay(double ms) = 0;
    // Clock SCK with at least these low and high times from now on, to find
    // the speeds a chip answers at. False, and nothing changed, where the
    // backend's SCK cannot be changed (it generates the chip's clock).
    virtual bool setSckTiming(const SckTiming&) { return false; }

protected:
    // Clock count bytes, each most significant bit first and each complete
    // before the next: byte i is out[i], or 0 when out is null; when in is not
    // null, in[i] receives the byte clocked in with it (out and in may be the
    // same array). A null in lets a backend skip sampling the chip's answer;
    // out and in are never both null.
    virtual void clockBytes(const uint8_t* out, uint8_t* in, size_t count) = 0;

private:
    Clock& clock_;
};

}  // namespace mervex
