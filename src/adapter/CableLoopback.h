#pragma once
// A loop-back inside a cable: a status line tied to one of the port's output
// lines, or to a fixed level. The detections recognise a cable by them and the
// simulator plays them.
#include <cstdint>
#include <string>
#include <vector>

namespace mervex {

// Control register bit 5: the data lines are inputs (high impedance); undriven, they float high.
constexpr uint8_t DataLinesFloat = 0x20;

struct CableLoopback {
    uint8_t statusBit = 0;        // status register bit of the line it drives
    bool statusInverted = false;  // register bit = NOT connector level
    bool fixed = false;           // a fixed level instead of a source line
    bool level = false;           // the fixed level
    uint32_t sourceMask = 0;      // register bit of the source line (data/status/control layout)
    bool sourceInverted = false;  // connector level = NOT register bit, the '~' folded in
};

// One entry STATUSPIN<SOURCE, SOURCE being [~]output pin, 0 or 1; another
// entry throws the reason (ExitUsage).
CableLoopback parseLoopback(const std::string& entry);

// The loop-backs of a list of entries separated by ':' (empty pieces skipped);
// a bad entry, or two that drive one line, throws the reason (ExitUsage).
std::vector<CableLoopback> parseLoopbacks(const std::string& entries);

// The status register with the loop-backs' lines set as these output register
// values drive them. Data lines switched to input (control bit 5) float high.
uint8_t driveLoopbacks(const std::vector<CableLoopback>& loops, uint8_t status, uint8_t data, uint8_t control);

// The status register bits that the loop-backs drive.
uint8_t loopbackBits(const std::vector<CableLoopback>& loops);

}  // namespace mervex
