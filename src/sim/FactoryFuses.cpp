#include "sim/FactoryFuses.h"

#include <string>
#include <vector>

#include "sim/VirtualTarget.h"

namespace mervex {

namespace {

// By the chips' first names. Chips missing here (the AT90S, mega103/603,
// mega161/163/323, 90PWM, 90USB64x/128x, mega32U6, C1 and M1, HV and RFR2
// rows) start with every bit unprogrammed: their data sheets' figures are not
// at hand, and unprogrammed bits never stop serial programming.
struct FactoryRow {
    const char* chips;
    FactoryFuses fuses;
};

const FactoryRow factoryTable[] = {
    {"tiny13", {0x6A, 0xFF, 0xFF, 0xFF}},
    {"tiny2313|tiny4313", {0x64, 0xDF, 0xFF, 0xFF}},
    {"tiny12", {0xD2, 0xFF, 0xFF, 0xFF}},
    {"tiny15", {0xDC, 0xFF, 0xFF, 0xFF}},
    {"tiny26", {0xE1, 0xF7, 0xFF, 0xFF}},
    {"tiny25|tiny45|tiny85|tiny261|tiny461|tiny861|tiny24|tiny44|tiny84|tiny441|tiny841|tiny43u|tiny87|tiny167"
     "|tiny1634",
     {0x62, 0xDF, 0xFF, 0xFF}},
    {"tiny48|tiny88", {0x6E, 0xDF, 0xFF, 0xFF}},
    {"mega8|mega8515|mega8535", {0xE1, 0xD9, 0xFF, 0xFF}},
    {"mega16|mega32", {0xE1, 0x99, 0xFF, 0xFF}},
    {"mega64|mega128", {0xE1, 0x99, 0xFD, 0xFF}},
    {"mega48|mega48P|mega48PB", {0x62, 0xDF, 0xFF, 0xFF}},
    {"mega88|mega88P|mega88PB|mega168|mega168P|mega168PB", {0x62, 0xDF, 0xF9, 0xFF}},
    {"mega328|mega328P", {0x62, 0xD9, 0xFF, 0xFF}},
    // Clock failure detection (CFD, bit 3) leaves the factory programmed.
    {"mega328PB", {0x62, 0xD9, 0xF7, 0xFF}},
    {"mega324PB", {0x62, 0x99, 0xF7, 0xFF}},
    {"mega162|mega164A|mega164P|mega324A|mega324P|mega324PA|mega644|mega644P|mega1284|mega1284P"
     "|mega165|mega165A|mega325|mega325P|mega3250|mega3250P|mega645|mega645P|mega6450|mega6450P"
     "|mega169|mega169A|mega329|mega329P|mega3290|mega3290P|mega649|mega649P|mega6490|mega6490P"
     "|mega640|mega1280|mega1281|mega2560|mega2561|90CAN32|90CAN64|90CAN128|mega128RFA1",
     {0x62, 0x99, 0xFF, 0xFF}},
    {"90usb82|90usb162|mega8U2|mega16U2|mega32U2", {0x5E, 0xD9, 0xF4, 0xFF}},
    {"mega16U4|mega32U4", {0x5E, 0x99, 0xF3, 0xFF}},
};

}  // namespace

FactoryFuses factoryFuses(const ChipDescriptor& chip) {
    for (const FactoryRow& row : factoryTable)
        if (chipListNames(row.chips, chip)) return row.fuses;
    return FactoryFuses{};
}

std::vector<std::string> chipsWithFactoryFigures() {
    std::vector<std::string> names;
    for (const FactoryRow& row : factoryTable) {
        std::string list = std::string(row.chips) + "|";
        for (size_t from = 0, bar; (bar = list.find('|', from)) != std::string::npos; from = bar + 1)
            names.push_back(list.substr(from, bar - from));
    }
    return names;
}

}  // namespace mervex
