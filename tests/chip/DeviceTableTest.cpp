#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "chip/DeviceTable.h"
#include "chip/FuseTable.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

class DeviceTableTest : public ::testing::Test {
protected:
    static const ChipDescriptor& row(const char* name) {
        const int32_t index = findChipByName(name);
        EXPECT_GE(index, 0) << name;
        return chipTable[index < 0 ? ChipTableRows : index];
    }
};

// ---------------------------------------------------------------- rows

TEST_F(DeviceTableTest, TableEndsWithAnAllZeroRow) {
    for (int i = 0; i < ChipTableRows; ++i) {
        ASSERT_NE(chipTable[i].names, nullptr) << "row " << i;
        EXPECT_GT(std::strlen(chipTable[i].names), 0u) << "row " << i;
    }
    const ChipDescriptor& end = chipTable[ChipTableRows];
    EXPECT_EQ(end.names, nullptr);
    EXPECT_EQ(end.signature, 0u);
    EXPECT_EQ(end.flash.size, 0);
    EXPECT_EQ(end.eeprom.size, 0);
    EXPECT_EQ(end.fuseSet, nullptr);
    EXPECT_STREQ(chipTable[0].names, "86RF401");
    EXPECT_STREQ(chipTable[ChipTableRows - 1].names, "mega2564RFR2");
}

struct RowCase {
    int index;
    const char* names;
    uint32_t signature;
    int32_t eraseMs;
    MemoryDescriptor flash;
    MemoryDescriptor eeprom;
    int32_t calibration;
    uint32_t flags;
    uint8_t lock;
    uint8_t fuse;
    int fuseSetNumber;  // 0 = none
};

const RowCase sampleRows[] = {
    {0, "86RF401", 0x1E9181, 30, {2048, 0, 10, PollNone}, {128, 0, 10, PollNone}, 0, VerySlowSck, 0, 0, 0},
    {1, "90S1200", 0x1E9001, 30, {1024, 0, 6, PollNone}, {64, 0, 6, PollNone}, 0,
     ListBreak | NoSckResync | SlowSck, 0, 0, 0},
    {2, "90S2313", 0x1E9101, 30, {2048, 0, 6, PollExcept7F}, {128, 0, 6, PollExcept7F80}, 0, 0, 0, 0, 0},
    {7, "90S2333", 0x1E9105, 30, {2048, 0, 6, PollExceptFF}, {128, 0, 6, PollExcept00FF}, 0,
     WritableWhenLocked, 2, 2, 2},
    {11, "tiny12", 0x1E9005, 30, {1024, 0, 6, PollExceptFF}, {64, 0, 8, PollExceptFF}, 1,
     ListBreak | WritableWhenLocked | EraseBug, 2, 3, 4},
    {12, "tiny22L", 0x1E9106, 30, {2048, 0, 6, PollExceptFF}, {128, 0, 6, PollExcept00FF}, 0, 0, 1, 0, 0},
    {13, "tiny22", 0x1E9106, 30, {2048, 0, 6, PollExceptFF}, {128, 0, 6, PollExcept00FF}, 0,
     WritableWhenLocked, 1, 1, 3},
    {14, "tiny13|tiny13A", 0x1E9007, 20, {1024, 32, 6, PollReadyBusy}, {64, 4, 5, PollReadyBusy}, 2, 0, 3, 3, 5},
    {21, "tiny26", 0x1E9109, 20, {2048, 32, 6, PollExceptFF}, {128, 4, 10, PollExceptFF}, 4, ListBreak, 3, 3, 9},
    // Pages of 8 words; the ULP oscillator's setting in the extended byte.
    {29, "tiny841", 0x1E9315, 20, {8192, 16, 6, PollReadyBusy}, {512, 4, 5, PollReadyBusy}, 1, 0, 3, 3, 37},
    {37, "mega603", 0x1E9601, 70, {65536, 256, 25, PollNone}, {2048, 0, 10, PollExcept7F80}, 0, ListBreak, 2, 2,
     13},
    {45, "mega8|mega8A", 0x1E9307, 20, {8192, 64, 6, PollExceptFF}, {512, 4, 10, PollExceptFF}, 4, ListBreak, 3, 3,
     20},
    // Clock failure detection (CFD) in the extended byte.
    {57, "mega328PB", 0x1E9516, 20, {32768, 128, 6, PollReadyBusy}, {1024, 4, 5, PollReadyBusy}, 1, 0, 3, 3, 38},
    {61, "mega128|mega128A|megaS128", 0x1E9702, 20, {131072, 256, 6, PollExceptFF}, {4096, 8, 11, PollExceptFF}, 4, 0, 3, 3,
     24},
    {80, "mega324PB", 0x1E9517, 20, {32768, 128, 6, PollReadyBusy}, {1024, 4, 10, PollReadyBusy}, 1, 0, 3, 3, 39},
    {85, "mega165|mega165P|mega165PA", 0x1E9407, 20, {16384, 128, 6, PollReadyBusy}, {512, 4, 10, PollReadyBusy}, 1,
     ListBreak, 3, 3, 29},
    {108, "mega2560", 0x1E9801, 20, {262144, 256, 6, PollReadyBusy}, {4096, 8, 10, PollReadyBusy}, 1, 0, 3, 3, 28},
    {111, "90pwm1|90pwm2B|90pwm3B", 0x1E9383, 20, {8192, 64, 6, PollReadyBusy}, {512, 4, 5, PollReadyBusy}, 1, 0,
     3, 3, 31},
    {120, "mega8HVA", 0x1E9310, 10, {8192, 128, 6, PollReadyBusy}, {256, 4, 5, PollReadyBusy}, 1, ListBreak, 3, 3,
     34},
    {125, "mega32HVE|mega32HVE2", 0x1E9513, 10, {32768, 128, 6, PollReadyBusy}, {1024, 4, 5, PollReadyBusy}, 1, ListBreak, 3,
     3, 36},
    {130, "mega256RFR2", 0x1EA802, 30, {262144, 256, 6, PollReadyBusy}, {8192, 8, 15, PollReadyBusy}, 1, 0, 3, 3,
     28},
};

