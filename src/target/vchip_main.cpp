// mervex-vchip: the companion tool for virtual target files.
#include "target/VchipTool.h"

int main(int argc, char* argv[]) { return mervex::runVchipTool(argc, argv); }
