#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/TextUtil.h"
#include "console/ConfigSearch.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/OpenFile.h"
#include "support/CaptureConsole.h"
#include "support/Files.h"

namespace mervex {
namespace {

using test::CaptureConsole;

// Sets or unsets an environment variable for the life of the object.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvGuard() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// A fresh directory tree per test under the test build's temporary directory.
class ConfigSearch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(root_.empty()); }

    std::string dir(const std::string& relative) {
        const std::string path = root_ + "/" + relative;
        std::filesystem::create_directories(path);
        return path;
    }
    std::string file(const std::string& relative) {
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) dir(relative.substr(0, slash));
        const std::string path = root_ + "/" + relative;
        test::writeFile(path, "x\n");
        EXPECT_TRUE(isRegularFile(path.c_str())) << path;
        return path;
    }

    test::TempDir tree_{"cfg"};
    const std::string root_ = tree_.str();
};

constexpr const char* Name = "mervex-test-lpt.cfg";

TEST_F(ConfigSearch, SearchesListsInOrderSkippingEmptyEntriesAndDirectories) {
    const std::string a = dir("a");
    const std::string b = dir("b");
    dir(std::string("a/") + Name);  // a directory with the file's name does not count
    file(std::string("b/") + Name);
    const std::string list = a + "::" + b + "/";
    char buffer[1024];
    ASSERT_TRUE(findInDirectories(buffer, sizeof buffer, Name, {list.c_str()}));
    EXPECT_EQ(std::string(buffer), b + "/" + Name);  // no doubled '/'

    file(std::string("a2/") + Name);
    const std::string second = root_ + "/a2";
    ASSERT_TRUE(findInDirectories(buffer, sizeof buffer, Name, {"/nonexistent", second.c_str(), list.c_str()}));
    EXPECT_EQ(std::string(buffer), second + "/" + Name);

    EXPECT_FALSE(findInDirectories(buffer, sizeof buffer, "missing.cfg", {list.c_str()}));
    EXPECT_FALSE(findInDirectories(buffer, sizeof buffer, Name, {}));
}

TEST_F(ConfigSearch, NamesWithADirectoryAreSearchedOnlyWhenRelativeToDot) {
    const std::string d = dir("d");
    file("d/conf/x.cfg");
    file("d/y.cfg");
    char buffer[1024];
    EXPECT_FALSE(findInDirectories(buffer, sizeof buffer, "conf/x.cfg", {d.c_str()}));
    ASSERT_TRUE(findInDirectories(buffer, sizeof buffer, "./y.cfg", {d.c_str()}));
    EXPECT_EQ(std::string(buffer), d + "/./y.cfg");
    // A name that exists as given is taken as it stands.
    const std::string absolute = d + "/conf/x.cfg";
    ASSERT_TRUE(findInDirectories(buffer, sizeof buffer, absolute.c_str(), {}));
    EXPECT_EQ(std::string(buffer), absolute);
}

TEST_F(ConfigSearch, PathsThatDoNotFitAreNeverCut) {
    const std::string shortDir = dir("s");
    const std::string longDir = dir(std::string(60, 'L'));
    file("s/" + std::string(Name));
    file(std::string(60, 'L') + "/" + Name);
    const std::string list = longDir + ":" + shortDir;
    const size_t fitsShort = shortDir.size() + 1 + std::strlen(Name) + 1;
    ASSERT_LT(fitsShort, longDir.size());
    char buffer[1024];
    // The long directory would have to be cut: it is skipped, not probed cut short.
    ASSERT_TRUE(findInDirectories(buffer, fitsShort, Name, {list.c_str()}));
    EXPECT_EQ(std::string(buffer), shortDir + "/" + Name);
    EXPECT_FALSE(findInDirectories(buffer, fitsShort - 1, Name, {list.c_str()}));
    // A name found as given but too long for the buffer is not returned cut.
    const std::string whole = shortDir + "/" + Name;
    EXPECT_FALSE(findInDirectories(buffer, whole.size(), whole.c_str(), {}));
    EXPECT_TRUE(findInDirectories(buffer, whole.size() + 1, whole.c_str(), {}));
}