TEST_F(DeviceTableTest, SampleRowsHoldTheirDatasheetValues) {
    for (const RowCase& c : sampleRows) {
        SCOPED_TRACE(c.names);
        const ChipDescriptor& chip = chipTable[c.index];
        EXPECT_STREQ(chip.names, c.names);
        EXPECT_EQ(chip.signature, c.signature);
        EXPECT_EQ(chip.eraseDelayMs, c.eraseMs);
        EXPECT_EQ(chip.flash.size, c.flash.size);
        EXPECT_EQ(chip.flash.pageSize, c.flash.pageSize);
        EXPECT_EQ(chip.flash.writeDelayMs, c.flash.writeDelayMs);
        EXPECT_EQ(chip.flash.pollMethod, c.flash.pollMethod);
        EXPECT_EQ(chip.eeprom.size, c.eeprom.size);
        EXPECT_EQ(chip.eeprom.pageSize, c.eeprom.pageSize);
        EXPECT_EQ(chip.eeprom.writeDelayMs, c.eeprom.writeDelayMs);
        EXPECT_EQ(chip.eeprom.pollMethod, c.eeprom.pollMethod);
        EXPECT_EQ(chip.calibrationCount, c.calibration);
        EXPECT_EQ(chip.flags, c.flags);
        EXPECT_EQ(chip.lockLayout, c.lock);
        EXPECT_EQ(chip.fuseLayout, c.fuse);
        if (c.fuseSetNumber == 0) {
            EXPECT_EQ(chip.fuseSet, nullptr);
        } else {
            EXPECT_EQ(chip.fuseSet, &fuseSetTable[c.fuseSetNumber - 1]);
        }
    }
}

TEST_F(DeviceTableTest, CorrectedGeometry) {
    // The chip's real geometry: 64 bytes of EEPROM.
    EXPECT_EQ(row("tiny48").eeprom.size, 64);
    // The chip's real geometry: 64 bytes of EEPROM.
    EXPECT_EQ(row("tiny88").eeprom.size, 64);
    // The chip's real geometry: 256 bytes of EEPROM.
    EXPECT_EQ(row("tiny1634").eeprom.size, 256);
    // The chip's real geometry: flash pages of 64 words (128 bytes).
    EXPECT_EQ(row("mega8U2").flash.pageSize, 128);
    // The chip's real geometry: flash pages of 64 words (128 bytes).
    EXPECT_EQ(row("90pwm216").flash.pageSize, 128);
    // The rest of those rows stays as it was.
    EXPECT_EQ(row("tiny48").flash.pageSize, 64);
    EXPECT_EQ(row("tiny1634").flash.pageSize, 32);
    EXPECT_EQ(row("mega8U2").eeprom.size, 512);
    EXPECT_EQ(row("90pwm316").flash.size, 16384);
}

