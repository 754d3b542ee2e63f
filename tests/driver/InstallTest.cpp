// The installed tree and the Debian package: the files land where users and
// their shells look for them, and the installed programs work from there,
// including pin maps named by their bare name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/RunProgram.h"

namespace mervex {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::runShell;
using test::shellQuote;
using test::TempDir;

#if defined(MERVEX_BUILD_DIR) && defined(MERVEX_CMAKE_COMMAND)
constexpr bool CanInstall = true;
const char* const BuildDir = MERVEX_BUILD_DIR;
const char* const CmakeCommand = MERVEX_CMAKE_COMMAND;
#else
constexpr bool CanInstall = false;
const char* const BuildDir = "";
const char* const CmakeCommand = "cmake";
#endif

#ifdef MERVEX_VCHIP_BINARY
constexpr bool HaveVchip = true;
#else
constexpr bool HaveVchip = false;
#endif

bool isExecutable(const fs::path& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR) != 0;
}

std::vector<std::string> shippedPinMaps() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(MERVEX_SOURCE_DIR) / "examples/pinmaps")) {
        if (entry.path().extension() == ".cfg") names.push_back(entry.path().filename().string());
    }
    return names;
}

// A copy of the build installed under <temporary directory>/usr.
class Install : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CanInstall) GTEST_SKIP() << "the build does not say where it is";
        ASSERT_FALSE(root_.path().empty());
        prefix_ = root_.path() / "usr";
        work_ = root_.path() / "work";
        fs::create_directory(work_);
        const test::Outcome install = runShell(shellQuote(CmakeCommand) + " --install " + shellQuote(BuildDir) +
                                                   " --prefix " + shellQuote(prefix_.string()));
        ASSERT_EQ(install.status, 0) << install.out;
    }

    // Run an installed program in the work directory, with no configuration path.
    test::Outcome run(const std::string& program, const std::string& arguments) const {
        return runShell("cd " + shellQuote(work_.string()) + " && env -u MERVEX_CONFIG_PATH " +
                        shellQuote((prefix_ / "bin" / program).string()) + " " + arguments);
    }

    TempDir root_{"install"};
    fs::path prefix_;
    fs::path work_;
};

TEST_F(Install, PutsEveryFileInItsPlace) {
    std::vector<fs::path> expected = {
        "share/man/man1/mervex.1.gz",
        "share/doc/mervex/copyright",
        "share/doc/mervex/changelog.gz",
        "share/bash-completion/completions/mervex",
        "share/zsh/vendor-completions/_mervex",
        "share/fish/vendor_completions.d/mervex.fish",
        "lib/udev/rules.d/60-mervex-parport.rules",
    };
    EXPECT_TRUE(isExecutable(prefix_ / "bin/mervex"));
    if (HaveVchip) {
        EXPECT_TRUE(isExecutable(prefix_ / "bin/mervex-vchip"));
        expected.push_back("share/man/man1/mervex-vchip.1.gz");
        expected.push_back("share/bash-completion/completions/mervex-vchip");
    }
    const std::vector<std::string> pinMaps = shippedPinMaps();
    EXPECT_GE(pinMaps.size(), 1u);
    for (const std::string& name : pinMaps) expected.push_back("share/mervex/" + name);
    for (const fs::path& file : expected) {
        EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
    }
    const std::string rule = readFile(prefix_ / "lib/udev/rules.d/60-mervex-parport.rules");
    EXPECT_NE(rule.find("GROUP=\"lp\""), std::string::npos) << rule;
    EXPECT_NE(rule.find("MODE=\"0660\""), std::string::npos) << rule;
}

TEST_F(Install, InstalledProgramPrintsTheChipPage) {
    const test::Outcome page = run("mervex", "+mega8 -h");
    EXPECT_EQ(page.status, 0) << page.out;
    EXPECT_NE(page.out.find("mega8|mega8A: signature 1E9307, Flash 8KB, EEPROM 512B"), std::string::npos)
        << page.out;
}

