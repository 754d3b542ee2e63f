#pragma once
// Preparing a run: the input files into the images, and the run's adapter.
#include <cstdint>

#include "adapter/PortBackend.h"
#include "console/Stopwatch.h"
#include "driver/Request.h"
#include "driver/RunState.h"
#include "image/MemoryImage.h"

namespace mervex {

// With -w or -v, read the code and data files into the images; a single code
// file may carry data memory above the selected chip's flash, which moves into
// the data image. Without a selected chip nothing is split. A data file that
// holds its bytes at avr-gcc's EEPROM address has them moved to address 0. An
// ELF file gives its flash contents as the code file, its EEPROM contents
// (either way) to the data image, and its other parts to the run state.
void loadInputFiles(const Request& request, RunState& state);

// Move the bytes of `code` at flashSize and above into `data`, at data address
// (code address - flashSize), keeping the block order; a block that lies in
// avr-gcc's EEPROM window (0x810000 and 64 KiB up) goes to (code address -
// 0x810000) instead. Returns true if any moved.
bool splitCombinedImage(MemoryImage& code, MemoryImage& data, uint32_t flashSize);

// When every block of `data` lies in avr-gcc's EEPROM window, move them all down
// by 0x810000 and return true; otherwise change nothing.
bool moveGccEepromDown(MemoryImage& data);

// Build the adapter for the requested port, running on clock, and keep it in
// the run's slot.
void createProgrammer(const Request& request, const PortBackends& backends, Clock& clock, RunState& state);

}  // namespace mervex