TEST_F(DeviceTableTest, EveryRowIsConsistent) {
    std::set<uint32_t> signatures;
    for (int i = 0; i < ChipTableRows; ++i) {
        const ChipDescriptor& chip = chipTable[i];
        SCOPED_TRACE(chip.names);
        EXPECT_EQ(chip.signature >> 16, 0x1Eu);
        EXPECT_EQ(chip.flash.size % 1024, 0);
        EXPECT_GE(chip.flash.size, 1024);
        for (const MemoryDescriptor* m : {&chip.flash, &chip.eeprom}) {
            EXPECT_EQ(m->pageSize & (m->pageSize - 1), 0) << "page size not a power of two";
            if (m->pageSize != 0) {
                EXPECT_EQ(m->size % m->pageSize, 0);
            }
            EXPECT_LE(uint32_t(m->pollMethod), uint32_t(PollReadyBusy));
            EXPECT_GT(m->writeDelayMs, 0);
        }
        EXPECT_TRUE(chip.calibrationCount == 0 || chip.calibrationCount == 1 || chip.calibrationCount == 2 ||
                    chip.calibrationCount == 4);
        EXPECT_LE(chip.lockLayout, 3);
        EXPECT_LE(chip.fuseLayout, 3);
        // A chip without fuse commands offers no fuses to name, and vice versa.
        EXPECT_EQ(chip.fuseLayout == 0, chip.fuseSet == nullptr);
        EXPECT_EQ(chip.names[std::strlen(chip.names) - 1] == '|', false);
        EXPECT_EQ(std::strchr(chip.names, ' '), nullptr);
        if (std::strcmp(chip.names, "tiny22") != 0) {
            EXPECT_TRUE(signatures.insert(chip.signature).second) << "duplicate signature";
        }
    }
}

// Every alternative name reaches its own row: no earlier row shadows it.
TEST_F(DeviceTableTest, EveryAlternativeFindsItsRow) {
    int alternatives = 0;
    for (int i = 0; i < ChipTableRows; ++i) {
        std::stringstream names(chipTable[i].names);
        std::string name;
        while (std::getline(names, name, '|')) {
            EXPECT_EQ(findChipByName(name.c_str()), i) << name;
            ++alternatives;
        }
    }
    EXPECT_EQ(alternatives, 193);
}

// Each name and its short form, in any case and with or without "AT", names
// exactly one row: no spelling is ambiguous.
TEST_F(DeviceTableTest, EverySpellingNamesOneRow) {
    auto upper = [](std::string text) {
        for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
        return text;
    };
    int shortForms = 0;
    for (int i = 0; i < ChipTableRows; ++i) {
        std::stringstream names(chipTable[i].names);
        std::string name;
        while (std::getline(names, name, '|')) {
            const std::string shortName = shortChipName(name.c_str());
            std::vector<std::string> spellings = {name, upper(name), "AT" + name, "at" + upper(name)};
            if (!shortName.empty()) {
                ++shortForms;
                spellings.insert(spellings.end(), {shortName, upper(shortName), "at" + shortName});
            }
            for (const std::string& spelling : spellings) {
                std::vector<int> rows;
                for (int r = 0; r < ChipTableRows; ++r)
                    if (nameMatches(withoutAtPrefix(spelling.c_str()), chipTable[r].names)) rows.push_back(r);
                EXPECT_EQ(rows, std::vector<int>{i}) << spelling;
            }
        }
    }
    EXPECT_EQ(shortForms, 185);  // all but 86RF401 and the ATA parts
}

TEST_F(DeviceTableTest, ShortChipNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"mega328P", "m328p"}, {"mega2560", "m2560"}, {"tiny85", "t85"},     {"90usb1286", "usb1286"},
        {"90CAN128", "c128"},  {"90pwm3B", "pwm3b"},  {"90S8515", "8515"},   {"mega128RFA1", "m128rfa1"},
        {"86RF401", ""},       {"mega", ""},          {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(shortChipName(c.first), c.second) << c.first;
    EXPECT_EQ(shortChipName(nullptr), "");
    EXPECT_STREQ(withoutAtPrefix("ATmega8"), "mega8");
    EXPECT_STREQ(withoutAtPrefix("at"), "");
    EXPECT_STREQ(withoutAtPrefix("mega8"), "mega8");
    EXPECT_EQ(withoutAtPrefix(nullptr), nullptr);
}

// ---------------------------------------------------------------- fuses

