#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "chip/ChipDescriptor.h"
#include "console/Errors.h"
#include "driver/ValueInsertion.h"
#include "support/CaptureConsole.h"
#include "support/FakeChip.h"
#include "support/Files.h"
#include "support/ManualClock.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;
using test::CaptureConsole;
using test::readFile;

class ValueInsertionTest : public ::testing::Test {
protected:
    void SetUp() override { useChip("mega8"); }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    void useChip(const char* name) { state.session = ChipSession(name, ChipOptions()); }

    // A chip with these calibration bytes behind the session, read as the run reads them.
    void readCalibration(const std::vector<uint8_t>& bytes) {
        auto chip = std::make_unique<test::FakeChip>(clock, state.session.selectedChip().signature, 0, 0, 0);
        std::copy(bytes.begin(), bytes.end(), chip->calibration);
        state.session.attachProgrammer(std::move(chip));
        state.session.readCalibration();
    }

    void addBlock(MemoryImage& image, uint32_t address, std::vector<uint8_t> bytes) {
        image.append(std::make_unique<MemoryBlock>(address, uint32_t(bytes.size()), bytes.data()));
    }

    // Runs f and returns its printed output and status (0 when it returned).
    template <typename F>
    std::pair<std::string, int> attempt(F f) {
        CaptureConsole capture(false, false, LevelDebug);
        int status = 0;
        try {
            f();
        } catch (const app_error& error) {
            reportFailure(error);
            status = error.status();
        }
        return {capture.out(), status};
    }

    std::string file(const std::string& name, const std::string& contents) {
        if (dir_.empty()) {
            dir_ = fs::path(MERVEX_TEST_TMP) / ("insert-" + std::to_string(::getpid()));
            fs::create_directories(dir_);
        }
        const fs::path path = dir_ / name;
        test::writeFile(path, contents);
        return path.string();
    }

    ManualClock clock;
    Request request;
    RunState state;
    fs::path dir_;
};

TEST_F(ValueInsertionTest, OsccalIntoLdiAndPlainBytes) {
    addBlock(state.codeImage, 0x10, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xE0});
    readCalibration({0xA7, 0x00, 0xFE, 0x00});
    request.osccalInsert.target = CodeLdi;
    request.osccalInsert.address = 0x1E;
    auto [out, status] = attempt([&] { insertOsccal(request, state); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "OSCCAL0 inserted to CODE memory at 0x1E as part of LDI command\n");
    EXPECT_EQ(state.codeImage.first()->byteAt(0x1E), 0xF7);
    EXPECT_EQ(state.codeImage.first()->byteAt(0x1F), 0xEA);

    addBlock(state.dataImage, 0x1F0, std::vector<uint8_t>(16, 0));
    request.osccalInsert = {DataByte, 2, 3, 0x1FF};
    std::tie(out, status) = attempt([&] { insertOsccal(request, state); });
    EXPECT_EQ(out, "Warning: corrected osccal value limited by 0xFF\nOSCCAL2+3 inserted to DATA memory at 0x1FF \n");
    EXPECT_EQ(state.dataImage.first()->byteAt(0x1FF), 0xFF);
}

TEST_F(ValueInsertionTest, RefusedRequests) {
    struct Case {
        const char* chip;
        InsertTarget target;
        uint32_t address;
        int32_t length;
        bool eraseCounter;
        int status;
    };
    // EEPROM of 2048 bytes (mega64), flash of 8192 (mega8); LDI needs two bytes per value byte.
    const Case cases[] = {
        {"mega64", DataByte, 0x7FE, 4, false, 70}, {"mega64", DataByte, 0x7FC, 4, false, 0},
        {"mega8", CodeLdi, 0x1FFC, 2, false, 0},   {"mega8", CodeLdi, 0x1FFD, 2, false, 70},
        {"mega8", CodeLdi, 0x1FFC, 2, true, 70},   {"mega8", CodeByte, 0x1FFD, 2, true, 70},
        {"mega8", CodeByte, 0x1FFC, 2, true, 0},
    };
    for (const Case& c : cases) {
        useChip(c.chip);
        state.eraseCounter = c.eraseCounter;
        auto [out, status] = attempt([&] { checkDestination(state, "SERNO", c.target, c.address, c.length); });
        EXPECT_EQ(status, c.status) << c.chip << " " << c.address;
        EXPECT_EQ(out, status ? "ERROR:  SERNO destination address too large\n" : "");
    }
    useChip("tiny12");  // one calibration byte
    request.osccalInsert = {DataByte, 1, -5, 0x1F};
    auto [out, status] = attempt([&] { insertOsccal(request, state); });
    EXPECT_EQ(status, 70);
    EXPECT_EQ(out, "ERROR:  OSCCAL1 not exist in selected chip\n");
}