// No copy of the pin maps anywhere but the installed data directory: the run
// finds each there by its name, with or without ".cfg", builds the adapter from
// it and only then fails at the missing port.
TEST_F(Install, InstalledPinMapsAreFoundByTheirBareNames) {
    const fs::path port = work_ / "no-such-dir/port";
    const test::Outcome result =
        run("mervex", "+mega8 -it -am=vuder-leds-key.cfg -p" + shellQuote(port.string()) + " -r out.hex");
    EXPECT_NE(result.out.find("Adapter 'VUDER with LEDs and key'"), std::string::npos) << result.out;
    const fs::path chip = work_ / "no-such-dir/gpiochip0";
    for (const std::string& file : shippedPinMaps()) {
        const std::string name = fs::path(file).stem().string();
        // A map of GPIO lines goes with a GPIO chip.
        const bool gpio = name == "rpi";
        const fs::path device = gpio ? chip : port;
        const test::Outcome found =
            run("mervex", "+mega8 -it -am=" + name + " -p" + shellQuote(device.string()) + " -r out.hex");
        EXPECT_EQ(found.status, 70) << found.out;
        const fs::path expectedMap = prefix_ / "bin/../share/mervex" / file;
        EXPECT_NE(found.out.find("Loading config file '" + expectedMap.string() + "'"), std::string::npos)
            << found.out;
        EXPECT_NE(found.out.find((gpio ? "Can't open GPIO chip `" : "Can't open parport device `") + device.string() +
                                 "'"),
                  std::string::npos)
            << found.out;
    }

    const test::Outcome missing = run("mervex", "+mega8 -am=no-such-map.cfg -p/dev/null -r out.hex");
    EXPECT_EQ(missing.status, 70);
    EXPECT_NE(missing.out.find("File 'no-such-map.cfg' not found"), std::string::npos) << missing.out;
}

TEST_F(Install, InstalledProgramWritesAVirtualTargetThroughAnInstalledPinMap) {
    if (!HaveVchip) GTEST_SKIP() << "mervex-vchip is not built";
    fs::copy_file(fs::path(MERVEX_SOURCE_DIR) / "examples/blink-mega8/blink.hex", work_ / "code.hex");
    const test::Outcome made = run("mervex-vchip", "new mega8 board.vchip");
    ASSERT_EQ(made.status, 0) << made.out;

    const test::Outcome written = run("mervex", "+mega8 -am=vuder.cfg -p./board.vchip -e -w -v code.hex");
    EXPECT_EQ(written.status, 0) << written.out;
    EXPECT_NE(written.out.find("All OK"), std::string::npos) << written.out;

    // The chip keeps the image: a separate run on the default wiring verifies it.
    const test::Outcome verified = run("mervex", "+mega8 -p./board.vchip -v code.hex");
    EXPECT_EQ(verified.status, 0) << verified.out;
}

