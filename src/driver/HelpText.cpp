#include "driver/HelpText.h"

#include <cstddef>

#include "adapter/BuiltinCables.h"
#include "chip/ChipDescriptor.h"
#include "console/Console.h"

namespace mervex {

const char* const BannerText = "mervex/FreeBSD v1.29z0 (Dec 11 2013 22:19:58)\n";

const char* const AboutText =
    "AVR serial programmer: erases, writes, reads and verifies the flash, EEPROM,\n"
    "fuses and lock bits of Atmel AVR microcontrollers through their ISP interface,\n"
    "driven bit by bit from a PC parallel port.\n";

namespace {

// The switch summary is kept as lines: as one text it would exceed what one
// console message can carry.
const char* const helpBlock1[] = {
    "Use:\tmervex [SWITCHES] [[-c] cfile] [-d dfile]\n",
    "\tSwitches (# represents number)\n",
    "\n",
    " -?,-h\t this help\n",
    " -i set information level to not more than\n",
    "     -ie or -i1  -- errors\n",
    "     -iw or -i2  -- warnings\n",
    "     -i  or -i3  -- info (default)\n",
    "     -id or -i4  -- debug\n",
    "     -it or -i5  -- trace\n",
    "    progress bar options\n",
    "     -ip- disable progress bar at all levels\n",
    "     -ip  auto, enabled at level \"info\" and above (default)\n",
    "     -ip+ enable  progress bar at all levels\n",
    " +<nam>\tforce chip to specified by name <nam> (list see below)\n",
    " -aX\t'adapter' group (default VUDER)\n",
    "    -amPINMAP - LPT adapter with user pin configuration\n",
    "\tPINMAP - pin configuration in one of two forms\n",
    "\t=filename (see documentation for config file format)\n",
    "\t    :pincfg[:pincfg] (pin configuration entries as in config file)\n",
};

// After the built-in cables' lines.
const char* const helpBlock1Tail[] = {
    "    -az  \"laZyBlaster\" (turn LPT outputs to hi-Z after programming)\n",
    "    -ai# Inactive reset time, #=time_in_mS\n",
    "    -ap  chip powered from free LPT data outputs\n",
    " -k wait for pressing an adapter's key before starting the programming\n",
    "    (-K for waiting before programming files reading)\n",
    "    see PINMAP description\n",
    " -p<device>\n",
    "    <device> -- /dev/ppiN - ppi special file\n",
};

const char* const helpBlock2[] = {
    " -o#[Hz|kHz|MHz] define MCU oscillator frequency\n",
    " -os#[Hz|kHz|MHz] define SPI SCK frequency\n",
    "\tdefault units is kHz, default frequency is 800kHz\n",
    " -o0[,#] mervex must generate XTAL, #=additional divider for SCK\n",
    " -1, -2, -3, -4, -5\n",
    "\tset programming delays 1.5, 2, 3, 4, 5 times longer\n",
    "\t(for low voltage programming)\n",
    " -!\tforce operations even chip not detected\n",
    " -n#\tUse last 2 bytes of code memory for erase counter\n",
    "\t# force counter to specified value\n",
    " -c,-d\tmark Code and Data file names\n",
    "\tuse :ihex: and :bin: file prefix as file format specifier\n",
    "\t(ihex by default)\n",
    " -e[-]\tErase\n",
    "\t'-' enable read/erase/writeback sequence for EEPROM\n",
    " -b (-b{c|d})\tBlank check (code or data only)\n",
    " -r[+]\tRead from chip to files\n",
    "\t'+' save large FF blocks\n",
    " -w[+][p][e][s]\tWrite from files to chip\n",
    "\t'+' write FF to EEPROM locations not mentioned in '-d' file\n",
    "\t'p' use polling\n",
    "\t'e' write EEPROM by pages, skipping pages the chip already holds\n",
    "\t's' compare first: no erase and no write when the chip holds it all\n",
    " -v[+]\tVerify chip with files\n",
    "\t'+' enable testing of locations not mentioned in files\n",
    " -l[+]#\tLock chip to level #=1 (LB1 programmed) or 2 (LB1 and LB2 programmed)\n",
    "\t'+' write lock bits before fuses\n",
    " -f<list> -  fuses to be changed\n",
    "\t<list> syntax:\n",
    "\t    fusename=val,bytename=val,...\n",
    "\t    for single-bit fuses val can be ON (0) or OFF (1)\n",
    "\t    unlisted fuses not changed\n",
    "\ttype 'mervex +name -h'\n",
    "\tfor list of fuse names for chip 'name'\n",
};

// Switches added since the help above was fixed; they go after it.
const char* const helpBlockAdded[] = {
    " -c,-d\t:elf: prefix for avr-gcc's ELF files (known without it too):\n",
    "\tflash and EEPROM contents, checked against the chip's signature\n",
    " -u[f][l]\tUse fuses (f) and lock bits (l) of the ELF file (both by default)\n",
    "\twritten with -w like -f and -l, which take precedence; verified with -v\n",
    " -r alone (no files)\tidentify the chip: signature, name, fuses, lock state;\n",
    "\tnothing is changed, and +name may be left out\n",
    " --version\tprint the version and the system it was built for\n",
    " --help\tthis help, as -h\n",
    " --wiring\tdraw the wiring of the cable that -a names: each DB-25 pin with its\n",
    "\tsignal and the ISP header pins it goes to; nothing else is done\n",
    " --check\tfind out why a chip does not answer: port, cable, target, clock;\n",
    "\tnothing is written, and +name may be left out\n",
};

template <size_t N>
void printLines(const char* const (&lines)[N]) {
    for (const char* line : lines) message(LevelInfo, "%s", line);
}

}  // namespace

void printBanner() { message(LevelInfo, "%s", BannerText); }

void printVersion() { message(LevelInfo, "mervex %s (built for %s)\n", MERVEX_VERSION, MERVEX_SYSTEM); }

void printHelp() {
    message(LevelInfo, "%s\n", AboutText);
    printLines(helpBlock1);
    for (size_t i = 0; i < BuiltinCableCount; ++i) {
        const BuiltinCable& cable = builtinCables[i];
        if (cable.help != nullptr) message(LevelInfo, "    -a%c  %s\n", cable.letter, cable.help);
    }
    printLines(helpBlock1Tail);
    printLines(helpBlock2);
    printLines(helpBlockAdded);
    printDeviceList();
    message(LevelInfo, "\n\n");
}

}  // namespace mervex