TEST_F(ValueInsertionTest, MissingRecords) {
    const uint8_t bytes[3] = {1, 2, 3};
    auto [out, status] = attempt([&] { insertIntoImage(state, "BYTES", CodeByte, 0x100, bytes, 3); });
    EXPECT_EQ(status, 70);
    EXPECT_EQ(out, "ERROR:  No hex records for FLASH, can't insert BYTES\n");
    addBlock(state.codeImage, 0x00, std::vector<uint8_t>(0x10, 0xEE));
    addBlock(state.codeImage, 0x10, std::vector<uint8_t>(0x10, 0xEE));
    addBlock(state.codeImage, 0x30, std::vector<uint8_t>(0x10, 0xEE));
    // Across two adjacent blocks is fine; into the gap between them is not.
    std::tie(out, status) = attempt([&] { insertIntoImage(state, "BYTES", CodeByte, 0x0F, bytes, 2); });
    EXPECT_EQ(status, 0);
    std::tie(out, status) = attempt([&] { insertIntoImage(state, "BYTES", CodeByte, 0x1F, bytes, 2); });
    EXPECT_EQ(status, 50);
    EXPECT_EQ(out, "ERROR:  HEX record for BYTES not found\n");
    // An LDI word split over two blocks is not a record either.
    std::tie(out, status) = attempt([&] { insertIntoImage(state, "OSCCAL", CodeLdi, 0x0F, bytes, 1); });
    EXPECT_EQ(status, 50);
    // Addresses past 4 GiB wrap to nothing, not to address 0.
    std::tie(out, status) = attempt([&] { insertIntoImage(state, "BYTES", CodeByte, 0xFFFFFFFF, bytes, 2); });
    EXPECT_EQ(status, 50);
}

