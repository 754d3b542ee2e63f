#pragma once
// Common ground of the chip protocol tests: a manual clock, a chip chosen by
// name, a session that owns a FakeChip of that chip's geometry.
#include <gtest/gtest.h>

#include <memory>

#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "support/CaptureConsole.h"
#include "support/FakeChip.h"
#include "support/ManualClock.h"

namespace mervex::test {

class ChipFixture : public ::testing::Test {
protected:
    // Build a fake chip with the named chip's signature and sizes, behind a
    // session that requests that chip (or none).
    FakeChip& useChip(const char* name, const ChipOptions& options = ChipOptions(), bool requested = true) {
        session = ChipSession(requested ? name : nullptr, options);
        const ChipDescriptor& row = chipAt(findChipByName(name));
        auto owned = std::make_unique<FakeChip>(clock, row.signature, size_t(row.flash.size),
                                                size_t(row.eeprom.size), uint32_t(row.flash.pageSize));
        chip = owned.get();
        session.attachProgrammer(std::move(owned));
        return *chip;
    }

    // Connect quietly, so that the chip is identified and the write timing
    // known, and forget what that sent.
    void connectQuietly() {
        {
            CaptureConsole quiet;
            session.connectChip();
        }
        chip->clearLog();
    }

    // Erase quietly (the chip is connected after it), and forget what that sent.
    void eraseQuietly() {
        {
            CaptureConsole quiet;
            session.eraseChip();
        }
        chip->clearLog();
    }

    ManualClock clock;
    ChipSession session;
    FakeChip* chip = nullptr;  // owned by the session
};

}  // namespace mervex::test
