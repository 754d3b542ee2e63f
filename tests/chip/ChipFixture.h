#pragma once
// Common ground of the chip protocol tests: a manual clock, a chip chosen by
// name, a session bound to a FakeChip of that chip's geometry.
#include <gtest/gtest.h>

#include <memory>

#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "support/ManualClock.h"
#include "support/CaptureConsole.h"
#include "FakeChip.h"

namespace mervex::test {

class ChipFixture : public ::testing::Test {
protected:
    // Request the named chip and build a fake chip with its signature and sizes.
    FakeChip& useChip(const char* name) {
        session = ChipSession();
        session.selection.requestedName = name;
        const ChipDescriptor& row = session.selectedChip();
        chip = std::make_unique<FakeChip>(row.signature, size_t(row.flash.size), size_t(row.eeprom.size),
                                          uint32_t(row.flash.pageSize));
        chip->clock = &clockGuard.clock;
        session.attachedLink = chip.get();
        return *chip;
    }

    ManualClockGuard clockGuard;
    std::unique_ptr<FakeChip> chip;
    ChipSession session;
};

}  // namespace mervex::test