const char* const expectedFuseNames[FuseInfoCount][3] = {
    {"FSTRT", nullptr, "Fast start"},
    {"BODLEVEL", "BLEV", "Brown-out level"},
    {"BODEN", nullptr, "Brown-out detect"},
    {"CKSEL", nullptr, "Clock selection"},
    {"RCEN", nullptr, "RC generator enable"},
    {"SPIEN", nullptr, "SPI programming enable"},
    {"RSTDISBL", "RSTDSBL", "Reset pin disable"},
    {"EESAVE", "EESV", "Keep EEPROM @ erase"},
    {"WDTON", nullptr, "WDT enable"},
    {"CKDIV", "CKDIV8", "clock prescaler selection"},
    {"SUT", nullptr, "Start-up timer"},
    {"SELFPRGEN", "SPMEN", "Self programming enable"},
    {"DWEN", nullptr, "DebugWire enable"},
    {"CKOUT", nullptr, "clock output enable"},
    {"PLLCK", nullptr, "Use PLL for internal clock"},
    {"CKOPT", nullptr, "Clock option"},
    {"BLB1", nullptr, "Disable SPM/LPM in boot section (BLB12,BLB11)"},
    {"BLB0", nullptr, "Disable SPM/LPM in application section (BLB02,BLB01)"},
    {"BODPD", nullptr, "BOD mode in all sleep modes except Idle"},
    {"BODACT", nullptr, "BOD mode in Active and Idle"},
    {"BOOTSZ", "BSIZ", "Boot section size"},
    {"BOOTRST", "BRST", "Reset to boot block"},
    {"OCDEN", nullptr, "On-chip debug enable"},
    {"JTAGEN", nullptr, "JTAG port enable"},
    {"S8515C", nullptr, "90S8515 compatibility enable"},
    {"S8535C", nullptr, "90S8535 compatibility enable"},
    {"M161C", nullptr, "mega161 compatibility enable"},
    {"M103C", nullptr, "mega103 compatibility enable"},
    {"HWBE", nullptr, "Hardwre Boot Enable"},
    {"PSC2RB", nullptr, "PSC2 reset behavior"},
    {"PSC1RB", nullptr, "PSC1 reset behavior"},
    {"PSC0RB", nullptr, "PSC0 reset behavior"},
    {"PSCRV", nullptr, "PSC reset value"},
    {"PSC2RBA", nullptr, "PSC2 reset behavior for OUT22 & 23"},
    {"PSCRRB", nullptr, "PSC reduced reset behavior"},
    {"PSCINRB", nullptr, "PSC & PSCR Inputs Reset Behavior"},
    {"PSCRB", nullptr, "PSC reset behavior"},
    {"PSCRVA", nullptr, "PSCA reset value"},
    {"PSCRVB", nullptr, "PSCB reset value"},
    {"DUVRDINIT", nullptr, "DUVRD register reset value"},
    {"ULPOSCSEL", nullptr, "ULP oscillator frequency"},
    {"CFD", nullptr, "Clock failure detection enable"},
};

TEST_F(DeviceTableTest, FuseNamesAndAliases) {
    std::set<std::string> accepted;
    for (int i = 0; i < FuseInfoCount; ++i) {
        const FuseInfo& info = fuseInfoTable[i];
        SCOPED_TRACE(expectedFuseNames[i][0]);
        EXPECT_STREQ(info.name, expectedFuseNames[i][0]);
        EXPECT_STREQ(info.alias, expectedFuseNames[i][1]);
        EXPECT_STREQ(info.description, expectedFuseNames[i][2]);
        // Names and aliases must be told apart on the command line.
        EXPECT_TRUE(accepted.insert(info.name).second);
        if (info.alias != nullptr) {
            EXPECT_TRUE(accepted.insert(info.alias).second);
        }
    }
}

// A list in the notation "NAME bit" or "NAME high..low", fields joined by ", ".
std::string describeList(const FuseDescriptor* list) {
    std::string text;
    for (const FuseDescriptor* f = list; f->info != nullptr; ++f) {
        if (!text.empty()) text += ", ";
        text += f->info->name;
        text += ' ' + std::to_string(f->shift + f->width - 1);
        if (f->width > 1) text += ".." + std::to_string(f->shift);
    }
    return text;
}

