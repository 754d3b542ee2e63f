// Feeds arbitrary text to the virtual target file reader. A target it accepts
// must write out as text that reads back to the same target.
#include <cstdint>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "console/Errors.h"
#include "sim/VirtualTargetFile.h"

using namespace mervex;
using namespace mervex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState(LevelTrace);
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<VirtualTarget> target;
    try {
        target = parseVirtualTarget(text, "fuzz-input");
    } catch (const app_error& error) {
        check(error.status() == ExitUsage);
        return 0;
    }
    check(target != nullptr);
    check(target->flash.size() == size_t(target->chip().flash.size));
    check(target->eeprom.size() == size_t(target->chip().eeprom.size));

    const std::string written = formatVirtualTarget(*target);
    std::unique_ptr<VirtualTarget> back;
    try {
        back = parseVirtualTarget(written, "fuzz-output");
    } catch (const app_error&) {
        std::abort();  // a file we wrote must always read
    }
    check(formatVirtualTarget(*back) == written);
    return 0;
}
