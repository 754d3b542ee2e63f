#pragma once

namespace mervex {

// The process entry's whole job: run the request given on the command line and
// return the exit status. Every failure ends here as a status.
int runMain(int argc, char** argv);

}  // namespace mervex
