#pragma once
// A program's entry called in this process with the console captured, and
// mervex-vchip's run through it (mervex's is in RunProgram.h, which the test
// programs that link the driver use).
#include <string>
#include <vector>

#include "support/CaptureConsole.h"
#include "support/Shell.h"
#include "vchip/VchipTool.h"

namespace mervex::test {

// Call the entry with the arguments (after the program name) and the console
// captured. Level and progress mode are the entry's own business.
template <typename Entry>
Outcome runEntry(const char* program, std::vector<std::string> args, Entry entry) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    CaptureConsole capture(false, false, KeepConsoleSettings);
    Outcome outcome;
    outcome.status = entry(int(args.size()), argv.data());
    outcome.out = capture.out();
    outcome.err = capture.err();
    return outcome;
}

// mervex-vchip's run in this process.
inline Outcome runVchipInProcess(const std::vector<std::string>& args) {
    return runEntry("mervex-vchip", args, [](int argc, char** argv) { return runVchipTool(argc, argv); });
}

}  // namespace mervex::test
