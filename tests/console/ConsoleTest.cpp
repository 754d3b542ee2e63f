#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "console/Console.h"
#include "console/Errors.h"
#include "support/CaptureConsole.h"

namespace mervex {
namespace {

using test::CaptureConsole;

struct RoutingCase {
    const char* name;
    bool outTty, errTty;
    int level;
    const char* expectOut;
    const char* expectErr;
};

TEST(ConsoleMessage, PrefixesAndStderrCopyFollowTerminals) {
    const RoutingCase cases[] = {
        {"error redirected, stderr tty", false, true, LevelError, "ERROR:  bad\n", "ERROR:  bad\n"},
        {"warning redirected", false, true, LevelWarning, "Warning: bad\n", ""},
        {"both terminals", true, true, LevelError, "ERROR:  bad\n", ""},
        {"both redirected", false, false, LevelError, "ERROR:  bad\n", ""},
        {"prompt redirected", false, true, LevelPrompt, "bad\n", "bad\n"},
        {"info", false, true, LevelInfo, "bad\n", ""},
    };
    for (const auto& c : cases) {
        CaptureConsole cap(c.outTty, c.errTty);
        message(c.level, "%s\n", "bad");
        EXPECT_EQ(cap.out(), c.expectOut) << c.name;
        EXPECT_EQ(cap.err(), c.expectErr) << c.name;
    }
}

TEST(ConsoleMessage, LevelFilterAndDebugIndent) {
    CaptureConsole cap(false, false, LevelDebug);
    message(LevelDebug, "d\n");
    message(LevelTrace, "t\n");
    EXPECT_EQ(cap.out(), "    d\n");
}

TEST(ConsoleMessage, ActiveBarGetsLineEndOnlyForShownMessages) {
    CaptureConsole cap(false, false, LevelWarning);
    console().progressActive = true;
    message(LevelInfo, "dropped\n");
    EXPECT_EQ(cap.out(), "");
    EXPECT_FALSE(console().progressLabelPending);
    message(LevelWarning, "w\n");
    EXPECT_EQ(cap.out(), "\nWarning: w\n");
    EXPECT_TRUE(console().progressLabelPending);
}

TEST(ConsoleMessage, LongTextIsCutButKeepsItsLineEnd) {
    CaptureConsole cap;
    std::string longText(2000, 'x');
    message(LevelInfo, "%s\n", longText.c_str());
    message(LevelInfo, "next\n");
    std::string out = cap.out();
    ASSERT_EQ(out.size(), 1023u + 5u);
    EXPECT_EQ(out.substr(1021, 2), "x\n");
    EXPECT_EQ(out.substr(1023), "next\n");
}

TEST(ConsoleMessage, UserTextIsNeverAFormat) {
    CaptureConsole cap;
    message(LevelInfo, "%s", "100%s %n %d");
    EXPECT_EQ(cap.out(), "100%s %n %d");
}

// The error printed before an rtl_error must not change the errno it reports,
// even when writing the message fails.
TEST(ConsoleMessage, PrintingKeepsErrno) {
    CaptureConsole cap;
    console().out = std::fopen("/dev/full", "w");
    ASSERT_NE(console().out, nullptr);
    errno = ENOENT;
    message(LevelError, "Can't open file '%s'\n", "x");
    EXPECT_EQ(errno, ENOENT);
    std::fclose(console().out);
}

TEST(Errors, RtlErrorKeepsErrnoOfTheFailingCall) {
    errno = ENOENT;
    rtl_error failure(ExitSystem, "Can't open file '%s'\n", "x");
    errno = EACCES;  // a later call must not change the report
    EXPECT_STREQ(failure.what(), "Can't open file 'x'\nNo such file or directory\n");
    EXPECT_EQ(failure.status(), 70);
    EXPECT_STREQ(app_error(ExitOk).what(), "");
}

// The message, then the lines after it at their levels; the error text is the
// error lines only. A quiet end prints nothing.
TEST(Errors, FailurePrintsItsLinesInOrder) {
    CaptureConsole cap(false, true);
    const app_error failure = app_error(ExitChip, "Can't %s\n", "go").then(LevelInfo, "Hint: h\n");
    EXPECT_STREQ(failure.what(), "Can't go\n");
    reportFailure(failure);
    reportFailure(app_error(ExitOk));
    EXPECT_EQ(cap.out(), "ERROR:  Can't go\nHint: h\n");
    EXPECT_EQ(cap.err(), "ERROR:  Can't go\n");
}

}  // namespace
}  // namespace mervex
