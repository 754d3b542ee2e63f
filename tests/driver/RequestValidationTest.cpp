#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "console/Errors.h"
#include "driver/CommandLine.h"
#include "driver/RequestValidation.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

using test::CaptureConsole;

// Parses the arguments and validates the request; returns "ok" or the error
// printed by validation, and the status.
std::string validate(std::vector<const char*> args, int* status = nullptr) {
    args.insert(args.begin(), "mervex");
    Request request;
    CaptureConsole capture;
    std::string afterParse;
    int result = 0;
    try {
        parseCommandLine(int(args.size()), args.data(), request, {});
        ChipSession session(request.chipName, ChipOptions());
        afterParse = capture.out();
        validateRequest(request, session);
    } catch (const app_error& error) {
        reportFailure(error);
        result = error.status();
    }
    if (status != nullptr) *status = result;
    if (result == 0) return "ok";
    return capture.out().substr(afterParse.size());
}

TEST(RequestValidation, RulesInOrder) {
    struct Case {
        std::vector<const char*> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"+mega8", "-w"}, "ERROR:  Can't write/verify without source files or fuse list\n"},
        {{"+mega8", "-w", "-f"}, "ERROR:  Can't write/verify without source files or fuse list\n"},
        {{"+mega8", "-v", "-fCKSEL=1"}, "ok"},
        {{"+mega8", "-r", "c.hex", "-fCKSEL=1"}, "ERROR:  Nothing to do with fuses, -w or -v must be specified\n"},
        {{"+mega8", "-r", "c.hex", "d.hex"}, "ok"},
        {{"+mega8", "-r", "-cx.hex", "-dx.hex"}, "ERROR:  The same file selected for both code and data\n"},
        {{"+mega8", "-w", ":bin:x.hex", "x.hex"}, "ERROR:  The same file selected for both code and data\n"},
        {{"+mega8", "c.hex"}, "ERROR:  Nothing to do with files, -r or -w or -v must be specified\n"},
        {{"-r", "c.hex"}, "ERROR:  Chip name must be specified\n"},
        {{"+mega8", "-e", "-b"}, "ok"},
        {{"+mega8", "-r", "-w", "c.hex"}, "ERROR:  Can't both read and write or verify\n"},
        // -r alone identifies the chip; anything more still needs files.
        {{"+mega8", "-r"}, "ok"},
        {{"-r"}, "ok"},
        {{"+mega8", "-r", "-e"}, "ERROR:  Can't read without target files\n"},
        // --check looks, with or without a chip name, and changes nothing.
        {{"--check"}, "ok"},
        {{"--check", "+mega8", "-as", "-o8MHz"}, "ok"},
        {{"--check", "-e"}, "ERROR:  --check changes nothing on the chip: it takes no -e, -b, -r, -w, -v, -f, -l, "
                            "-n, -u, -C, -D or files\n"},
        {{"+mega8", "--check", "-w", "c.hex"}, "ERROR:  --check changes nothing on the chip: it takes no -e, -b, -r, "
                                              "-w, -v, -f, -l, -n, -u, -C, -D or files\n"},
        {{"+mega8", "-r", "-l1"}, "ERROR:  Can't read without target files\n"},
        {{"-r", "-b"}, "ERROR:  Chip name must be specified\n"},
        {{"+mega8", "-r", "c.hex", "-fFOO=1"},
         "ERROR:  Invalid fuse name 'FOO'\nHint: mega8 has the fuses SUT, BODEN, WDTON, CKOPT, BOOTSZ, BLB1, BLB0, "
         "CKSEL, BOOTRST, EESAVE, BODLEVEL, RSTDISBL (closest first; 'mervex +mega8 -h' describes them)\n"
         "Hint: whole fuse bytes are named with a leading underscore: _LOW, _HIGH, _LOCK\n"},
        {{"+mega8", "-e", "-f"}, "ok"},
        // Only the port query and -r alone go without a chip, and then no fuse list is parsed.
        {{"-p?"}, "ok"},
        {{"-p?", "-w", "-fCKSEL=1"}, "ERROR:  Chip name must be specified\n"},
        {{"-p?", "-f"}, "ERROR:  Chip name must be specified\n"},
        // The ELF file switches.
        {{"+mega8", "-u", "-e"}, "ERROR:  Nothing to do with -u, -w or -v must be specified\n"},
        {{"+mega8", "-ul", "-r", "c.hex"}, "ERROR:  Nothing to do with -u, -w or -v must be specified\n"},
        {{"+mega8", "-uf", "-v", "c.elf"}, "ok"},
        {{"+mega8", "-r", ":elf:c.elf"}, "ERROR:  Can't read into an ELF file, use :ihex: or :bin:\n"},
        {{"+mega8", "-r", "c.hex", "-d:elf:d.elf"}, "ERROR:  Can't read into an ELF file, use :ihex: or :bin:\n"},
        {{"+mega8", "-w", ":elf:c.elf"}, "ok"},
    };
    for (const Case& c : cases) {
        int status = 0;
        const std::string got = validate(c.args, &status);
        EXPECT_EQ(got, c.expected) << c.args.back();
        EXPECT_EQ(status, got == "ok" ? 0 : 70) << c.args.back();
    }
}

}  // namespace
}  // namespace mervex
