#pragma once
// Preparing a run: the input files into the images, and the run's adapter.
#include <cstdint>

#include "driver/Request.h"
#include "driver/RunState.h"
#include "image/MemoryImage.h"

namespace mervex {

// With -w or -v, read the code and data files into the images; a single code
// file may carry data memory above the selected chip's flash, which moves into
// the data image. Without a selected chip nothing is split.
void loadInputFiles(const Request& request, RunState& state);

// Move the bytes of `code` at flashSize and above into `data`, at data address
// (code address - flashSize), keeping the block order. Returns true if any moved.
bool splitCombinedImage(MemoryImage& code, MemoryImage& data, uint32_t flashSize);

// Build the adapter for the requested port and keep it in the run's slot.
void createProgrammer(const Request& request, RunState& state);

}  // namespace mervex
