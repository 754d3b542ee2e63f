#pragma once
// The guided check reports one line per step; the step that finds the fault
// ends the check with its class, what to do, and the status that a
// programming run ends with for the same fault.
#include <cstdint>
#include <string>

#include "console/Errors.h"

namespace mervex {

// Print a step's line: "Port: ...".
void reportStep(const char* step, const std::string& text);

// The failure that ends the check: "Result: FAIL (CLASS)" and "To do: ..." at
// info level, so that they follow the steps' lines.
app_error checkFailed(const char* failureClass, int status, const std::string& todo);

// The port could not be opened: the failure's lines as the port step's line,
// and the check's failure for it, with the failure's status.
app_error portFailed(const app_error& failure);

// The -o switch that asks for this frequency ("-o1MHz", "-os250kHz", "-o0").
std::string clockSwitch(uint32_t hz, bool frequencyIsSck);

}  // namespace mervex
