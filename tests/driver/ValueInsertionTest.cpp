#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "chip/DeviceTable.h"
#include "console/Errors.h"
#include "driver/ValueInsertion.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;
using test::CaptureConsole;

class ValueInsertionTest : public ::testing::Test {
protected:
    void SetUp() override { useChip("mega8"); }
    void TearDown() override {
        resetChipSelection();
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    void useChip(const char* name) {
        resetChipSelection();
        chipSelection().requestedName = name;
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
            status = error.status();
            lastWhat_ = error.what();
        }
        return {capture.out(), status};
    }

    std::string file(const std::string& name, const std::string& contents) {
        if (dir_.empty()) {
            dir_ = fs::path(MERVEX_TEST_TMP) / ("insert-" + std::to_string(::getpid()));
            fs::create_directories(dir_);
        }
        const fs::path path = dir_ / name;
        std::ofstream(path) << contents;
        return path.string();
    }

    static std::string contents(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Request request;
    RunState state;
    std::string lastWhat_;
    fs::path dir_;
};

TEST_F(ValueInsertionTest, OsccalIntoLdiAndPlainBytes) {
    addBlock(state.codeImage, 0x10, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xE0});
    state.session.fuses.calibration[0] = 0xA7;
    request.osccalInsert.target = CodeLdi;
    request.osccalInsert.address = 0x1E;
    auto [out, status] = attempt([&] { insertOsccal(request, state); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "OSCCAL0 inserted to CODE memory at 0x1E as part of LDI command\n");
    EXPECT_EQ(state.codeImage.first()->byteAt(0x1E), 0xF7);
    EXPECT_EQ(state.codeImage.first()->byteAt(0x1F), 0xEA);

    addBlock(state.dataImage, 0x1F0, std::vector<uint8_t>(16, 0));
    state.session.fuses.calibration[2] = 0xFE;
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

TEST_F(ValueInsertionTest, SerialNumberAdvancesOnlyAfterAWriteRun) {
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
    updateSerialFile(request, state);
    EXPECT_EQ(contents(sn), "4661\n");
    EXPECT_FALSE(state.serialFile.isOpen());

    // Verify only: the number is used but not advanced.
    request.write = 0;
    request.verify = true;
    attempt([&] { insertSerialNumber(request, state); });
    updateSerialFile(request, state);
    EXPECT_EQ(contents(sn), "4661\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ValueInsertionTest, UnreadableSerialFileSaysWhy) {
    addBlock(state.codeImage, 0x100, {0, 0, 0, 0});
    struct Case {
        const char* contents;
        int status;
        const char* why;
    };
    const Case cases[] = {
        {"four\n", 50, "no number in file"},
        {"", 50, "no number in file"},
        {"-5\n", 50, "no number in file"},
        {"99999999999\n", 50, "number too large"},
        {"  4294967295 junk", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string sn = file("sn.txt", c.contents);
        request.serialInsert = {CodeByte, 4, sn.c_str(), 0x100};
        lastWhat_.clear();
        auto [out, status] = attempt([&] { insertSerialNumber(request, state); });
        EXPECT_EQ(status, c.status) << c.contents;
        EXPECT_EQ(lastWhat_, c.why) << c.contents;
        if (status != 0) {
            EXPECT_EQ(out, "ERROR:  Can't read " + sn + "\n");
        }
        state.serialFile.close();
    }
    // A file that cannot be opened is a usage error with the system's text.
    request.serialInsert.file = "/nonexistent/sn.txt";
    auto [out, status] = attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EQ(status, 70);
    EXPECT_EQ(out, "ERROR:  Can't open file '/nonexistent/sn.txt'\n");
}

// A write that fails (here: the file size limit) keeps the old number in place.
TEST_F(ValueInsertionTest, FailedUpdateKeepsTheNumber) {
    addBlock(state.codeImage, 0x100, {0, 0, 0, 0});
    const std::string sn = file("sn.txt", "4660\n");
    request.serialInsert = {CodeByte, 2, sn.c_str(), 0x100};
    request.write = WriteRequested;
    attempt([&] { insertSerialNumber(request, state); });
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 0;
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                updateSerialFile(request, state);
            } catch (const app_error& error) {
                std::_Exit(error.status());
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(50), "");
    EXPECT_EQ(contents(sn), "4660\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace mervex