// The package as users get it: its control data, its file list, and the
// programs unpacked from it.
TEST(DebianPackage, HoldsTheProgramsAndRunsUnpacked) {
#ifndef MERVEX_CPACK_COMMAND
    GTEST_SKIP() << "the build does not say where cpack is";
#else
    if (!CanInstall || !test::haveProgram("dpkg-deb")) GTEST_SKIP() << "no dpkg-deb";
    TempDir root("deb");
    ASSERT_FALSE(root.path().empty());
    const test::Outcome packed =
        runShell(shellQuote(MERVEX_CPACK_COMMAND) + " -G DEB --config " +
                 shellQuote(std::string(BuildDir) + "/CPackConfig.cmake") + " -B " + shellQuote(root.str()));
    ASSERT_EQ(packed.status, 0) << packed.out;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(root.path())) {
        if (entry.path().extension() == ".deb") deb = entry.path();
    }
    ASSERT_FALSE(deb.empty()) << packed.out;

    const test::Outcome control =
        runShell("dpkg-deb -f " + shellQuote(deb.string()) + " Package Version Depends");
    ASSERT_EQ(control.status, 0) << control.out;
    EXPECT_NE(control.out.find("Package: mervex"), std::string::npos) << control.out;
    // One version number: the package's, the program's and the man pages'.
    EXPECT_NE(control.out.find(std::string("Version: ") + MERVEX_VERSION + "\n"), std::string::npos)
        << control.out;
    for (const char* library : {"libc6", "libstdc++6", "libgcc-s1"}) {
        EXPECT_NE(control.out.find(library), std::string::npos) << control.out;
    }

    const test::Outcome listing = runShell("dpkg-deb -c " + shellQuote(deb.string()));
    ASSERT_EQ(listing.status, 0) << listing.out;
    std::vector<std::string> expected = {
        "./usr/bin/mervex",
        "./usr/share/man/man1/mervex.1.gz",
        "./usr/share/doc/mervex/copyright",
        "./usr/share/doc/mervex/changelog.gz",
        "./usr/share/bash-completion/completions/mervex",
        "./usr/share/zsh/vendor-completions/_mervex",
        "./usr/share/fish/vendor_completions.d/mervex.fish",
        "./usr/lib/udev/rules.d/60-mervex-parport.rules",
    };
    if (HaveVchip) {
        expected.push_back("./usr/bin/mervex-vchip");
        expected.push_back("./usr/share/man/man1/mervex-vchip.1.gz");
        expected.push_back("./usr/share/bash-completion/completions/mervex-vchip");
    }
    for (const std::string& name : shippedPinMaps()) expected.push_back("./usr/share/mervex/" + name);
    for (const std::string& file : expected) {
        EXPECT_NE(listing.out.find(" " + file + "\n"), std::string::npos) << file;
    }

    const fs::path unpacked = root.path() / "root";
    const test::Outcome extracted =
        runShell("dpkg-deb -x " + shellQuote(deb.string()) + " " + shellQuote(unpacked.string()));
    ASSERT_EQ(extracted.status, 0) << extracted.out;
    const std::string program = shellQuote((unpacked / "usr/bin/mervex").string());
    const test::Outcome version = runShell(program + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("mervex ") + MERVEX_VERSION + " (built for " + MERVEX_SYSTEM + ")\n");
    for (const char* man : {"mervex.1", "mervex-vchip.1"}) {
        const std::string text = readFile(fs::path(MERVEX_SOURCE_DIR) / "docs" / man);
        EXPECT_NE(text.find(std::string("\"mervex ") + MERVEX_VERSION + "\""), std::string::npos) << man;
    }
    const test::Outcome page = runShell(program + " +mega8 -h");
    EXPECT_EQ(page.status, 0) << page.out;
    EXPECT_NE(page.out.find("mega8|mega8A: signature 1E9307"), std::string::npos) << page.out;
    const test::Outcome map =
        runShell("cd " + shellQuote(root.str()) + " && env -u MERVEX_CONFIG_PATH " + program +
                 " +mega8 -it -am=stk200.cfg -p./no-such-dir/port -r out.hex");
    EXPECT_EQ(map.status, 70) << map.out;
    EXPECT_NE(map.out.find("Adapter 'STK200 (from file)'"), std::string::npos) << map.out;

    // Installed by dpkg into a root of its own (its own package database, so
    // the machine's is left alone), a virtual-target job runs from there, and
    // removing the package leaves nothing behind.
    if (!HaveVchip || !test::haveProgram("dpkg")) return;
    const fs::path target = root.path() / "target";
    const fs::path admin = target / "var/lib/dpkg";
    for (const char* dir : {"info", "updates", "triggers"}) fs::create_directories(admin / dir);
    for (const char* file : {"status", "available"}) test::writeFile(admin / file, "");
    const std::string dpkg = "dpkg --force-not-root --force-depends --force-script-chrootless --no-triggers --log=/dev/null"
                             " --admindir=" + shellQuote(admin.string()) + " --instdir=" + shellQuote(target.string());
    const test::Outcome installed = runShell(dpkg + " -i " + shellQuote(deb.string()));
    ASSERT_EQ(installed.status, 0) << installed.out;
    const std::string bin = (target / "usr/bin").string();
    fs::copy_file(fs::path(MERVEX_SOURCE_DIR) / "examples/blink-mega8/blink.hex", root.path() / "code.hex");
    const test::Outcome job =
        runShell("cd " + shellQuote(root.str()) + " && env -u MERVEX_CONFIG_PATH " + shellQuote(bin + "/mervex-vchip") +
                 " new mega8 board.vchip && " + shellQuote(bin + "/mervex") +
                 " +mega8 -am=vuder.cfg -p./board.vchip -e -w -v code.hex");
    EXPECT_EQ(job.status, 0) << job.out;
    EXPECT_NE(job.out.find("All OK"), std::string::npos) << job.out;

    const test::Outcome removed = runShell(dpkg + " --purge mervex");
    ASSERT_EQ(removed.status, 0) << removed.out;
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(target)) {
        const fs::path relative = fs::relative(entry.path(), target);
        if (*relative.begin() != "var") left.push_back(relative.string());
    }
    EXPECT_TRUE(left.empty()) << left.front();
#endif
}

}  // namespace
}  // namespace mervex
