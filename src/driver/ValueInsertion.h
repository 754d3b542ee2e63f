#pragma once
// Values that differ from chip to chip, placed into placeholder bytes of the
// images before they are written: the OSCCAL calibration value, a serial number
// and a fixed byte string.
#include <cstdint>

#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

// Refuse a destination that does not leave room for length value bytes
// ("%s destination address too large\n", status 70).
void checkDestination(const RunState& state, const char* name, InsertTarget target, uint32_t address,
                      int32_t length);

// Put count value bytes into the target's image from address on: plain bytes, or
// the immediate nibbles of the LDI instructions there. The image must hold the
// bytes already (status 70 for an empty image, 50 for a missing record).
void insertIntoImage(RunState& state, const char* name, InsertTarget target, uint32_t address,
                     const uint8_t* bytes, int32_t count);

// The calibration byte of -C*OSCCAL and friends, with its correction.
void insertOsccal(const Request& request, RunState& state);

// The number of the serial number file; a write run takes it (the file
// advances at once, see SerialNumberFile).
void insertSerialNumber(const Request& request, RunState& state);

// The bytes of the BYTES command.
void insertBytes(const Request& request, RunState& state);

// The end of a successful run: the serial number it took stays taken. (A failed
// run gives it back when the run is finished.)
void updateSerialFile(RunState& state);

}  // namespace mervex
