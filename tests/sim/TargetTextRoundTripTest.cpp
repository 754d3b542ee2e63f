// Settings whose numbers are very large or very small must be written so that
// the target file reads back: the reader takes digits and a point only.
#include <gtest/gtest.h>

#include <string>

#include "support/CaptureConsole.h"
#include "sim/VirtualTargetFile.h"

namespace mervex {
namespace {

TEST(TargetTextRoundTrip, ExtremeNumbersReadBack) {
    const char* const lines[] = {
        "key = 0-666666666666666666666666666666666666666666666666666150,",
        "key = 0.0000001-0.5",
        "key = 0.00000000000000000000000000000000000000000000000000001-",
        "busy.flash = 0.00001",
        "busy.erase = 0.000099999999999999999",
        "last.modelled-us = 1000000000000000000000",
        "last.modelled-us = 999999999999999.9",
        "last.modelled-us = 0.000000000123456789012345678",
    };
    const std::string header = std::string(VirtualTargetMagic) + "1\nchip = mega8\n";
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        test::CaptureConsole console;
        const auto target = parseVirtualTarget(header + line + "\n[end]\n", "extreme");
        const std::string written = formatVirtualTarget(*target);
        std::unique_ptr<VirtualTarget> back;
        ASSERT_NO_THROW(back = parseVirtualTarget(written, "written")) << console.out();
        EXPECT_EQ(formatVirtualTarget(*back), written);
    }
}

}  // namespace
}  // namespace mervex
