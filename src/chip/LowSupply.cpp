#include "chip/LowSupply.h"

#include <string>

namespace mervex {

namespace {

struct LowSupplyWrite {
    const char* chips;  // first names, joined by '|'
    int32_t writeMs;
};

// The serial programming characteristics of the AT90S, tiny12 and tiny22 data
// sheets: a write takes up to 9 ms at 2.7 to 4 V; the table's delays cover 5 V.
const LowSupplyWrite lowSupplyWrites[] = {
    {"90S1200|90S2313|90S4414|90S8515|90S4434|90S8535|90S2333|90S4433|90S2323|90S2343|tiny12|tiny22L|tiny22", 9},
};

}  // namespace

int32_t lowSupplyWriteMs(const ChipDescriptor& chip) {
    if (chip.names == nullptr) return 0;
    const std::string name = "|" + primaryChipName(chip) + "|";
    for (const LowSupplyWrite& row : lowSupplyWrites)
        if (("|" + std::string(row.chips) + "|").find(name) != std::string::npos) return row.writeMs;
    return 0;
}

}  // namespace mervex
