#pragma once
// Lines that follow a failure's message with its likely cause and what to try.
// They are printed after it at info level and begin with "Hint: ", so that -ie shows the
// message alone and scripts can tell them from it.
#include <string>

#include "adapter/AdapterControls.h"
#include "adapter/IspLink.h"
#include "chip/ChipDescriptor.h"
#include "driver/Request.h"

namespace mervex {

// The chip gave no steady answer while being connected; enableReply is its
// last reply to program enable, from which the likely cause is told.
std::string noAnswerHint(const Request& request, const AdapterControls& controls, const IspInstruction& enableReply);

// The chip on the cable is not the one named with "+".
std::string otherChipHint(const Request& request, const ChipDescriptor& detectedChip);

// The chip answered with a signature that no row of the device table has.
std::string unknownChipHint();

// The lock bits refuse the operation.
std::string lockedHint();

}  // namespace mervex