const char* const expectedLists[FuseListCount] = {
    "FSTRT 0",
    "BODLEVEL 4, BODEN 3, CKSEL 2..0",
    "RCEN 0",
    "BODLEVEL 7, BODEN 6, SPIEN 5, RSTDISBL 4, CKSEL 3..0",
    "EESAVE 6, WDTON 5, CKDIV 4, SUT 3..2, CKSEL 1..0",
    "SELFPRGEN 4, DWEN 3, BODLEVEL 2..1, RSTDISBL 0",
    "CKDIV 7, CKOUT 6, SUT 5..4, CKSEL 3..0",
    "DWEN 7, EESAVE 6, WDTON 4, BODLEVEL 3..1, RSTDISBL 0",
    "SELFPRGEN 0",
    "BODLEVEL 7, BODEN 6, SPIEN 5, RSTDISBL 4, CKSEL 1..0",
    "RSTDISBL 7, DWEN 6, WDTON 4, EESAVE 3, BODLEVEL 2..0",
    "PLLCK 7, CKOPT 6, SUT 5..4, CKSEL 3..0",
    "RSTDISBL 4, EESAVE 2, BODLEVEL 1, BODEN 0",
    "BLB1 5..4, BLB0 3..2",
    "CKDIV 7, CKOUT 6, SUT 5..4, CKSEL 1..0",
    "BODPD 7..6, BODACT 5..4, BOOTSZ 2..1, BOOTRST 0",
    "CKDIV 7, CKOUT 6, SUT 4, CKSEL 3..0",
    "BODPD 4..3, BODACT 2..1, SELFPRGEN 0",
    "EESAVE 3, SUT 1..0",
    "BOOTRST 6, SUT 4, CKSEL 2..0",
    "BODLEVEL 7, BODEN 6, CKSEL 3..0",
    "BOOTSZ 2..1, BOOTRST 0",
    "OCDEN 7, JTAGEN 6, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "BODLEVEL 7, BODEN 6, SUT 5..4, CKSEL 3..0",
    "S8515C 7, WDTON 6, CKOPT 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "S8535C 7, WDTON 6, CKOPT 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "OCDEN 7, JTAGEN 6, WDTON 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "M161C 4, BODLEVEL 3..1",
    "RSTDISBL 7, WDTON 6, CKOPT 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "RSTDISBL 7, DWEN 6, WDTON 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "BODLEVEL 2..0",
    "OCDEN 7, JTAGEN 6, CKOPT 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "M103C 1, WDTON 0",
    "BODLEVEL 3..1",
    "DWEN 7, RSTDISBL 6, WDTON 4, EESAVE 3, BOOTSZ 2..1, BOOTRST 0",
    "HWBE 3, BODLEVEL 2..0",
    "BODLEVEL 3..1, RSTDISBL 0",
    "BODLEVEL 2..1, RSTDISBL 0",
    "PSC2RB 7, PSC1RB 6, PSC0RB 5, PSCRV 4, BOOTSZ 2..1, BOOTRST 0",
    "PSC2RB 7, PSC2RBA 6, PSCRRB 5, PSCRV 4, PSCINRB 3, BODLEVEL 2..0",
    "PSCRB 5, PSCRVA 4, PSCRVB 3, BODLEVEL 2..0",
    "WDTON 7, EESAVE 6, DWEN 4, SELFPRGEN 3, SUT 2..0",
    "WDTON 7, EESAVE 6, SUT 4..2",
    "DUVRDINIT 4, DWEN 3, BOOTSZ 2..1, BOOTRST 0",
    "WDTON 7, EESAVE 6, BODEN 4, CKDIV 3, SUT 2..1",
    "DWEN 3, BOOTSZ 2..1, BOOTRST 0",
    "ULPOSCSEL 7..5, BODPD 4..3, BODACT 2..1, SELFPRGEN 0",
    "CFD 3, BODLEVEL 2..0",
};

// List numbers (from 1, 0 = absent) of each set, as Lock, Low, High, Ext.
const int expectedSets[FuseSetCount][FuseByteCount] = {
    {0, 1, 0, 0},     {0, 2, 0, 0},     {0, 3, 0, 0},     {0, 4, 0, 0},     {0, 5, 6, 0},
    {0, 7, 8, 9},     {0, 10, 0, 0},    {0, 7, 11, 9},    {0, 12, 13, 0},   {14, 15, 11, 16},
    {0, 17, 11, 18},  {0, 15, 11, 9},   {0, 19, 0, 0},    {14, 20, 0, 0},   {14, 21, 22, 0},
    {14, 21, 23, 0},  {14, 24, 25, 0},  {14, 24, 26, 0},  {14, 7, 27, 28},  {14, 24, 29, 0},
    {14, 7, 11, 22},  {14, 7, 30, 31},  {14, 24, 32, 0},  {14, 24, 32, 33}, {14, 7, 27, 34},
    {14, 7, 35, 36},  {14, 7, 27, 36},  {14, 7, 27, 31},  {14, 7, 27, 37},  {14, 7, 27, 38},
    {14, 7, 11, 39},  {14, 7, 30, 40},  {14, 7, 30, 41},  {0, 42, 0, 0},    {14, 43, 44, 0},
    {14, 45, 46, 0},  {0, 17, 11, 47},  {14, 7, 30, 48},  {14, 7, 27, 48},
};

TEST_F(DeviceTableTest, FuseListsHoldTheirFields) {
    for (int i = 0; i < FuseListCount; ++i) {
        SCOPED_TRACE("list " + std::to_string(i + 1));
        ASSERT_NE(fuseListTable[i], nullptr);
        EXPECT_EQ(describeList(fuseListTable[i]), expectedLists[i]);
        uint8_t used = 0;
        for (const FuseDescriptor* f = fuseListTable[i]; f->info != nullptr; ++f) {
            EXPECT_GE(f->width, 1);
            EXPECT_LE(f->width, 4);
            EXPECT_GE(f->shift, 0);
            EXPECT_LE(f->shift + f->width, 8);
            EXPECT_EQ(used & f->mask(), 0) << f->info->name << " overlaps another field";
            used = uint8_t(used | f->mask());
        }
    }
}

TEST_F(DeviceTableTest, FuseSetsShareTheirLists) {
    std::set<const FuseDescriptor*> usedLists;
    for (int s = 0; s < FuseSetCount; ++s) {
        SCOPED_TRACE("set " + std::to_string(s + 1));
        for (int b = 0; b < FuseByteCount; ++b) {
            const int number = expectedSets[s][b];
            const FuseDescriptor* list = fuseSetTable[s].list(FuseByte(b));
            EXPECT_EQ(list, number == 0 ? nullptr : fuseListTable[number - 1]) << fuseByteName(b);
            if (list != nullptr) usedLists.insert(list);
        }
    }
    EXPECT_EQ(usedLists.size(), size_t(FuseListCount));
}

