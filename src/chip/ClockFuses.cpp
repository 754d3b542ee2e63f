#include "chip/ClockFuses.h"

#include <string>

namespace mervex {

namespace {

// The internal oscillators by CKSEL value, from the data sheets' clock source
// tables; the chips of a row share it.
struct InternalClock {
    const char* chips;  // primary names, '|'-separated
    int cksel;
    uint32_t hz;
};

const char* const MegaRc = "mega8|mega8515|mega8535|mega16|mega32|mega64|mega128";
const char* const MegaDiv = "mega48|mega48P|mega48PB|mega88|mega88P|mega88PB|mega168|mega168P|mega168PB|mega328|"
                            "mega328P|mega328PB|mega164A|mega164P|mega324A|mega324P|mega324PA|mega324PB|mega644|"
                            "mega644P|mega1284|mega1284P|mega640|mega1280|mega1281|mega2560|mega2561";
const char* const TinyDiv = "tiny24|tiny44|tiny84|tiny25|tiny45|tiny85";
const char* const Tiny861 = "tiny261|tiny461|tiny861";
const char* const Tiny2313 = "tiny2313|tiny4313";
const char* const Tiny13 = "tiny13";

const InternalClock internalClocks[] = {
    {MegaRc, 1, 1000000},    {MegaRc, 2, 2000000},    {MegaRc, 3, 4000000},   {MegaRc, 4, 8000000},
    {MegaDiv, 2, 8000000},   {MegaDiv, 3, 128000},    {TinyDiv, 2, 8000000},  {TinyDiv, 4, 128000},  {Tiny861, 2, 8000000},
    {Tiny2313, 2, 4000000},  {Tiny2313, 4, 8000000},  {Tiny2313, 6, 128000},  {Tiny13, 1, 9600000},
    {Tiny13, 2, 4800000},    {Tiny13, 3, 128000},
};

bool listed(const char* list, const std::string& name) {
    return ("|" + std::string(list) + "|").find("|" + name + "|") != std::string::npos;
}

// The field's value from the byte read; -1 when the chip has no such field or the byte was not read.
int fieldRead(const ChipDescriptor& chip, const FuseValues& fuses, const char* name) {
    FuseByte byte = FuseByte::Lock;
    const FuseDescriptor* field = findFuse(chip, name, &byte);
    const int b = int(byte);
    if (field == nullptr || (fuses.readBytes & (1u << b)) == 0) return -1;
    return (fuses.readValue[b] >> field->shift) & field->maxValue();
}

}  // namespace

FuseClock clockSelectedByFuses(const ChipDescriptor& chip, const FuseValues& fuses) {
    FuseClock clock;
    clock.cksel = fieldRead(chip, fuses, "CKSEL");
    if (clock.cksel < 0) return clock;
    const std::string name = primaryChipName(chip);
    for (const InternalClock& row : internalClocks)
        if (row.cksel == clock.cksel && listed(row.chips, name)) clock.hz = row.hz;
    // CKDIV8 is active low, like every fuse.
    clock.divided = fieldRead(chip, fuses, "CKDIV") == 0;
    if (clock.divided) clock.hz /= 8;
    return clock;
}

}  // namespace mervex
