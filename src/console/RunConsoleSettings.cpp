#include "console/RunConsoleSettings.h"

#include "console/Console.h"

namespace mervex {

RunConsoleSettings::RunConsoleSettings() : level_(console().level), progressMode_(console().progressMode) {}

RunConsoleSettings::~RunConsoleSettings() {
    Console& con = console();
    con.level = level_;
    con.progressMode = progressMode_;
    // A bar cut short by a failure is not continued by the next run's messages,
    // nor timed on the clock of a run that has ended.
    con.progressActive = false;
    con.progressLabelPending = false;
    con.progressClock.reset();
}

}  // namespace mervex
