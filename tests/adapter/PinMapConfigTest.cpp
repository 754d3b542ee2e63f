// Pin maps written inline and in files: the masks they produce and every error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "adapter/BuiltinCables.h"
#include "adapter/PinMapConfig.h"
#include "console/Errors.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"

namespace mervex {
namespace {

// Load and validate; returns the error output ("" on success).
std::string load(const std::string& text, PinMap& map, bool validate = false) {
    test::CaptureConsole capture(false, false, LevelTrace);
    try {
        loadPinMap(map, userPinMapOf(text));
        if (validate) validatePinMap(map);
    } catch (const app_error& e) {
        reportFailure(e);
        EXPECT_EQ(e.status(), ExitUsage);
        return capture.out();
    }
    EXPECT_EQ(capture.out().find("ERROR"), std::string::npos);
    return "";
}

TEST(PinMapConfig, InlineEntriesGiveRegisterMasks) {
    struct Case {
        const char* text;
        SignalId signal;
        uint32_t setMask, clearMask;
    };
    const Case cases[] = {
        {"m:miso=BUSY", SignalId::Miso, 0, 0x008000},  // hardware inversion alone
        {"m:miso=~BUSY", SignalId::Miso, 0x008000, 0},
        {"m:enable=~STROBE", SignalId::Enable, 0x010000, 0},  // the two inversions cancel
        {"m:enable=STROBE,~D3,INIT", SignalId::Enable, 0x040000, 0x010008},
        {"m:power=D0,D1,D2,D7", SignalId::Power, 0x000087, 0},
        {"m:MOSI = d5", SignalId::Mosi, 0x000020, 0},
        {"m:mosi= ~d5 ", SignalId::Mosi, 0, 0x000020},
        {"m:key=~ACK", SignalId::Key, 0, 0x004000},
        {"m:enable=~BIDIR_EN", SignalId::Enable, 0, 0x200000},
        {"Mxyz:sck=D1", SignalId::Sck, 0x000002, 0},  // text before the separator is ignored
        {"m:mosi=D1::sck=D2:", SignalId::Sck, 0x000004, 0},  // empty pieces skipped
    };
    for (const Case& c : cases) {
        PinMap map;
        EXPECT_EQ(load(c.text, map), "") << c.text;
        EXPECT_EQ(map.entry(c.signal).setMask, c.setMask) << c.text;
        EXPECT_EQ(map.entry(c.signal).clearMask, c.clearMask) << c.text;
    }
}

TEST(PinMapConfig, InlineVuderEqualsTheBuiltInWiring) {
    PinMap map;
    ASSERT_EQ(load("m:mosi=D5:miso=ACK:sck=D6:reset=D4", map, true), "");
    const PinMap vuder = builtinPinMap(AdapterType::Default);
    for (SignalId id : {SignalId::Mosi, SignalId::Miso, SignalId::Sck, SignalId::Reset}) {
        EXPECT_EQ(map.entry(id).setMask, vuder.entry(id).setMask);
        EXPECT_EQ(map.entry(id).clearMask, vuder.entry(id).clearMask);
    }
    EXPECT_FALSE(map.has(SignalId::Xtal));
    EXPECT_STREQ(map.name, "");
}

TEST(PinMapConfig, ErrorsNameWhatWasWritten) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"m:", "Invalid adapter switch 'm:'\n"},
        {"m=", "Invalid adapter switch 'm='\n"},
        {"m:name=", "adapter: invalid string 'name='\n"},
        {"m:mosi", "adapter: invalid string 'mosi'\n"},
        {"m:name=a:name=b", "adapter: duplicate keyword 'name'\n"},
        {"m:miso2=ACK", "adapter: invalid signal name 'miso2'\n"},
        {"m:mosi=D1:Mosi=D2", "adapter: duplicate signal name 'Mosi'\n"},
        {"m:mosi=D8", "adapter: invalid pin name 'D8'\n"},
        {"m:mosi=~ D5", "adapter: invalid pin name ' D5'\n"},
        {"m:mosi=D5,", "adapter: invalid pin name ''\n"},
        {"m:mosi=D0:sck=D0", "adapter: can't use 'D0' for 'sck' - already used for 'mosi'\n"},
        {"m:power=D0,d0", "adapter: can't use 'd0' for 'power' - already used for 'power'\n"},
        {"m:mosi=ACK", "adapter: can't use input pin 'ACK' for output signal 'mosi'\n"},
        {"m:key=d3", "adapter: can't use output pin 'D3' for input signal 'key'\n"},
        {"m:mosi=D0,D1", "adapter: can't use multiply pins for signal 'mosi'\n"},
        {"m", "mosi must be defined\n"},
        {"m:mosi=D5:sck=D6:reset=D4", "miso must be defined\n"},
        {"m:mosi=D5:miso=ACK:sck=D6", "reset must be defined\n"},
        {"m:mosi=D5:miso=ACK:sck=D6:reset=BIDIR_EN",
         "reset must be in D0..D7 lines\n"
         "ERROR:  mosi, sck and reset may also be on STROBE, ALF, INIT or SELECT without xtal\n"},
        {"m:mosi=D5:miso=ACK:sck=STROBE:reset=D4:xtal=D3",
         "sck must be in D0..D7 lines\n"
         "ERROR:  mosi, sck and reset may also be on STROBE, ALF, INIT or SELECT without xtal\n"},
        {"m:mosi=D5:miso=ACK:sck=D6:reset=D4:xtal=INIT", "xtal must be in D0..D7 lines\n"},
        {"m=/nonexistent/dir/pins.cfg", "File '/nonexistent/dir/pins.cfg' not found\n"},
    };
    for (const Case& c : cases) {
        PinMap map;
        std::string out = load(c.text, map, true);
        EXPECT_NE(out.find(c.error), std::string::npos) << c.text << " gave: " << out;
    }
}

