#pragma once
// The program's run, called in this process with the given arguments (the
// program name is added) and its console captured.
#include <string>
#include <vector>

#include "driver/RunMain.h"
#include "support/CaptureConsole.h"

namespace mervex::test {

inline int runInProcess(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), "mervex");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    CaptureConsole capture;
    const int status = runMain(int(args.size()), argv.data());
    if (out != nullptr) *out = capture.out();
    return status;
}

}  // namespace mervex::test
