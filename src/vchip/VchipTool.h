#pragma once
// The companion tool mervex-vchip: create, show, change, dump and load
// virtual target files.
namespace mervex {

// Run the tool with its command line (argv[0] is the program name) and return
// the exit status: 0, 50 for image file contents and output files, 70 for the
// command line and target files.
int runVchipTool(int argc, const char* const argv[]);

}  // namespace mervex
