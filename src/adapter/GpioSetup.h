#pragma once
// Set-up of the programmer on GPIO lines: the chip named by -p (or found by
// the wiring's line names), the wiring's lines resolved and requested, timing.
#include <memory>
#include <string>

#include "adapter/AdapterSetup.h"
#include "adapter/GpioIo.h"
#include "adapter/GpioWiring.h"

namespace mervex {

// The -p text that searches every GPIO chip for the wiring's lines by name.
constexpr const char* AnyGpioChip = "gpio";

// True if the -p text, up to any comma, names a GPIO chip: "gpio", a path whose
// file name begins with "gpiochip", or a chip one of the backends serves.
bool namesGpioChip(const std::string& portSpec, const PortBackends& backends);

// The settings' user pin map as a wiring of GPIO lines; a request without one
// is thrown (status 70), as are the wiring's errors.
GpioWiring gpioWiringOf(const AdapterSettings& settings);

// Build the programmer on the GPIO chip the settings' port names, with their
// user pin map as the wiring, waiting and measuring on clock. Failures are
// thrown (status 70), with no line left requested.
std::unique_ptr<Programmer> createGpioAdapter(const AdapterSettings& settings, Clock& clock,
                                              GpioIo& io = systemGpioIo());

}  // namespace mervex
