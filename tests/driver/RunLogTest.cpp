// The run log (--log=FILE) of production benches: parallel runs on several
// ports append one whole JSON line each, failed runs included.
#include "driver/RunLog.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/Sha256.h"
#include "console/Errors.h"
#include "driver/EndToEnd.h"
#include "support/Json.h"
#include "support/Text.h"

namespace mervex {
namespace {

using test::Json;
using test::parseJson;

// Any text, control bytes and bytes that are not UTF-8 included, is one JSON
// string; text that is UTF-8 reads back unchanged.
TEST(RunLogJson, EveryTextIsAJsonString) {
    struct Case {
        std::string text;
        std::string readBack;
    };
    const Case cases[] = {
        {"plain.hex", "plain.hex"},
        {"a\"b\\c", "a\"b\\c"},
        {"line\nnext\ttab\x01\x7f", "line\nnext\ttab\x01\x7f"},
        {"gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x94\x8c", "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x94\x8c"},
        {"latin1 \xfc", "latin1 \xc3\xbc"},              // a lone high byte: taken as Latin-1
        {"cut \xe2\x82", "cut \xc3\xa2\xc2\x82"},         // a sequence cut short
        {"overlong \xc0\xaf", "overlong \xc3\x80\xc2\xaf"},
        {"surrogate \xed\xa0\x80", "surrogate \xc3\xad\xc2\xa0\xc2\x80"},
    };
    for (const Case& c : cases) {
        Json value;
        ASSERT_TRUE(parseJson(jsonString(c.text), value)) << jsonString(c.text);
        EXPECT_EQ(value.kind, Json::String);
        EXPECT_EQ(value.text, c.readBack) << jsonString(c.text);
    }
}

class RunLogFile : public test::EndToEnd {
protected:
    // The error lines of a run's output, without their prefix: what its record keeps.
    static std::string errorLines(const std::string& out) {
        std::string text;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("ERROR:  ", 0) == 0) text += (text.empty() ? "" : "\n") + line.substr(8);
        return text;
    }

    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        std::istringstream in(test::readFile(dir / "run.log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

// Eight runs at once on eight targets, one log. Six write the same firmware
// with a serial number from one counter file; one is refused its chip and one
// fails its verification: each run's line is whole, parses, and tells its story.
TEST_F(RunLogFile, EightParallelRunsWriteEightWholeLines) {
    const std::string code = hexFile("code.hex", {{0x0000, pattern(600)}});
    textFile("serial.txt", "100\n");
    constexpr int Runs = 8;
    std::string script;
    for (int i = 0; i < Runs; ++i) {
        const std::string target = "board" + std::to_string(i) + ".vchip";
        saveVirtualTarget(*chip("mega8"), (dir / target).string());
        std::string args = "-ip- -p./" + target + " --log=run.log ";
        if (i == 6) {
            args += "+mega16 -e -w code.hex";
        } else if (i == 7) {
            args += "+mega8 -v code.hex";
        } else {
            args += "+mega8 -e -w -v -n -fCKSEL=4 -l1 '-C*SERNO2=0x10,serial.txt' '-C*BYTES2=0x20,4142' code.hex";
        }
        script += test::shellQuote(MERVEX_BINARY) + " " + args + " >out" + std::to_string(i) +
                  ".txt 2>&1; echo $? >status" + std::to_string(i) + " &\n";
    }
    const test::Outcome ran = test::runShell("cd " + test::shellQuote(dir.string()) + " && {\n" + script + "wait; }");
    ASSERT_EQ(ran.status, 0) << ran.out;

    Sha256 hash;
    const std::string codeBytes = test::readFile(code);
    hash.update(codeBytes.data(), codeBytes.size());
    const std::string codeDigest = hash.hexDigest();

    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), size_t(Runs)) << test::readFile(dir / "run.log");
    std::set<int> ports;
    std::set<double> serials;
    const std::regex isoTime("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z");
    for (const std::string& line : lines) {
        Json record;
        ASSERT_TRUE(parseJson(line, record)) << line;
        for (const char* field : {"time", "version", "port", "cable", "chip", "operations", "files", "serial", "bytes",
                                  "fuses", "lock", "eraseCounter", "result", "durationMs"})
            EXPECT_TRUE(record.has(field)) << field << " in " << line;
        EXPECT_TRUE(std::regex_match(record["time"].text, isoTime)) << line;
        EXPECT_EQ(record["version"].text, MERVEX_VERSION);
        EXPECT_EQ(record["cable"].text, "VUDER");
        EXPECT_EQ(record["durationMs"].kind, Json::Number);
        const int i = record["port"].text.size() > 9 ? record["port"].text[7] - '0' : -1;
        ASSERT_TRUE(i >= 0 && i < Runs && ports.insert(i).second) << line;
        const std::string number = std::to_string(i);

        const int status = std::stoi(test::readFile(dir / ("status" + number)));
        EXPECT_EQ(record["result"]["status"].number, status) << line;
        // A failure's text is recorded once, as printed; a success records none.
        EXPECT_EQ(record["result"]["error"].text, errorLines(test::readFile(dir / ("out" + number + ".txt"))));
        EXPECT_EQ(record["result"]["error"].text.empty(), status == 0) << line;
        const Json& chipRecord = record["chip"];
        EXPECT_EQ(chipRecord["detected"].text, "mega8|mega8A") << line;
        EXPECT_EQ(chipRecord["signature"].text, "1E9307") << line;
        const Json& file = record["files"].items.at(0);
        EXPECT_EQ(file["memory"].text, "code");
        EXPECT_EQ(file["size"].number, double(codeBytes.size()));
        EXPECT_EQ(file["sha256"].text, codeDigest);

        if (i == 6) {
            EXPECT_EQ(status, ExitIdentity);
            EXPECT_EQ(chipRecord["requested"].text, "mega16");
            EXPECT_NE(record["result"]["error"].text.find("Can't continue"), std::string::npos) << line;
            continue;
        }
        EXPECT_EQ(chipRecord["requested"].text, "mega8");
        if (i == 7) {
            EXPECT_EQ(status, ExitChip) << test::readFile(dir / ("out" + number + ".txt"));
            EXPECT_EQ(record["operations"].items.size(), 1u);
            EXPECT_EQ(record["serial"].kind, Json::Null);
            continue;
        }
        EXPECT_EQ(status, ExitOk) << test::readFile(dir / ("out" + number + ".txt"));
        std::vector<std::string> operations;
        for (const Json& op : record["operations"].items) operations.push_back(op.text);
        EXPECT_EQ(operations, (std::vector<std::string>{"erase", "write", "verify", "fuses", "lock-1", "erase-counter"}));
        const Json& serial = record["serial"];
        EXPECT_TRUE(serials.insert(serial["number"].number).second) << line;
        const unsigned given = unsigned(serial["number"].number);
        char bytes[16];
        std::snprintf(bytes, sizeof bytes, "%02X%02X", given & 0xFF, (given >> 8) & 0xFF);
        EXPECT_EQ(serial["bytes"].text, bytes);
        EXPECT_EQ(record["bytes"].text, "4142");
        EXPECT_EQ(record["eraseCounter"].number, 1) << line;
        // The mega8's factory low fuse, E1, with CKSEL set to 4.
        EXPECT_EQ(record["fuses"]["before"]["low"].text, "E1") << line;
        EXPECT_EQ(record["fuses"]["after"]["low"].text, "E4") << line;
        EXPECT_EQ(record["lock"]["before"].number, 0);
        EXPECT_EQ(record["lock"]["after"].number, 1);
    }
    // The six write runs had six different numbers, 100 to 105.
    EXPECT_EQ(serials, (std::set<double>{100, 101, 102, 103, 104, 105}));
}

// A log that cannot be opened stops the run before the chip is touched.
TEST_F(RunLogFile, LogThatCannotBeOpenedStopsTheRunFirst) {
    store(*chip("mega8"));
    const std::string code = hexFile("code.hex", {{0x0000, pattern(64)}});
    const test::Outcome outcome = run({"+mega8", "--log=no-such-dir/run.log", "-e", "-w", code});
    EXPECT_EQ(outcome.status, ExitSystem);
    EXPECT_NE(outcome.out.find("ERROR:  Can't open file 'no-such-dir/run.log'"), std::string::npos) << outcome.out;
    EXPECT_EQ(stored()->flash[0], 0xFF);
}

// A run whose record cannot be written does not end as a success, though its
// chip was programmed: status 50 after "All OK". A line cut short is taken
// back out, so the log keeps only whole lines.
TEST_F(RunLogFile, RecordThatCannotBeWrittenFailsTheRun) {
    const std::string code = hexFile("code.hex", {{0x0000, pattern(64)}});
    const std::string earlier = std::string(3000, ' ') + "{}\n";
    struct Case {
        const char* log;
        long fileSizeLimit;  // the earlier line and the target file fit, the new line does not
    };
    std::vector<Case> cases = {{"run.log", 3100}};
    if (::access("/dev/full", W_OK) == 0) cases.push_back({"/dev/full", -1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        store(*chip("mega8"));
        textFile("run.log", earlier);
        test::RunOptions options;
        options.fileSizeLimit = c.fileSizeLimit;
        const test::Outcome outcome = run({"+mega8", std::string("--log=") + c.log, "-e", "-w", code}, options);
        EXPECT_EQ(outcome.status, ExitFile);
        EXPECT_TRUE(test::endsWith(outcome.out, std::string("All OK\nERROR:  Can't write run log '") + c.log +
                                                     "'\nNo space left on device\n"))
            << outcome.out;
        EXPECT_EQ(stored()->flash[0], pattern(64)[0]);
        EXPECT_EQ(test::readFile(dir / "run.log"), earlier);
    }
}

}  // namespace
}  // namespace mervex