TEST_F(DeviceTableTest, EveryFuseSetIsUsedByARow) {
    std::set<const FuseSet*> used;
    for (int i = 0; i < ChipTableRows; ++i) {
        if (chipTable[i].fuseSet != nullptr) used.insert(chipTable[i].fuseSet);
    }
    EXPECT_EQ(used.size(), size_t(FuseSetCount));
}

TEST_F(DeviceTableTest, FieldMaskAndMaximum) {
    const FuseDescriptor bootsz = {&fuseInfoTable[20], 2, 1};
    EXPECT_EQ(bootsz.mask(), 0x06);
    EXPECT_EQ(bootsz.maxValue(), 3);
    const FuseDescriptor cksel = {&fuseInfoTable[3], 4, 0};
    EXPECT_EQ(cksel.mask(), 0x0F);
    EXPECT_EQ(cksel.maxValue(), 15);
    const FuseDescriptor top = {&fuseInfoTable[1], 1, 7};
    EXPECT_EQ(top.mask(), 0x80);
}

TEST_F(DeviceTableTest, FuseByteNames) {
    EXPECT_STREQ(fuseByteName(0), "_LOCK");
    EXPECT_STREQ(fuseByteName(1), "_LOW");
    EXPECT_STREQ(fuseByteName(2), "_HIGH");
    EXPECT_STREQ(fuseByteName(3), "_EXT");
    EXPECT_STREQ(fuseByteName(4), "???");
    EXPECT_STREQ(fuseByteName(-1), "???");
}

// ---------------------------------------------------------------- lookups

TEST_F(DeviceTableTest, NameMatching) {
    struct Case {
        const char* requested;
        const char* names;
        bool matches;
    };
    const Case cases[] = {
        {"mega8", "mega8|mega8A", true},
        {"mega8a", "mega8|mega8A", true},
        {"MEGA48pa", "mega48P|mega48PA", true},
        {"mega165P", "mega165|mega165P|mega165PA", true},
        {"mega16", "mega165|mega165P|mega165PA", false},
        {"mega165PAX", "mega165|mega165P|mega165PA", false},
        {"mega165|mega165P", "mega165|mega165P|mega165PA", false},
        {"mega", "mega8|mega8A", false},
        {"mega8A|", "mega8|mega8A", false},
        {"", "mega8|mega8A", false},
        {"tiny22", "tiny22L", false},
        {"TINY22l", "tiny22L", true},
        // Short forms derived from the family.
        {"m328p", "mega328P", true},
        {"M48PA", "mega48P|mega48PA", true},
        {"m328", "mega328P", false},
        {"t85", "tiny85", true},
        {"usb1287", "90usb1286|90usb1287", true},
        {"c128", "90CAN128", true},
        {"pwm3b", "90pwm1|90pwm2B|90pwm3B", true},
        {"2313", "90S2313", true},
        {"t22", "tiny22L", false},
        {"m", "mega8|mega8A", false},
        {"mega8", "m8", false},
        {"atmega8", "mega8|mega8A", false},
        {nullptr, "mega8", false},
        {"mega8", nullptr, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nameMatches(c.requested, c.names), c.matches)
            << (c.requested ? c.requested : "(null)") << " vs " << (c.names ? c.names : "(null)");
    }
}

TEST_F(DeviceTableTest, FindChipByName) {
    const int32_t mega8 = findChipByName("mega8");
    ASSERT_GE(mega8, 0);
    EXPECT_STREQ(chipTable[mega8].names, "mega8|mega8A");
    EXPECT_EQ(findChipByName("mega8a"), mega8);
    EXPECT_EQ(findChipByName("mega"), -1);
    EXPECT_EQ(findChipByName("ATmega8"), -1);
    EXPECT_EQ(findChipByName(""), -1);
    EXPECT_EQ(findChipByName(nullptr), -1);
    EXPECT_STREQ(chipTable[findChipByName("tiny13")].names, "tiny13|tiny13A");
    EXPECT_STREQ(chipTable[findChipByName("mega16")].names, "mega16|mega16A");
    EXPECT_EQ(findChipByName("tiny22"), 13);
    EXPECT_EQ(findChipByName("tiny22l"), 12);
}

TEST_F(DeviceTableTest, ChipNameAt) {
    EXPECT_STREQ(chipNameAt(-1), "unknown");
    EXPECT_STREQ(chipNameAt(0), "86RF401");
    EXPECT_STREQ(chipNameAt(45), "mega8|mega8A");
    EXPECT_EQ(chipNameAt(ChipTableRows), nullptr);
    EXPECT_EQ(chipNameAt(ChipTableRows + 5), nullptr);
}

