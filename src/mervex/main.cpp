#include "driver/RunMain.h"

int main(int argc, char** argv) { return mervex::runMain(argc, argv); }
