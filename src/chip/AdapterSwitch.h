#pragma once
// Switching the adapter on for a run and off at its end.
#include "chip/ChipSession.h"

namespace mervex {

// Power the target, enable the buffers, switch both LEDs off.
void enableAdapter(ChipSession& session);

// Release RESET, disable the buffers, switch the power off. Does nothing when
// the adapter was not started, was already stopped, or no programmer exists.
void disableAdapter(ChipSession& session);

}  // namespace mervex