TEST(PathTokens, SkipEmptyNamesAndCutToTheBuffer) {
    const char* cursor = "::a:bb:";
    char buffer[8];
    size_t length = 0;
    ASSERT_TRUE(nextPathToken(cursor, buffer, sizeof buffer, &length));
    EXPECT_STREQ(buffer, "a");
    ASSERT_TRUE(nextPathToken(cursor, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "bb");
    EXPECT_FALSE(nextPathToken(cursor, buffer, sizeof buffer));

    cursor = "abcdef:g";
    ASSERT_TRUE(nextPathToken(cursor, buffer, 3, &length));
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(length, 6u);
    ASSERT_TRUE(nextPathToken(cursor, buffer, 3));
    EXPECT_STREQ(buffer, "g");
}

TEST_F(ConfigSearch, RegularFilesOnly) {
    EXPECT_TRUE(isRegularFile(file("f").c_str()));
    EXPECT_FALSE(isRegularFile(dir("g").c_str()));
    EXPECT_FALSE(isRegularFile((root_ + "/missing").c_str()));
    EXPECT_FALSE(isRegularFile("/dev/null"));
    EXPECT_FALSE(isRegularFile(nullptr));
}

TEST_F(ConfigSearch, ProgramDirectoryFromPathOrArgument) {
    const std::string bin1 = dir("bin1");
    const std::string bin2 = dir("bin2");
    file("bin2/mervex-fake");
    const std::string path = bin1 + ":" + bin2;
    EnvGuard pathGuard("PATH", path.c_str());

    EXPECT_EQ(programDirectory("mervex-fake"), bin2);
    EXPECT_EQ(programDirectory("./mervex"), ".");
    EXPECT_EQ(programDirectory("/mervex"), "/");
    EXPECT_EQ(programDirectory("mervex-not-anywhere"), "");
    EXPECT_EQ(programDirectory(nullptr), "");
    {
        EnvGuard noPath("PATH", nullptr);
        EXPECT_EQ(programDirectory("mervex-fake"), "");
    }
}

TEST_F(ConfigSearch, ProgramFoundInCurrentDirectoryLivesInDot) {
    const std::string here = dir("here");
    file("here/mervex-fake");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(here.c_str()), 0);
    EnvGuard pathGuard("PATH", "/nonexistent");
    const std::string result = programDirectory("mervex-fake");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(result, ".");
}

TEST_F(ConfigSearch, ConfigPathThenProgramDirectory) {
    const std::string cfg = dir("cfg");
    const std::string prog = dir("prog");
    file("prog/" + std::string(Name));
    const std::string program = prog + "/mervex";
    char buffer[1024];
    {
        EnvGuard unset("MERVEX_CONFIG_PATH", nullptr);
        CaptureConsole capture(false, false, LevelTrace);
        ASSERT_TRUE(findConfigFile(buffer, sizeof buffer, Name, program.c_str()));
        EXPECT_EQ(std::string(buffer), prog + "/" + Name);
        std::string expected = "        Config path not defined\n        Program path " + prog + "\n";
        if (relativeDataDirectory() != nullptr) {
            expected += "        Data path " + prog + "/" + relativeDataDirectory() + "\n";
        }
        if (installedDataDirectory() != nullptr) {
            expected += "        Data path " + std::string(installedDataDirectory()) + "\n";
        }
        EXPECT_EQ(capture.out(), expected);
    }
    file("cfg/" + std::string(Name));
    {
        EnvGuard set("MERVEX_CONFIG_PATH", cfg.c_str());
        CaptureConsole capture(false, false, LevelTrace);
        ASSERT_TRUE(findConfigFile(buffer, sizeof buffer, Name, program.c_str()));
        EXPECT_EQ(std::string(buffer), cfg + "/" + Name);
        EXPECT_EQ(capture.out().rfind("        Config path " + cfg + "\n", 0), 0u);
    }
    {
        EnvGuard empty("MERVEX_CONFIG_PATH", "");
        CaptureConsole capture;
        EXPECT_FALSE(findConfigFile(buffer, sizeof buffer, "mervex-missing.cfg", program.c_str()));
        EXPECT_FALSE(findConfigFile(buffer, 0, Name, program.c_str()));
        EXPECT_FALSE(findConfigFile(nullptr, sizeof buffer, Name, program.c_str()));
        EXPECT_EQ(capture.out(), "");  // trace lines stay hidden at the default level
    }
}

// The data directories are searched last, the one beside the program's
// directory first: a file of the same name anywhere earlier wins, and a name
// found nowhere else is found there.
TEST_F(ConfigSearch, DataDirectoriesComeLast) {
    ASSERT_NE(relativeDataDirectory(), nullptr);
    const std::string cfg = dir("cfg");
    const std::string prog = dir("bin");
    const std::string moved = dir("bin/" + std::string(relativeDataDirectory()));
    const std::string data = dir("abs");
    const std::string program = prog + "/mervex";
    EnvGuard set("MERVEX_CONFIG_PATH", cfg.c_str());
    struct Case {
        const char* name;
        std::vector<std::string> placedIn;  // relative to the root
        std::string expected;               // empty: not found
    };
    const Case cases[] = {
        {"only-data.cfg", {"abs"}, data + "/only-data.cfg"},
        {"only-moved.cfg", {"bin/" + std::string(relativeDataDirectory())}, moved + "/only-moved.cfg"},
        {"both-data.cfg", {"abs", "bin/" + std::string(relativeDataDirectory())}, moved + "/both-data.cfg"},
        {"in-prog.cfg", {"abs", "bin"}, prog + "/in-prog.cfg"},
        {"in-cfg.cfg", {"abs", "bin", "cfg"}, cfg + "/in-cfg.cfg"},
        {"nowhere.cfg", {}, ""},
        {"abs/only-data.cfg", {}, ""},  // a directory part is not searched for
    };
    char buffer[1024];
    for (const Case& c : cases) {
        for (const std::string& place : c.placedIn) file(place + "/" + c.name);
        const bool found = findConfigFile(buffer, sizeof buffer, c.name, program.c_str(), data.c_str());
        EXPECT_EQ(found, !c.expected.empty()) << c.name;
        if (found) {
            EXPECT_EQ(std::string(buffer), c.expected) << c.name;
        }
    }
    CaptureConsole capture(false, false, LevelTrace);
    EXPECT_FALSE(findConfigFile(buffer, sizeof buffer, "only-data.cfg", program.c_str(), nullptr));
    EXPECT_FALSE(findConfigFile(buffer, sizeof buffer, "only-data.cfg", program.c_str(), ""));
    EXPECT_EQ(capture.out().find("Data path " + data), std::string::npos);
}

