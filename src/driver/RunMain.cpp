#include "driver/RunMain.h"

namespace mervex {

// Placeholder until the command line exists.
int runMain(int, char**) { return 0; }

}  // namespace mervex