TEST_F(DeviceTableTest, SelectionPrefersTheDetectedRow) {
    ChipSelection selection;
    EXPECT_EQ(selection.index(), -1);
    EXPECT_EQ(selection.selectedChip().names, nullptr);
    EXPECT_EQ(selection.selectedChip().flash.size, 0);
    EXPECT_EQ(usableFlashSize(selection.selectedChip(), true), 0);

    selection.requestedName = "tiny13a";
    EXPECT_STREQ(selection.selectedChip().names, "tiny13|tiny13A");
    EXPECT_EQ(selection.selectedChip().flash.size, 1024);
    EXPECT_EQ(selection.selectedChip().eeprom.size, 64);

    selection.detectedIndex = findChipByName("mega2560");
    EXPECT_STREQ(selection.selectedChip().names, "mega2560");
    EXPECT_EQ(selection.selectedChip().flash.size, 262144);
    EXPECT_EQ(selection.selectedChip().eeprom.size, 4096);
    EXPECT_EQ(usableFlashSize(selection.selectedChip(), false), 262144);
    EXPECT_EQ(usableFlashSize(selection.selectedChip(), true), 262142);

    selection.detectedIndex = -1;
    EXPECT_STREQ(selection.selectedChip().names, "tiny13|tiny13A");
}

TEST_F(DeviceTableTest, SckTimingCycles) {
    struct Case {
        const char* chip;
        uint32_t hz;
        uint32_t divider;
        int32_t low;
        int32_t high;
    };
    const Case cases[] = {
        {"mega8", 16000000, 1, 3, 3},  {"mega8", 12000000, 1, 2, 2},  {"mega8", 12000001, 1, 3, 3},
        {"mega8", 800000, 1, 2, 2},    {"mega8", 0, 1, 2, 2},         {"mega8", 16000000, 4, 12, 12},
        {"mega8", 0, 256, 512, 512},   {"90S1200", 16000000, 1, 2, 5}, {"86RF401", 16000000, 1, 5, 17},
        {"86RF401", 1000000, 2, 10, 34},
    };
    for (const Case& c : cases) {
        const SckCycles cycles = sckTimingCycles(row(c.chip), c.hz, c.divider);
        EXPECT_EQ(cycles.low, c.low) << c.chip << " " << c.hz << "/" << c.divider;
        EXPECT_EQ(cycles.high, c.high) << c.chip << " " << c.hz << "/" << c.divider;
    }
}

// ---------------------------------------------------------------- printing

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

TEST_F(DeviceTableTest, DeviceListLayout) {
    test::CaptureConsole capture;
    printDeviceList();
    const std::string out = capture.out();
    const std::string head =
        "\nSupported devices:\n"
        " 86RF401\n"
        " 90S1200    90S2313     90S4414     90S8515     90S4434     90S8535\n"
        " 90S2333    90S4433     90S2323     90S2343\n"
        " tiny12     tiny22L     tiny22      tiny13|tiny13A\n"
        " tiny2313|tiny2313A     tiny4313\n"
        " tiny15     tiny25      tiny45      tiny85\n"
        " tiny26     tiny261|tiny261A        tiny461|tiny461A        tiny861|tiny861A\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    const std::string tail =
        " mega649|mega649A       mega649P    mega6490|mega6490A      mega6490P\n"
        " mega640    mega1280    mega1281    mega2560    mega2561\n"
        " 90pwm2|90pwm3          90pwm1|90pwm2B|90pwm3B  90pwm216|90pwm316\n"
        " 90pwm81    90pwm161\n"
        " mega16M1   mega32M1    mega64M1|megaS64M1      mega32C1    mega64C1\n"
        " mega8HVA   mega16HVA   mega16HVB|mega16HVBrevB mega32HVB|mega32HVBrevB\n"
        " mega8HVD\n"
        " mega32HVE|mega32HVE2   mega64HVE|mega64HVE2\n"
        " mega128RFA1            mega64RFR2  mega128RFR2 mega256RFR2\n"
        " mega644RFR2            mega1284RFR2            mega2564RFR2";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);

    // Every chip once, in table order; ListBreak rows begin a line; no line passes column 78.
    std::vector<std::string> lines = splitLines(out);
    ASSERT_GE(lines.size(), 3u);
    int row = 0;
    for (size_t l = 2; l < lines.size(); ++l) {
        const std::string& line = lines[l];
        EXPECT_LE(line.size(), 78u) << line;
        std::stringstream words(line);
        std::string word;
        bool first = true;
        size_t from = 0;
        while (words >> word) {
            const size_t column = line.find(word, from);
            from = column + word.size();
            ASSERT_LT(row, ChipTableRows);
            EXPECT_EQ(word, chipTable[row].names);
            if (!first) {
                EXPECT_FALSE(chipTable[row].hasFlag(ListBreak)) << word;
                EXPECT_EQ(column % 12, 0u) << word;
            }
            first = false;
            ++row;
        }
    }
    EXPECT_EQ(row, ChipTableRows);
}

