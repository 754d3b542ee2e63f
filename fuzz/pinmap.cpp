// Feeds arbitrary pin maps to the pin-map loader, once inline ("-am:entry:...")
// and once as a configuration file ("-am=file"). Whatever loads and validates
// must give every pin to at most one signal.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "adapter/PinMapConfig.h"
#include "console/Errors.h"

using namespace mervex;
using namespace mervex::fuzz;

namespace {

// The file the file form reads, removed when the fuzzer exits.
struct ScratchFile {
    const std::string path = "/tmp/mervex-fuzz-pinmap-" + std::to_string(getpid()) + ".cfg";
    ~ScratchFile() { ::unlink(path.c_str()); }
};

const std::string& scratchFile() {
    static const ScratchFile file;
    return file.path;
}

void checkMap(const PinMap& map) {
    check(std::memchr(map.name, '\0', sizeof map.name) != nullptr);
    uint32_t used = 0;
    for (const SignalEntry& e : map.entries) {
        check((e.pins() & used) == 0);
        used |= e.pins();
    }
}

void load(const std::string& switchText) {
    PinMap map;
    try {
        loadPinMap(map, userPinMapOf(switchText));
        checkMap(map);
        validatePinMap(map);
        checkMap(map);
    } catch (const app_error& error) {
        check(error.status() == ExitUsage);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState(LevelTrace);
    load("m:" + argumentText(data, size));

    std::FILE* file = std::fopen(scratchFile().c_str(), "wb");
    if (file == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) == 0 && written) load("m=" + scratchFile());
    resetProcessState();
    return 0;
}
