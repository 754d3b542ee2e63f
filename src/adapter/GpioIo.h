#pragma once
// The system calls behind GPIO chips (the Linux character devices, uAPI v2),
// behind an interface so that tests watch the requests without hardware and
// the virtual target can answer them as a chip of its own.
#include <string>
#include <vector>

#include "adapter/PortIo.h"

// The kernel interface the GPIO programmer speaks; elsewhere a GPIO chip is refused.
#if defined(__linux__) && __has_include(<linux/gpio.h>)
#define MERVEX_HAVE_GPIO 1
#endif

namespace mervex {

class GpioIo : public PortIo {
public:
    // The chip devices to search when the wiring names no chip, in order.
    virtual std::vector<std::string> chipPaths() = 0;
    // Microseconds one line update takes where that is known beforehand (a
    // simulated chip); 0: measure it.
    virtual double knownUpdateCycle() const { return 0; }
    // Make what has been done through the chip durable before the run reports
    // its result (a simulated chip saves its file); a failure is thrown.
    virtual void flush() {}
};

// The real system calls; the chips are /dev/gpiochip* in the order of their numbers.
GpioIo& systemGpioIo();

}  // namespace mervex