TEST_F(DeviceTableTest, ChipInfoOfMega8) {
    test::CaptureConsole capture;
    printChipInfo("MEGA8");
    EXPECT_EQ(capture.out(),
              "\nmega8|mega8A: signature 1E9307, Flash 8KB, EEPROM 512B\n"
              "Fuse list\n"
              "  fuse programmed state is 0\n"
              "  use ON or OFF aliases for 1-bit fuses if you not shure\n"
              "\n_LOCK fuse byte:\n"
              "  BLB1       = 0 to  3 - Disable SPM/LPM in boot section (BLB12,BLB11)\n"
              "  BLB0       = 0 to  3 - Disable SPM/LPM in application section (BLB02,BLB01)\n"
              "\n_LOW fuse byte:\n"
              "  BODLEVEL   = 0 or  1 - Brown-out level\n"
              "   (BLEV)\n"
              "  BODEN      = 0 or  1 - Brown-out detect\n"
              "  SUT        = 0 to  3 - Start-up timer\n"
              "  CKSEL      = 0 to  F - Clock selection\n"
              "\n_HIGH fuse byte:\n"
              "  RSTDISBL   = 0 or  1 - Reset pin disable\n"
              "   (RSTDSBL)\n"
              "  WDTON      = 0 or  1 - WDT enable\n"
              "  CKOPT      = 0 or  1 - Clock option\n"
              "  EESAVE     = 0 or  1 - Keep EEPROM @ erase\n"
              "   (EESV)\n"
              "  BOOTSZ     = 0 to  3 - Boot section size\n"
              "   (BSIZ)\n"
              "  BOOTRST    = 0 or  1 - Reset to boot block\n"
              "   (BRST)\n");
}

TEST_F(DeviceTableTest, ChipInfoOfAnAlternativeName) {
    test::CaptureConsole capture;
    printChipInfo("tiny13a");
    const std::string out = capture.out();
    EXPECT_EQ(out.rfind("\ntiny13|tiny13A: signature 1E9007, Flash 1KB, EEPROM 64B\nFuse list\n", 0), 0u) << out;
    EXPECT_NE(out.find("\n_LOW fuse byte:\n  EESAVE     = 0 or  1 - Keep EEPROM @ erase\n   (EESV)\n"),
              std::string::npos);
    EXPECT_NE(out.find("  SELFPRGEN  = 0 or  1 - Self programming enable\n   (SPMEN)\n"), std::string::npos);
    EXPECT_EQ(out.find("_LOCK"), std::string::npos);
    EXPECT_EQ(out.find("_EXT"), std::string::npos);
}

TEST_F(DeviceTableTest, ChipInfoWithoutFusesAndOfLargeMemories) {
    struct Case {
        const char* name;
        std::string expected;
    };
    // The old chips timed for 5 V end with a note on low supplies; polling
    // is named only where the chip can poll.
    const std::string lowVoltage =
        "\nAt a supply under 4 V use a delay switch (-2) or polling (-wp): writes take up to 9 ms there\n";
    const Case cases[] = {
        {"90S1200", "\n90S1200: signature 1E9001, Flash 1KB, EEPROM 64B\n  has no ISP-writable fuses\n"
                    "\nAt a supply under 4 V use a delay switch (-2): writes take up to 9 ms there\n"},
        {"tiny22L",
         ("\ntiny22L: signature 1E9106, Flash 2KB, EEPROM 128B\n  has no ISP-writable fuses\n" + lowVoltage)},
        {"mega", "mega is not supported\n"},
        {"Mega2561x", "Mega2561x is not supported\n"},
    };
    for (const Case& c : cases) {
        test::CaptureConsole capture;
        printChipInfo(c.name);
        EXPECT_EQ(capture.out(), c.expected);
    }
    test::CaptureConsole capture;
    printChipInfo("mega2560");
    EXPECT_EQ(capture.out().rfind("\nmega2560: signature 1E9801, Flash 256KB, EEPROM 4KB\n", 0), 0u);
    test::CaptureConsole page2333;
    printChipInfo("90S2333");
    const std::string notes = "\nChip erase waits 30 ms, as on the 90S4433 and 90S2343\n" + lowVoltage.substr(1);
    EXPECT_EQ(page2333.out().substr(page2333.out().size() - notes.size()), notes);
}

TEST_F(DeviceTableTest, PrintingFollowsTheConsoleLevel) {
    test::CaptureConsole capture(false, false, LevelWarning);
    printDeviceList();
    printChipInfo("mega8");
    EXPECT_EQ(capture.out(), "");
}

}  // namespace
}  // namespace mervex