TEST(PinMapConfig, LongNamesAreCut) {
    PinMap map;
    std::string text = "m:name=  " + std::string(50, 'n') + "  ";
    ASSERT_EQ(load(text, map), "");
    EXPECT_EQ(std::string(map.name), std::string(39, 'n'));
}

TEST(PinMapConfig, FileFormSkipsCommentsAndBlankLines) {
    const std::string path = test::scratchPath("pinmap-test.cfg");
    test::writeFile(path,
                    "# cable description\n"
                    "   # indented comment\n"
                    "\n"
                    "name = My cable ; v2\n"
                    "mosi = D5   # data out\n"
                    "miso=~BUSY\n"
                    "sck=D6\n"
                    "reset=D4\n"
                    "led_ok=D0,D1\n");

    PinMap map;
    test::CaptureConsole capture(false, false, LevelTrace);
    loadPinMap(map, userPinMapOf("m=" + path));
    validatePinMap(map);
    EXPECT_STREQ(map.name, "My cable");
    EXPECT_EQ(map.entry(SignalId::Mosi).setMask, 0x20u);
    EXPECT_EQ(map.entry(SignalId::Miso).setMask, 0x8000u);
    EXPECT_EQ(map.entry(SignalId::LedOk).setMask, 0x03u);
    EXPECT_NE(capture.out().find("Loading config file '" + path + "'\n"), std::string::npos);
    std::remove(path.c_str());
}

TEST(PinMapConfig, ShippedPinMapsLoadAndMatchTheirBuiltInWirings) {
    struct Case {
        const char* file;
        const PinMap* builtin;  // the wiring it restates, if any
    };
    PinMap stk = builtinPinMap(AdapterType::Stk);
    completeForClock(stk, AdapterType::Stk, 800000);
    const PinMap vuder = builtinPinMap(AdapterType::Default);
    const PinMap byteBlaster = builtinPinMap(AdapterType::ByteBlaster);
    const PinMap xilinx = builtinPinMap(AdapterType::Xilinx);
    const Case cases[] = {
        {"vuder.cfg", &vuder},
        {"vuder-leds-key.cfg", nullptr},
        {"stk200.cfg", &stk},
        {"byteblaster.cfg", &byteBlaster},
        {"xilinx.cfg", &xilinx},
    };
    for (const Case& c : cases) {
        PinMap map;
        std::string path = std::string(MERVEX_SOURCE_DIR) + "/examples/pinmaps/" + c.file;
        ASSERT_EQ(load("m=" + path, map, true), "") << c.file;
        EXPECT_NE(map.name[0], '\0') << c.file;
        if (c.builtin == nullptr) continue;
        for (size_t i = 0; i < SignalCount; ++i) {
            EXPECT_EQ(map.entries[i].setMask, c.builtin->entries[i].setMask) << c.file << " " << i;
            EXPECT_EQ(map.entries[i].clearMask, c.builtin->entries[i].clearMask) << c.file << " " << i;
        }
    }
}

}  // namespace
}  // namespace mervex