TEST_F(ValueInsertionTest, SerialNumberIsTakenOnlyByAWriteRun) {
    addBlock(state.codeImage, 0x100, {0, 0, 0, 0});
    const std::string sn = file("sn.txt", "4660\n");
    request.serialInsert = {CodeByte, 2, sn.c_str(), 0x100};
    request.write = WriteRequested;
    auto [out, status] = attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Chip serial number is 4660\n    inserted as 2-byte value to CODE memory at 0x100\n");
    EXPECT_EQ(state.codeImage.first()->byteAt(0x100), 0x34);
    EXPECT_EQ(state.codeImage.first()->byteAt(0x101), 0x12);
    EXPECT_EQ(state.codeImage.first()->byteAt(0x102), 0x00);
    // Taken at once, so a run sharing the file gets the next number.
    EXPECT_EQ(readFile(sn), "4661\n");
    updateSerialFile(state);
    EXPECT_EQ(readFile(sn), "4661\n");

    // Verify only: the number is used but not taken.
    request.write = 0;
    request.verify = true;
    attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EQ(state.serialFile.number(), 4661u);
    state.serialFile.giveBack();
    EXPECT_EQ(readFile(sn), "4661\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// Whatever is refused leaves the file as it was.
TEST_F(ValueInsertionTest, RefusedSerialNumbersSayWhy) {
    addBlock(state.codeImage, 0x100, {0, 0, 0, 0});
    struct Case {
        const char* contents;
        int32_t length;
        bool write;
        int status;
        std::string error;  // after "ERROR:  ", with {} for the file's path
        const char* why;    // the second line, the failure's text
        const char* next;   // the file afterwards, when the number was taken
    };
    const Case cases[] = {
        {"four\n", 4, false, 50, "Can't read {}\n", "no number in file", nullptr},
        {"", 4, true, 50, "Can't read {}\n", "no number in file", nullptr},
        {"-5\n", 4, true, 50, "Can't read {}\n", "no number in file", nullptr},
        {"99999999999\n", 4, true, 50, "Can't read {}\n", "number too large", nullptr},
        {"  4294967295 junk", 4, false, 50, "Can't read {}\n", "not a plain decimal number", nullptr},
        {"1.5e3\n", 4, true, 50, "Can't read {}\n", "not a plain decimal number", nullptr},
        {"12\n13\n", 4, true, 50, "Can't read {}\n", "not a plain decimal number", nullptr},
        {"12                                                                                                    "
         "                                                                                                    "
         "                                                                                                    x",
         4, true, 50, "Can't read {}\n", "not a plain decimal number", nullptr},
        {" +4660\r\n", 4, true, 0, "", "", "4661\n"},
        {"4294967294\n", 4, true, 0, "", "", "4294967295\n"},
        {"4294967295\n", 4, false, 0, "", "", nullptr},
        {"4294967295\n", 4, true, 50,
         "Serial number 4294967295 from {} is the last: the next one does not fit in 32 bits\n", "", nullptr},
        {"65535\n", 2, true, 0, "", "", "65536\n"},
        {"65536\n", 2, false, 50, "Serial number 65536 from {} does not fit in 2 bytes\n", "", nullptr},
        {"256\n", 1, true, 50, "Serial number 256 from {} does not fit in 1 byte\n", "", nullptr},
        {"16777216\n", 3, true, 50, "Serial number 16777216 from {} does not fit in 3 bytes\n", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.contents) + " in " + std::to_string(c.length) + " bytes");
        const std::string sn = file("sn.txt", c.contents);
        request.serialInsert = {CodeByte, c.length, sn.c_str(), 0x100};
        request.write = c.write ? WriteRequested : 0;
        auto [out, status] = attempt([&] { insertSerialNumber(request, state); });
        EXPECT_EQ(status, c.status);
        if (status != 0) {
            std::string error = c.error;
            error.replace(error.find("{}"), 2, sn);
            if (*c.why != '\0') error += std::string("ERROR:  ") + c.why + "\n";
            EXPECT_EQ(out, "ERROR:  " + error);
        }
        EXPECT_EQ(readFile(sn), c.next != nullptr ? c.next : c.contents);
        updateSerialFile(state);
    }
    // A number with no place in the image is not taken.
    const std::string sn = file("sn.txt", "77\n");
    request.serialInsert = {CodeByte, 2, sn.c_str(), 0x200};
    request.write = WriteRequested;
    auto [gapOut, gapStatus] = attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EQ(gapStatus, 50);
    EXPECT_EQ(gapOut, "ERROR:  HEX record for SERNO not found\n");
    state.serialFile.giveBack();
    EXPECT_EQ(readFile(sn), "77\n");
    // A file that cannot be opened is a system failure with the system's text.
    request.serialInsert.file = "/nonexistent/sn.txt";
    auto [out, status] = attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EQ(status, 70);
    EXPECT_EQ(out, "ERROR:  Can't open file '/nonexistent/sn.txt'\nERROR:  No such file or directory\n");
}

// A file that cannot be advanced (here: the file size limit) refuses the number
// and keeps it as the next one.
TEST_F(ValueInsertionTest, SerialFileThatCannotBeAdvanced) {
    addBlock(state.codeImage, 0x100, {0, 0, 0, 0});
    const std::string sn = file("sn.txt", "4660\n");
    request.serialInsert = {CodeByte, 2, sn.c_str(), 0x100};
    request.write = WriteRequested;
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 0;
            setrlimit(RLIMIT_FSIZE, &limit);
            // The output goes through a pipe, which the limit does not cover.
            int fds[2];
            if (::pipe(fds) != 0) std::_Exit(2);
            std::FILE* out = ::fdopen(fds[1], "w");
            console().redirect(out, out, false, false);
            int status = 0;
            try {
                insertSerialNumber(request, state);
            } catch (const app_error& error) {
                reportFailure(error);
                status = error.status();
            }
            std::fflush(out);
            char text[256] = {};
            const ssize_t got = ::read(fds[0], text, sizeof text - 1);
            const std::string expected =
                "ERROR:  Can't write " + sn + "\nnext serial number is 4660\nERROR:  " + std::strerror(EFBIG) + "\n";
            std::_Exit(got > 0 && text == expected ? status : 1);
        },
        ::testing::ExitedWithCode(50), "");
    EXPECT_EQ(readFile(sn), "4660\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// Two runs A and B share the file. A number goes back only while the file
// still holds it + 1; one taken by a later run is never given out twice.
TEST_F(ValueInsertionTest, FailedRunGivesItsNumberBackOnlyWhenNoneWasTakenSince) {
    struct Case {
        const char* steps;  // per step: the run (A or B), then t(ake), k(eep) or b(ack)
        const char* numbers;  // the numbers A and B took
        const char* after;    // the file at the end
        const char* warning;  // printed by a give-back, {} for the file's path
    };
    const Case cases[] = {
        {"At Ab", "1000 -", "1000\n", ""},
        {"At Ak Ab", "1000 -", "1001\n", ""},
        {"At Bt Bb Ab", "1000 1001", "1000\n", ""},
        {"At Bt Bk Ab", "1000 1001", "1002\n", "Warning: Serial number 1000 stays unused: {} no longer holds 1001\n"},
        {"At Bt Ab Bb", "1000 1001", "1001\n", "Warning: Serial number 1000 stays unused: {} no longer holds 1001\n"},
        {"At Ab Bt Bk", "1000 1000", "1001\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        const std::string sn = file("sn.txt", "1000\n");
        SerialNumberFile runs[2];
        std::string taken[2] = {"-", "-"};
        std::string printed;
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            SerialNumberFile& run = runs[step[0] - 'A'];
            auto [out, status] = attempt([&] {
                if (step[1] == 't') {
                    run.open(sn.c_str(), 4);
                    run.take();
                }
                if (step[1] == 'k') run.keep();
                if (step[1] == 'b') run.giveBack();
            });
            ASSERT_EQ(status, 0) << out;
            if (step[1] == 't') taken[step[0] - 'A'] = std::to_string(run.number());
            printed += out;
        }
        EXPECT_EQ(taken[0] + " " + taken[1], c.numbers);
        EXPECT_EQ(readFile(sn), c.after);
        std::string warning = c.warning;
        if (!warning.empty()) warning.replace(warning.find("{}"), 2, sn);
        EXPECT_EQ(printed, warning);
    }
}

}  // namespace
}  // namespace mervex
