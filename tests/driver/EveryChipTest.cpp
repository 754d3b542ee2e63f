// Every chip of the device table through whole runs of the program on a
// virtual target that decodes instructions as the data sheets write them:
// erase, write and verify of both memories up to their last byte, a fuse
// change in the low and the extended byte, locking, and a write that the
// lock refuses. The runs are in-process (the real run code, with time-outs on
// a manual clock) to keep the test short.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "chip/DeviceTable.h"
#include "console/Errors.h"
#include "support/ManualClock.h"
#include "driver/EndToEnd.h"

namespace mervex::test {
namespace {

using Blocks = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

// Single bytes at both ends of a memory and on both sides of every power of
// two, where each address bit is first used, none of them 0xFF (an erased chip
// skips those). expected is the memory after writing them into an erased chip.
Blocks probeImage(uint32_t size, uint8_t seed, std::vector<uint8_t>& expected) {
    std::set<uint32_t> at = {0, 1, size - 2, size - 1};
    for (uint32_t bit = 2; bit < size; bit <<= 1) {
        at.insert(bit - 1);
        at.insert(bit);
    }
    expected.assign(size, 0xFF);
    Blocks blocks;
    for (uint32_t a : at) {
        expected[a] = uint8_t((a * 37u + seed) % 0xFF);
        blocks.push_back({a, {expected[a]}});
    }
    return blocks;
}

// A fuse field flipped in its lowest bit, named as users name it.
struct FuseChange {
    FuseByte byte;
    std::string request;
    uint8_t mask = 0;
    uint8_t value = 0;  // the field's new bits in place
};

FuseChange flipField(const VirtualTarget& target, FuseByte byte, const FuseDescriptor& field) {
    const unsigned now = unsigned((target.fuse(byte) & field.mask()) >> field.shift);
    char text[48];
    std::snprintf(text, sizeof text, "%s=%X", field.info->name, now ^ 1u);
    return {byte, text, field.mask(), uint8_t((now ^ 1u) << field.shift)};
}

// The low byte's last field (a clock or start-up setting) and the extended
// byte's first (a boot, brown-out, oscillator or clock-watch setting): never
// one that ends serial programming. None without fuses.
std::vector<FuseChange> fuseChangesFor(const ChipDescriptor& chip, const VirtualTarget& target) {
    std::vector<FuseChange> changes;
    if (chip.fuseSet == nullptr) return changes;
    const FuseDescriptor* field = chip.fuseSet->list(FuseByte::Low);
    while ((field + 1)->info != nullptr) ++field;
    changes.push_back(flipField(target, FuseByte::Low, *field));
    if (const FuseDescriptor* ext = chip.fuseSet->list(FuseByte::Ext))
        changes.push_back(flipField(target, FuseByte::Ext, *ext));
    return changes;
}

using EveryChip = EndToEnd;

TEST_F(EveryChip, ErasesWritesVerifiesSetsAFuseAndLocks) {
    for (int row = 0; row < ChipTableRows; ++row) {
        const ChipDescriptor& chip = chipTable[row];
        // The row's last name, spelt with "AT": alternative names reach the chip as its first does.
        const std::string names = chip.names;
        const std::string name = "AT" + names.substr(names.rfind('|') + 1);
        SCOPED_TRACE(chip.names);
        ManualClock clock;
        std::unique_ptr<VirtualTarget> target = newVirtualTarget(name);
        store(*target);
        std::vector<uint8_t> flash, eeprom, unused;
        const std::string code = hexFile("code.hex", probeImage(uint32_t(chip.flash.size), 1, flash));
        const std::string data = hexFile("data.hex", probeImage(uint32_t(chip.eeprom.size), 2, eeprom));
        const std::vector<FuseChange> fuses = fuseChangesFor(chip, *target);

        std::vector<std::string> args = {"+" + name, "-ie", port(), "-e", "-w", "-v", "-l1", code, data};
        std::string fuseList;
        for (const FuseChange& fuse : fuses) fuseList += (fuseList.empty() ? "-f" : ",") + fuse.request;
        if (!fuseList.empty()) args.push_back(fuseList);
        const Outcome written = runInProcess(args, clock);
        if (written.status != ExitOk) {
            ADD_FAILURE() << "status " << written.status << "\n" << written.out;
            continue;
        }
        std::unique_ptr<VirtualTarget> after = stored();
        EXPECT_TRUE(after->flash == flash);
        EXPECT_TRUE(after->eeprom == eeprom);
        EXPECT_EQ(after->lastRun.unknownInstructions, 0u);
        for (const FuseChange& fuse : fuses) EXPECT_EQ(after->fuse(fuse.byte) & fuse.mask, fuse.value) << fuse.request;
        EXPECT_EQ(after->lockLevel(), 1);

        // The locked chip keeps its flash: the run refuses the write, or (where
        // the lock bits cannot be read) the chip ignores it and verifying fails.
        const std::string other = hexFile("other.hex", probeImage(uint32_t(chip.flash.size), 3, unused));
        const Outcome refused = runInProcess({"+" + name, "-ie", port(), "-w", "-v", other}, clock);
        EXPECT_EQ(refused.status, ExitChip) << refused.out;
        EXPECT_TRUE(stored()->flash == flash);
    }
}

// A production script that disables the RESET pin: the run that writes the
// fuse ends well, the chip is gone for the next one.
TEST_F(EveryChip, ProgrammedResetDisableEndsSerialProgrammingAfterTheRun) {
    ManualClock clock;
    store(*newVirtualTarget("mega328P"));
    const Outcome written = runInProcess({"+mega328P", "-ie", port(), "-w", "-fRSTDISBL=ON"}, clock);
    EXPECT_EQ(written.status, ExitOk) << written.out;
    EXPECT_EQ(stored()->fuse(FuseByte::High), 0x59);
    const Outcome next = runInProcess({"+mega328P", "-ie", port()}, clock);
    EXPECT_EQ(next.status, ExitSync);
    EXPECT_NE(next.out.find("ERROR:  Can't resync\n"), std::string::npos) << next.out;
}

}  // namespace
}  // namespace mervex::test
