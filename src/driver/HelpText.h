#pragma once
// The fixed texts with which the program introduces itself. How to get the
// short help (HelpHintText) is console/Errors.h's, as every refusal ends with it.
#include "console/Errors.h"

namespace mervex {

// The line that starts every run.
extern const char* const BannerText;

// What the program is, for the help and for a run without arguments; ends with a line end.
extern const char* const AboutText;

// Print the banner at info level.
void printBanner();

// Print the version and the system the program was built for, at info level.
void printVersion();

// Print the about text, the switch summary and the supported devices at info level.
void printHelp();

}  // namespace mervex
