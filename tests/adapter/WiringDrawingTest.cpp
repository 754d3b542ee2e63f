// The wiring drawn as people build the cable: DB-25 pins, signals, ISP header
// pins, inversions and the lines that do not go to the headers.
#include <gtest/gtest.h>

#include <string>

#include "adapter/BuiltinCables.h"
#include "adapter/GpioWiring.h"
#include "adapter/PinMapConfig.h"
#include "adapter/WiringDrawing.h"

namespace mervex {
namespace {

PinMap stkAt800kHz() {
    PinMap map = builtinPinMap(AdapterType::Stk);
    completeForClock(map, AdapterType::Stk, 800000);
    return map;
}

PinMap userMap(const std::string& entries) {
    PinMap map;
    loadPinMap(map, {entries, ""});
    return map;
}

TEST(WiringDrawing, DrawsEachUsedPinWithItsHeaderPins) {
    struct Case {
        const char* name;
        std::string drawn;
        const char* drawing;
    };
    const GpioWiring gpio = loadGpioWiring({"name=gpio:mosi=GPIO10:miso=9:sck=GPIO11:reset=~GPIO25:led_ok=~GPIO4", ""});
    const Case cases[] = {
        {"plain", drawPinMap(builtinPinMap(AdapterType::Default)),
         "VUDER wiring, DB-25 to the 6-pin and 10-pin ISP headers:\n"
         "  DB-25  line      signal  ISP-6  ISP-10\n"
         "  5      D3    ->  xtal    -      -         to the chip's XTAL1, not on the headers\n"
         "  6      D4    ->  reset   5      5\n"
         "  7      D5    ->  mosi    4      1\n"
         "  8      D6    ->  sck     3      7\n"
         "  10     ACK   <-  miso    1      9\n"
         "  18-25            ground  6      4,6,8,10\n"},
        // Buffers enabled by low lines; BUSY's register bit is inverted, its pin is not.
        {"buffered", drawPinMap(stkAt800kHz()),
         "STK wiring, DB-25 to the 6-pin and 10-pin ISP headers:\n"
         "  DB-25  line      signal  ISP-6  ISP-10\n"
         "  4      ~D2   ->  enable  -      -         buffer enable, active low\n"
         "  5      ~D3   ->  enable  -      -         buffer enable, active low\n"
         "  6      D4    ->  sck     3      7\n"
         "  7      D5    ->  mosi    4      1\n"
         "  8      ~D6   ->  enable  -      -         buffer enable, active low\n"
         "  9      D7    ->  reset   5      5\n"
         "  10     ACK   <-  miso    1      9\n"
         "  18-25            ground  6      4,6,8,10\n"},
        {"inverting, with supply, LEDs and key",
         drawPinMap(userMap("name=inverting:reset=~D4:sck=~D6:mosi=~D5:miso=~BUSY:power=D0,D1:led_ok=STROBE:"
                            "led_error=~INIT:key=ACK:enable=~BIDIR_EN")),
         "inverting wiring, DB-25 to the 6-pin and 10-pin ISP headers:\n"
         "  DB-25  line           signal     ISP-6  ISP-10\n"
         "  1      STROBE     ->  led_ok     -      -         OK LED\n"
         "  2      D0         ->  power      2      2         supplies the target\n"
         "  3      D1         ->  power      2      2         supplies the target\n"
         "  6      ~D4        ->  reset      5      5         inverted in the cable\n"
         "  7      ~D5        ->  mosi       4      1         inverted in the cable\n"
         "  8      ~D6        ->  sck        3      7         inverted in the cable\n"
         "  10     ACK        <-  key        -      -         push-button\n"
         "  11     ~BUSY      <-  miso       1      9         inverted in the cable\n"
         "  16     ~INIT      ->  led_error  -      -         error LED, active low\n"
         "  -      ~BIDIR_EN  ->  enable     -      -         no pin: the port's data lines float while the cable "
         "is off\n"
         "  18-25                 ground     6      4,6,8,10\n"},
        // Lines named by the kernel or by number: no port line names.
        {"GPIO lines", drawWiring(gpio.name(), gpioWiringConnector(gpio)),
         "gpio wiring, GPIO to the 6-pin and 10-pin ISP headers:\n"
         "  GPIO         signal  ISP-6  ISP-10\n"
         "  GPIO10   ->  mosi    4      1\n"
         "  9        <-  miso    1      9\n"
         "  GPIO11   ->  sck     3      7\n"
         "  ~GPIO25  ->  reset   5      5         inverted in the cable\n"
         "  ~GPIO4   ->  led_ok  -      -         OK LED, active low\n"
         "  GND          ground  6      4,6,8,10\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.drawn, c.drawing) << c.name;

    // A built adapter's map, RESET turned to "held", is drawn as written.
    PinMap running = userMap("mosi=D5:miso=ACK:sck=D6:reset=~D4");
    const std::string written = drawPinMap(running);
    running.driveResetAsHeld();
    EXPECT_EQ(drawAdapterPinMap(running), written);
}

}  // namespace
}  // namespace mervex
