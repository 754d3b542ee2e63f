#pragma once
// Running mervex against virtual target files in a private temporary
// directory: the target's state before and after, and the files the run reads
// and writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "image/ImageFile.h"
#include "image/ImageWriter.h"
#include "image/MemoryImage.h"
#include "sim/TargetSettings.h"
#include "sim/VirtualTarget.h"
#include "sim/VirtualTargetFile.h"
#include "support/Files.h"
#include "support/RunProgram.h"

namespace mervex::test {

namespace fs = std::filesystem;

// The output with the run's total time, which varies, as "Total time T".
inline std::string withoutTimes(std::string text) {
    const std::string label = "Total time ";
    for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
        const size_t end = text.find('\n', at);
        text.replace(at + label.size(), (end == std::string::npos ? text.size() : end) - at - label.size(), "T");
    }
    return text;
}

// A fixture with a fresh directory, a target file in it and helpers to run mervex.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(MERVEX_TEST_TMP) /
              ("e2e-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    // A new erased target of the chip with short busy times (polling is fast).
    static std::unique_ptr<VirtualTarget> chip(const std::string& name) {
        std::unique_ptr<VirtualTarget> target = newVirtualTarget(name);
        target->busy = TargetBusyTimes{50, 50, 100, 50};
        return target;
    }

    // chip(name) with settings as mervex-vchip takes them ("clock=32k cable=stk200").
    static std::unique_ptr<VirtualTarget> chipWith(const std::string& name, const std::string& settings) {
        std::unique_ptr<VirtualTarget> target = chip(name);
        std::istringstream list(settings);
        for (std::string setting; list >> setting;) {
            const size_t equals = setting.find('=');
            applyTargetSetting(*target, setting.substr(0, equals), setting.substr(equals + 1));
        }
        return target;
    }

    // Store the target as the run's target file.
    void store(const VirtualTarget& target) { saveVirtualTarget(target, targetPath()); }

    // The target as the last run left it.
    std::unique_ptr<VirtualTarget> stored() { return loadVirtualTarget(targetPath()); }

    std::string targetPath() const { return (dir / "board.vchip").string(); }
    std::string port() const { return "-p" + targetPath(); }

    // Run mervex with the port of the target file and no progress bars (whileStopped: as for runProgram).
    Outcome run(std::vector<std::string> args, const RunOptions& options = {},
                const std::function<void()>& whileStopped = {}) {
        args.insert(args.begin(), {"-ip-", port()});
        return runProgram(dir, args, options, whileStopped);
    }

    // Write an Intel HEX file of the given blocks (address, bytes) into the directory.
    std::string hexFile(const std::string& name, const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& blocks) {
        MemoryImage image;
        for (const auto& b : blocks)
            image.append(std::make_unique<MemoryBlock>(b.first, uint32_t(b.second.size()), b.second.data()));
        ImageFile file;
        file.path = (dir / name).string();
        writeImageFile(image, file, true);
        return file.path;
    }

    void textFile(const std::string& name, const std::string& text) { writeFile(dir / name, text); }

    static std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
        std::vector<uint8_t> bytes(n);
        uint32_t x = seed;
        for (uint8_t& b : bytes) {
            x = x * 1103515245u + 12345u;
            b = uint8_t(x >> 16);
            if (b == 0xFF) b = 0x5A;
        }
        return bytes;
    }

    fs::path dir;
};

}  // namespace mervex::test
