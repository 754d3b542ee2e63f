// Feeds arbitrary argument vectors (one argument per input line) to the command
// line and the request rules, as the process entry runs them. Whatever passes
// must be a request the rest of the run can rely on.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "chip/ChipSession.h"
#include "console/Errors.h"
#include "driver/CommandLine.h"
#include "driver/RequestValidation.h"

using namespace mervex;
using namespace mervex::fuzz;

namespace {

constexpr size_t MaxArguments = 64;

// Lines of the input, each cut at its first NUL as an argument would be.
std::vector<std::string> argumentsOf(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"mervex"};
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= text.size() && args.size() < MaxArguments) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string arg = text.substr(start, end - start);
        const size_t nul = arg.find('\0');
        if (nul != std::string::npos) arg.resize(nul);
        args.push_back(arg);
        start = end + 1;
    }
    return args;
}

void checkRequest(const Request& r) {
    if (r.chipName != nullptr) check(findChipByName(r.chipName) >= 0);
    check(r.sckDivider >= 1 && r.sckDivider <= 256);
    check(r.oscillatorHz == 0 || (r.oscillatorHz >= 1000 && r.oscillatorHz <= 40000000));
    check(r.sckDivider == 1 || r.oscillatorHz == 0);
    check(r.resetInactiveMs >= 1 && r.resetInactiveMs <= 10000);
    check(r.lockRequest == 0 || r.lockRequest == '1' || r.lockRequest == '2');
    check(r.eraseCount == EraseCountNotGiven || (r.eraseCount >= 1 && r.eraseCount <= 65534));
    check(r.bytesInsert.bytes.size() == size_t(r.bytesInsert.count));
    check(r.codeFile.format <= FormatElf && r.dataFile.format <= FormatElf);
    check(r.serialInsert.target == InsertNone || r.serialInsert.file != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetProcessState();
    const std::vector<std::string> args = argumentsOf(data, size);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    Request req;
    try {
        parseCommandLine(int(args.size()), argv.data(), req, {});
        ChipSession session(req.chipName, ChipOptions());
        validateRequest(req, session);
        checkRequest(req);
    } catch (const app_error& error) {
        // Help and an empty line end with 0; everything else refused is a usage error.
        check(error.status() == ExitOk || error.status() == ExitUsage);
    }
    return 0;
}
