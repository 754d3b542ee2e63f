#pragma once
// The console's settings that belong to one run.
#include <cstdint>

namespace mervex {

// The information level and progress mode that a run's switches set last as
// long as the run: when the object ends, the console has the level and mode it
// had when the object was made, and no progress bar is open. Made by the run's
// entry, so that a second run in the process inherits nothing of the first.
class RunConsoleSettings {
public:
    RunConsoleSettings();
    ~RunConsoleSettings();
    RunConsoleSettings(const RunConsoleSettings&) = delete;
    RunConsoleSettings& operator=(const RunConsoleSettings&) = delete;

private:
    uint8_t level_;
    uint8_t progressMode_;
};

}  // namespace mervex