TEST_F(ConfigSearch, OpenFileReportsAndThrowsWithTheSystemText) {
    const std::string missing = root_ + "/missing.hex";
    CaptureConsole capture;
    try {
        openFile(missing.c_str(), "rt");
        FAIL() << "no exception";
    } catch (const rtl_error& error) {
        reportFailure(error);
        EXPECT_EQ(error.status(), ExitSystem);
        EXPECT_EQ(error.savedErrno(), ENOENT);
    }
    EXPECT_EQ(capture.out(), "ERROR:  Can't open file '" + missing + "'\nERROR:  " + std::strerror(ENOENT) + "\n");

    FilePtr opened = openFile(file("present").c_str(), "rb");
    ASSERT_TRUE(opened);
    EXPECT_EQ(std::fgetc(opened.get()), 'x');
}

TEST(TextUtil, TrimsWhiteSpace) {
    struct Case {
        const char* input;
        const char* right;
        const char* both;
    };
    const Case cases[] = {
        {"  a b \n", "  a b", "a b"},
        {"x \t\r\n", "x", "x"},
        {"   ", "", ""},
        {"plain", "plain", "plain"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trimEnd(c.input), c.right) << '"' << c.input << '"';
        EXPECT_EQ(trim(c.input), c.both) << '"' << c.input << '"';
    }
    // A caller may name its own blanks; the rest is text.
    EXPECT_EQ(trim("\t a \v\r", " \t"), "a \v\r");
}

TEST(TextUtil, SplitsLists) {
    struct Case {
        const char* input;
        const char* separators;
        bool keepEmpty;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a,,b,", ",", false, {"a", "b"}},
        {"a,,b,", ",", true, {"a", "", "b", ""}},
        {"", ",", true, {""}},
        {"", ",", false, {}},
        {"1, 2\t3", ", \t", false, {"1", "2", "3"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitList(c.input, c.separators, c.keepEmpty), c.pieces) << '"' << c.input << '"';
}

TEST(TextUtil, ReadsNumbers) {
    NumberSyntax strict;
    strict.base = 16;
    strict.hexPrefix = true;
    strict.maxDigits = 8;
    NumberSyntax plusOnly = strtoulSyntax(16);
    plusOnly.minus = false;
    struct Case {
        std::string input;
        NumberSyntax syntax;
        bool read;
        uint64_t value;
        size_t used;
    };
    const Case cases[] = {
        {" +0x1Fg,", strtoulSyntax(16), true, 0x1F, 6},
        {"0xg", strtoulSyntax(16), true, 0, 1},  // a prefix needs a digit after it
        {"-1", strtoulSyntax(10), true, UINT64_MAX, 2},
        {"-0", strtoulSyntax(10), true, 0, 2},
        {"-1", plusOnly, false, 0, 0},
        {"+", strtoulSyntax(10), false, 0, 0},
        {"99999999999999999999", strtoulSyntax(10), true, UINT64_MAX, 20},
        {"-99999999999999999999", strtoulSyntax(10), true, UINT64_MAX, 21},  // saturated, not negated
        {"0x12345678", strict, true, 0x12345678, 10},
        {"0x123456789", strict, false, 0, 0},
        {"000000001", strict, false, 0, 0},
        {" 1", strict, false, 0, 0},
        {"1 ", strict, false, 0, 0},
        {std::string("1\0", 2), strict, false, 0, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = 0;
        size_t used = 0;
        EXPECT_EQ(parseNumber(c.input, c.syntax, value, &used), c.read) << '"' << c.input << '"';
        EXPECT_EQ(value, c.value) << '"' << c.input << '"';
        EXPECT_EQ(used, c.used) << '"' << c.input << '"';
    }
}

}  // namespace
}  // namespace mervex
