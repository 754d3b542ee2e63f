// mervex-vchip: the companion tool for virtual target files.
#include "vchip/VchipTool.h"

int main(int argc, char* argv[]) { return mervex::runVchipTool(argc, argv); }
