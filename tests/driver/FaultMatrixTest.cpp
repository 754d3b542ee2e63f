// The fault matrix: whole mervex runs against a virtual mega8 with one fault
// at a time (a lost echo, a chip that will not answer or never finishes a
// write, a stuck bit, a protected signature, a signal, a bad file), each placed
// in one phase of the run. Every run must end with its own message and exit
// status, leave the target switched off with its buffers disabled, and lose
// nothing: the chip's EEPROM is either still there or in "(eeprom).sav", and the
// input files, the serial number file and the target file are whole.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <thread>

#include "driver/EndToEnd.h"
#include "image/ImageReader.h"
#include "sim/TargetSettings.h"
#include "support/Text.h"

namespace mervex::test {
namespace {

// Power, buffers and both LEDs, so the state at the end of a run can be seen.
const char* const Wiring = "mosi=D5:sck=D6:reset=D4:miso=ACK:led_ok=D2:led_error=D7:power=D0,D1:enable=~STROBE";
const std::string KeyWiring = std::string(Wiring) + ":key=~BUSY";

// Instructions a clean mega8 run makes before anything it was asked to do:
// program enable, three signature bytes, the lock bits, four calibration bytes.
constexpr int ConnectInstructions = 9;
constexpr int EepromBytes = 512;

// What must become of the chip's EEPROM.
enum class Eeprom {
    Kept,   // still on the chip
    Saved,  // in "(eeprom).sav" (the chip may be erased)
    Any,    // the run was allowed to erase it
};

// Where a fault goes: the instruction number that a clean run with the `after`
// arguments ends with, plus offset. Without `after`, the offset is the number.
struct At {
    const char* after;
    int offset;
};

struct FaultCase {
    const char* name;
    const char* args;   // after "+mega8 -am:... -p...", separated by blanks
    const char* fault;  // target settings, "{N}" standing for the instruction number
    At at;
    int status;
    std::string ending;  // how the output ends
    Eeprom eeprom;
    bool flashKept;
    const char* signalAfter = nullptr;  // send `signal` when the output holds this
    int signal = 0;
};

const char* const SyncLost = "ERROR:  \nSynchronisation lost\n";
const char* const SavedNote = "ERROR:  EEPROM content saved to HEX-file \"(eeprom).sav\"\n";
const std::string unknownChipHint =
    "Hint: no chip of the table has this signature; an ID of 0x000000 or 0xFFFFFF means no real answer (check the "
    "cable and the target's power), else name the chip with + and add -! to go on as that chip\n";

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string w; in >> w;) list.push_back(w);
    return list;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}


class FaultMatrix : public EndToEnd {
protected:
    void SetUp() override {
        EndToEnd::SetUp();
        eeprom = pattern(EepromBytes, 7);
        flash = pattern(8192, 9);
        code = pattern(256, 11);
        code[0x20] = 0x00;  // the stuck bit case needs a bit written to 0
        hexFile("code.hex", {{0, code}});
        // Data the chip already holds, so a restored EEPROM stays the same after it.
        hexFile("data.hex", {{0x40, std::vector<uint8_t>(eeprom.begin() + 0x40, eeprom.begin() + 0x60)}});
        textFile("empty.hex", ":00000001FF\n");
        textFile("sn.txt", "1000\n");
        for (const char* name : {"code.hex", "data.hex", "empty.hex", "sn.txt"}) inputs[name] = readFile(dir / name);
    }

    // The target every run starts from: old firmware, a full EEPROM, short busy times.
    std::unique_ptr<VirtualTarget> baseTarget(const std::string& cable) const {
        auto target = chip("mega8");
        target->cable = "user:" + cable;
        std::copy(eeprom.begin(), eeprom.end(), target->eeprom.begin());
        target->flash = flash;
        return target;
    }

    // A fresh directory with the input files and the target.
    fs::path prepare(const std::string& name, const VirtualTarget& target) {
        const fs::path place = dir / name;
        fs::create_directories(place);
        for (const auto& [file, text] : inputs) test::writeFile(place / file, text);
        saveVirtualTarget(target, (place / "board.vchip").string());
        return place;
    }

    static std::vector<std::string> command(const std::string& cable, const std::string& args) {
        std::vector<std::string> list = {"-ip-", "-p./board.vchip", "-am:" + cable, "+mega8"};
        for (const std::string& w : words(args)) list.push_back(w);
        return list;
    }

    // Run every job at once, a few at a time: the runs mostly wait for the
    // target's supply to settle.
    static void runAll(std::vector<std::function<void()>>& jobs) {
        std::atomic<size_t> next{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 4; ++w)
            workers.emplace_back([&] {
                for (size_t i = next++; i < jobs.size(); i = next++) jobs[i]();
            });
        for (std::thread& t : workers) t.join();
    }

    // Instruction counts of clean runs, for every `after` the cases name.
    std::map<std::string, uint64_t> cleanCounts(const std::vector<FaultCase>& cases) {
        std::map<std::string, uint64_t> counts;
        for (const FaultCase& c : cases)
            if (c.at.after != nullptr) counts[c.at.after] = 0;
        std::vector<std::function<void()>> jobs;
        std::vector<std::pair<std::string, fs::path>> places;
        int n = 0;
        for (auto& entry : counts) {
            places.emplace_back(entry.first, prepare("clean-" + std::to_string(n++), *baseTarget(Wiring)));
            const auto& [args, place] = places.back();
            jobs.push_back([&, args = args, place = place] { (void)runProgram(place, command(Wiring, args)); });
        }
        runAll(jobs);
        for (const auto& [args, place] : places)
            counts[args] = loadVirtualTarget((place / "board.vchip").string())->lastRun.instructions();
        return counts;
    }

    // Run the cases (each in a directory of its own) and check how each ended.
    void check(const std::vector<FaultCase>& cases) {
        const std::map<std::string, uint64_t> counts = cleanCounts(cases);
        std::vector<Outcome> outcomes(cases.size());
        std::vector<fs::path> places(cases.size());
        std::vector<std::function<void()>> jobs;
        for (size_t i = 0; i < cases.size(); ++i) {
            const FaultCase& c = cases[i];
            const std::string cable = c.signalAfter != nullptr ? KeyWiring : std::string(Wiring);
            auto target = baseTarget(cable);
            const uint64_t number = (c.at.after != nullptr ? counts.at(c.at.after) : 0) + c.at.offset;
            for (const std::string& setting : words(replaced(c.fault, "{N}", std::to_string(number)))) {
                const size_t equals = setting.find('=');
                applyTargetSetting(*target, setting.substr(0, equals), setting.substr(equals + 1));
            }
            places[i] = prepare("case-" + std::to_string(i), *target);
            RunOptions options;
            if (c.signalAfter != nullptr) {
                options.signalAfter = c.signalAfter;
                options.signalNumber = c.signal;
            }
            jobs.push_back([&, i, cable, options] { outcomes[i] = runProgram(places[i], command(cable, cases[i].args), options); });
        }
        runAll(jobs);
        for (size_t i = 0; i < cases.size(); ++i) checkOutcome(cases[i], outcomes[i], places[i]);
    }

    void checkOutcome(const FaultCase& c, const Outcome& outcome, const fs::path& place) {
        SCOPED_TRACE(c.name);
        const std::string out = withoutTimes(outcome.out);
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_EQ(outcome.status, c.status) << out;
        const std::string ending = c.eeprom == Eeprom::Saved ? c.ending + SavedNote : c.ending;
        EXPECT_TRUE(endsWith(out, ending)) << out;
        EXPECT_EQ(contains(out, "All OK"), c.status == 0);

        // The target file reads, counts the run, and the target is switched off.
        std::unique_ptr<VirtualTarget> after;
        ASSERT_NO_THROW(after = loadVirtualTarget((place / "board.vchip").string()));
        EXPECT_EQ(after->runCount, 1u);
        const TargetCounters& run = after->lastRun;
        EXPECT_TRUE(run.power.present && !run.power.on) << "supply left on";
        EXPECT_TRUE(run.enable.present && !run.enable.on) << "buffers left enabled";
        EXPECT_EQ(run.ledError.on, c.status != 0);
        EXPECT_EQ(run.ledOk.on, c.status == 0);

        // Nothing lost.
        const bool saved = fs::exists(place / "(eeprom).sav");
        EXPECT_EQ(saved, c.eeprom == Eeprom::Saved);
        if (c.eeprom == Eeprom::Kept) {
            EXPECT_EQ(after->eeprom, eeprom) << "EEPROM lost";
        }
        if (saved) {
            EXPECT_EQ(savedEeprom(place), eeprom) << "EEPROM saved wrongly";
        }
        if (c.flashKept) {
            EXPECT_EQ(after->flash, flash) << "flash changed";
        }
        for (const auto& [file, text] : inputs) {
            EXPECT_EQ(readFile(place / file), text) << file;
        }
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(place)) names.insert(entry.path().filename().string());
        std::set<std::string> expected = {"board.vchip", "code.hex", "data.hex", "empty.hex", "sn.txt"};
        if (saved) expected.insert("(eeprom).sav");
        EXPECT_EQ(names, expected);
    }

    static std::vector<uint8_t> savedEeprom(const fs::path& place) {
        MemoryImage image;
        readImageFile(image, ImageFile{FormatIntelHex, (place / "(eeprom).sav").string()});
        std::vector<uint8_t> bytes(EepromBytes, 0xFF);
        image.forEach([&bytes](const MemoryBlock& b) {
            for (uint32_t i = 0; i < b.length; ++i) bytes.at(b.address + i) = b.data[i];
        });
        return bytes;
    }

    std::vector<uint8_t> eeprom, flash, code;
    std::map<std::string, std::string> inputs;
};

std::string syncLost(const char* lastStep) { return std::string(lastStep) + SyncLost; }

// After a failed connect: the cable, the clock assumed, and what to try.
const std::string ConnectHint =
    "Hint: the chip gave no steady answer through the pin-map cable, its clock taken as 0.80MHz\n"
    "Hint: try -aa to find the cable (or -as, -ab, -ax), check the target's power, give the chip's real clock "
    "with -o, or slow down with -2\n";

// A wrong echo in each phase of the run, with and without saving the EEPROM.
TEST_F(FaultMatrix, LostSynchronisationInEveryPhase) {
    const char* const connected = "Adapter ''\n";
    const char* const identified = "Chip not locked\n";
    const char* const codeWrite = "Programming 256 bytes to CODE memory\n";
    const char* const dataWrite = "Programming 32 bytes to DATA memory\n";
    const char* const verify = "Verifying CODE memory\n";
    const char* const fuses = "Programming fuses\n";
    const char* const counter = "Programming 2 bytes to CODE memory\n";
    const char* const save = "Reading 512 bytes from DATA memory\n";
    const char* const restore = "Programming 512 bytes to DATA memory\n";
    const char* const echo = "fault.wrong-echo={N}";
    check({
        {"connect", "-e -wp -v -C*SERNO2=80,sn.txt code.hex", echo, {nullptr, 2}, 40,
         syncLost(connected) + ConnectHint,
         Eeprom::Kept, true},
        {"erase", "-e -wp code.hex", echo, {nullptr, ConnectInstructions + 1}, 40, syncLost(identified), Eeprom::Any,
         false},
        // Page loads go out unchecked; the last instruction is the check that the last page is written.
        {"code write", "-e -wp -C*SERNO2=80,sn.txt code.hex", echo, {"-e -wp -C*SERNO2=80,sn.txt code.hex", 0}, 40,
         syncLost(codeWrite), Eeprom::Any, false},
        {"data write", "-e -wp code.hex data.hex", echo, {"-e -wp code.hex", 3}, 40, syncLost(dataWrite),
         Eeprom::Any, false},
        {"verify", "-e -wp -v code.hex", echo, {"-e -wp code.hex", 3}, 40, syncLost(verify), Eeprom::Any, false},
        {"fuses", "-wp -fCKSEL=F", echo, {"", 2}, 40, syncLost(fuses), Eeprom::Kept, true},
        {"lock", "-l1", echo, {"", 1}, 40, syncLost(identified), Eeprom::Kept, true},
        {"erase counter", "-e -n", echo, {"-e -n", 0}, 40, syncLost(counter), Eeprom::Any, false},

        {"-e-: connect", "-e- -wp code.hex", echo, {nullptr, 3}, 40, syncLost(connected) + ConnectHint, Eeprom::Kept,
         true},
        {"-e-: EEPROM save", "-e- -wp code.hex", echo, {nullptr, ConnectInstructions + 100}, 40, syncLost(save),
         Eeprom::Kept, true},
        {"-e-: erase", "-e- -wp code.hex", echo, {nullptr, ConnectInstructions + EepromBytes + 1}, 40,
         syncLost(save), Eeprom::Saved, false},
        {"-e-: EEPROM restore", "-e- -wp code.hex", echo, {"-e", EepromBytes + 100}, 40, syncLost(restore),
         Eeprom::Saved, false},
        {"-e-: code write", "-e- -wp -C*SERNO2=80,sn.txt code.hex", echo, {"-e- -wp -C*SERNO2=80,sn.txt code.hex", 0},
         40, syncLost(codeWrite), Eeprom::Kept, false},
        {"-e-: data write", "-e- -wp code.hex data.hex", echo, {"-e- -wp code.hex data.hex", -3}, 40,
         syncLost(dataWrite), Eeprom::Kept, false},
        {"-e-: verify", "-e- -wp -v code.hex", echo, {"-e- -wp -v code.hex", -20}, 40, syncLost(verify),
         Eeprom::Kept, false},
        {"-e-: fuses", "-e- -wp -fCKSEL=F", echo, {"-e- -wp -fCKSEL=F", -1}, 40, syncLost(fuses), Eeprom::Kept,
         false},
        // The lock says nothing before it writes; the check of the restore was the last step heard of.
        {"-e-: lock", "-e- -wp -l1 empty.hex", echo, {"-e- -wp -l1 empty.hex", 0}, 40,
         syncLost("Verifying DATA memory\n passed\n"), Eeprom::Kept, false},
        {"-e-: erase counter", "-e- -n -wp empty.hex", echo, {"-e- -n -wp empty.hex", 0}, 40, syncLost(counter),
         Eeprom::Kept, false},
    });
}

TEST_F(FaultMatrix, ChipFaults) {
    check({
        {"never enters programming mode", "-e -wp code.hex", "fault.no-program-enable=yes", {}, 40,
         "Adapter ''\nERROR:  Can't resync\n" + ConnectHint +
             "Hint: the chip answers out of step: another cable's wiring, or a clock slower than -o says; mervex "
             "--check finds out more\n",
         Eeprom::Kept, true},
        // The chip's frame repeats every 32 bits, so 31 is as far out of step as it gets.
        {"out of step by 31 bits, resynchronised", "-e -wp -v code.hex", "fault.out-of-step=31", {}, 0,
         "Total time T\nAll OK\n", Eeprom::Any, false},
        {"write never completes, polled", "-e -wp -v code.hex", "fault.stuck-write=2", {}, 10,
         "Programming 256 bytes to CODE memory\nERROR:  Poll: can't write page at 0x0\n", Eeprom::Any, false},
        {"write never completes, timed", "-e -w -v code.hex", "fault.stuck-write=2", {}, 10,
         "ERROR:  at 0x0007: expected A6, read FF\nERROR:  and 248 more (-id lists them all)\n", Eeprom::Any, false},
        {"write never completes in the restore", "-e- -wp code.hex", "fault.stuck-write=3", {}, 10,
         "Programming 512 bytes to DATA memory\nERROR:  Poll: can't write byte to DATA memory at 0x1\n",
         Eeprom::Saved, false},
        // With fixed delays only reading the restored EEPROM back finds it.
        {"write never completes in the restore, timed", "-e- -w code.hex", "fault.stuck-write=3", {}, 10,
         "ERROR:  at 0x0008: expected 31, read FF\nERROR:  and 503 more (-id lists them all)\n", Eeprom::Saved, false},
        {"lock write never completes", "-l1", "fault.stuck-write=1", {}, 10,
         "Chip not locked\nERROR:  Locking to level 1 failed, chip not locked\n", Eeprom::Kept, true},
        // The fuse keeps the mega8's factory CKSEL of 1.
        {"fuse write never completes", "-wp -fCKSEL=4", "fault.stuck-write=1", {}, 10,
         "ERROR:  CKSEL   : expected 4, read 1\nERROR:  Writing of fuses failed, the chip reads back other values\n",
         Eeprom::Kept, true},
        {"fuse write never completes, verified", "-wp -v -fCKSEL=4", "fault.stuck-write=1", {}, 10,
         "Verifying fuses\nERROR:  CKSEL   : expected 4, read 1\nERROR:  Verifying of fuses failed\n", Eeprom::Kept,
         true},
        // By pages the restore's second write is the page at 4.
        {"page write never completes in the restore", "-e- -wpe code.hex", "fault.stuck-write=3", {}, 10,
         "Programming 512 bytes to DATA memory\nERROR:  Poll: can't write page to DATA memory at 0x4\n",
         Eeprom::Saved, false},
        {"stuck flash bit", "-e -wp -v code.hex", "fault.stuck-bit=20:0:1", {}, 10,
         "Verifying CODE memory\nERROR:  failed, 1 error \nERROR:  at 0x0020: expected 00, read 01\n", Eeprom::Any,
         false},
        {"protected signature", "-wp -v code.hex", "fault.signature=000102", {}, 30,
         "Chip not locked\nERROR:  Can't continue\n" + unknownChipHint, Eeprom::Kept, true},
        // A protected chip is erased to unprotect it; this one stays unrecognised.
        {"protected signature, erased", "-e -wp code.hex", "fault.signature=000102", {}, 30,
         "Device connected, but not recognised, ID: 0x000102 (looks as protected)\nERROR:  Can't continue\n" + unknownChipHint,
         Eeprom::Any, false},
    });
}

// Benches run one process per port, all sharing one serial number file. Every
// chip gets a number of its own and the file counts every number taken: a run
// that fails gives its number back only when no later run has taken one, and
// a number it cannot give back stays unused, which its warning says.
TEST_F(FaultMatrix, ParallelRunsShareOneSerialNumberFile) {
    constexpr int Runs = 8;
    const std::string serial = (dir / "serial.txt").string();
    test::writeFile(serial, "1000\n");
    const std::string args = "-wp -D*SERNO2=40," + serial + " -ddata.hex";
    const std::string unused = "Warning: Serial number ";
    for (const int failing : {0, 3}) {
        SCOPED_TRACE(std::to_string(failing) + " failing");
        const unsigned long first = std::stoul(readFile(serial));
        std::vector<fs::path> places;
        for (int i = 0; i < Runs; ++i) {
            auto target = baseTarget(Wiring);
            if (i < failing) target->faults.stuckWriteAt = 1;
            places.push_back(prepare("round-" + std::to_string(failing) + "-" + std::to_string(i), *target));
        }
        std::vector<Outcome> outcomes(Runs);
        std::vector<std::thread> runs;
        for (int i = 0; i < Runs; ++i)
            runs.emplace_back([&, i] { outcomes[i] = runProgram(places[i], command(Wiring, args)); });
        for (std::thread& run : runs) run.join();
        const unsigned long next = std::stoul(readFile(serial));

        // Each number from first to next is on one chip or reported unused, once.
        std::multiset<unsigned long> numbers;
        for (int i = 0; i < Runs; ++i) {
            const Outcome& outcome = outcomes[i];
            EXPECT_EQ(outcome.status, i < failing ? 10 : 0) << outcome.out;
            if (outcome.status == 0) {
                const auto after = loadVirtualTarget((places[i] / "board.vchip").string());
                numbers.insert(after->eeprom[0x40] | after->eeprom[0x41] << 8);
            }
            const size_t at = outcome.out.find(unused);
            if (at != std::string::npos) numbers.insert(std::stoul(outcome.out.substr(at + unused.size())));
        }
        std::multiset<unsigned long> expected;
        for (unsigned long n = first; n < next; ++n) expected.insert(n);
        EXPECT_EQ(numbers, expected);
        if (failing == 0) {
            EXPECT_EQ(next, first + Runs);
        }
    }
}

std::string terminated(const char* lastStep, const char* signal) {
    return std::string(lastStep) + "ERROR:  Terminated by user (" + signal + ")\n\n";
}

// A signal at each kind of check point ends the run through its handler.
TEST_F(FaultMatrix, SignalsAtEveryCheckPoint) {
    const char* const connected = "Adapter ''\n";
    const char* const identified = "Chip not locked\n";
    const char* const keyPrompt = "Press ADAPTER KEY for continue.\n";
    check({
        {"resync", "-e -wp code.hex", "fault.out-of-step=20 fault.signal=INT@{N}", {nullptr, 3}, 80,
         terminated(connected, "SIGINT"), Eeprom::Kept, true},
        {"signature", "-e -wp code.hex", "fault.signal=TERM@{N}", {nullptr, 2}, 80, terminated(connected, "SIGTERM"),
         Eeprom::Kept, true},
        {"calibration", "-e -wp code.hex", "fault.signal=QUIT@{N}", {nullptr, 7}, 80,
         terminated(identified, "SIGQUIT"), Eeprom::Kept, true},
        {"fuse read", "-v -fCKSEL=F", "fault.signal=INT@{N}", {nullptr, ConnectInstructions + 2}, 80,
         terminated(identified, "SIGINT"), Eeprom::Kept, true},
        {"blank check", "-e -b", "fault.signal=TERM@{N}", {"-e", 100}, 80, terminated("Blank check\nCode: ", "SIGTERM"),
         Eeprom::Any, false},
        {"read", "-r -cback.hex", "fault.signal=QUIT@{N}", {"", 100}, 80,
         terminated("Reading 8192 bytes from CODE memory\n", "SIGQUIT"), Eeprom::Kept, true},
        {"EEPROM save", "-e- -wp code.hex", "fault.signal=INT@{N}", {"", 100}, 80,
         terminated("Reading 512 bytes from DATA memory\n", "SIGINT"), Eeprom::Kept, true},
        {"EEPROM restore", "-e- -wp code.hex", "fault.signal=TERM@{N}", {"-e", EepromBytes + 100}, 80,
         terminated("Programming 512 bytes to DATA memory\n", "SIGTERM"), Eeprom::Saved, false},
        {"code write", "-e -wp code.hex", "fault.signal=QUIT@{N}", {"-e", 10}, 80,
         terminated("Programming 256 bytes to CODE memory\n", "SIGQUIT"), Eeprom::Any, false},
        {"code verify", "-e -wp -v code.hex", "fault.signal=INT@{N}", {"-e -wp code.hex", 10}, 80,
         terminated("Verifying CODE memory\n", "SIGINT"), Eeprom::Any, false},
        {"data write", "-e -wp code.hex data.hex", "fault.signal=TERM@{N}", {"-e -wp code.hex", 10}, 80,
         terminated("Programming 32 bytes to DATA memory\n", "SIGTERM"), Eeprom::Any, false},
        {"key wait", "-k -e -wp code.hex", "", {}, 80, terminated(keyPrompt, "SIGINT"), Eeprom::Kept, true,
         "Press ADAPTER KEY", SIGINT},
        {"key wait before the files", "-K -e -wp code.hex", "", {}, 80, terminated(keyPrompt, "SIGTERM"),
         Eeprom::Kept, true, "Press ADAPTER KEY", SIGTERM},
        {"key wait, SIGQUIT", "-k -e -wp code.hex", "", {}, 80, terminated(keyPrompt, "SIGQUIT"), Eeprom::Kept, true,
         "Press ADAPTER KEY", SIGQUIT},
        {"key wait, SIGHUP", "-k -e -wp code.hex", "", {}, 80, terminated(keyPrompt, "SIGHUP"), Eeprom::Kept, true,
         "Press ADAPTER KEY", SIGHUP},
    });
}

// Files that fail: an output that cannot take the data, an input that is gone
// or is no file, a serial number file that cannot serve, a target file that
// is cut short, badly edited or cannot be saved, a port that is no port.
struct FileCase {
    const char* name;
    std::function<void(const fs::path&)> spoil;  // prepares the bad file in the run's directory
    const char* args;
    int status;
    std::string ending;
    bool targetUsed;  // the target file is sound: the run switches the target on and off
    bool unprivileged = false;  // run as an ordinary user, for whom permissions hold
    const char* workDir = ".";  // where the run starts, below the case's directory
    long fileSizeLimit = -1;    // RLIMIT_FSIZE of the run: a full disk for every file it writes
};

// Run mervex as user nobody (root ignores file permissions). The directory is
// opened to everyone first; `spoil` then takes away what the case needs.
constexpr int NoReach = 4;
constexpr int Unreachable = -2;  // Outcome::status when nobody cannot reach the program or the directory

Outcome runAsNobody(const fs::path& place, const std::vector<std::string>& args) {
    int channel[2];
    if (::pipe(channel) != 0) return {};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
        // A build in a private home directory is out of nobody's reach.
        if (::access(MERVEX_BINARY, X_OK) != 0 || ::access(place.c_str(), X_OK) != 0) std::_Exit(NoReach);
        const Outcome outcome = runProgram(place, args);
        const std::string report = std::to_string(outcome.status) + " " + std::to_string(outcome.signal) + "\n" + outcome.out;
        for (size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(channel[1], report.data() + done, report.size() - done);
            if (n <= 0) std::_Exit(3);
            done += size_t(n);
        }
        std::_Exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, size_t(n));
    ::close(channel[0]);
    int status = 0;
    Outcome outcome;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return outcome;
    if (WEXITSTATUS(status) == NoReach) outcome.status = Unreachable;
    if (WEXITSTATUS(status) != 0) return outcome;
    std::istringstream in(report);
    in >> outcome.status >> outcome.signal;
    const size_t newline = report.find('\n');
    outcome.out = newline == std::string::npos ? "" : report.substr(newline + 1);
    return outcome;
}

void openToEveryone(const fs::path& place) {
    fs::permissions(place, fs::perms::all);
    for (const auto& entry : fs::directory_iterator(place))
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                          fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
}

// Every entry of the directory with its contents (a link by where it points).
std::map<std::string, std::string> snapshot(const fs::path& place) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(place)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink())
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            entries[name] = "directory";
        else
            entries[name] = readFile(entry.path());
    }
    return entries;
}

TEST_F(FaultMatrix, FileFaults) {
    const auto link = [](const char* name, const char* to) {
        return [=](const fs::path& place) { fs::create_symlink(to, place / name); };
    };
    const auto write = [](const char* name, const char* text) {
        return [=](const fs::path& place) { test::writeFile(place / name, text); };
    };
    const auto editTarget = [](std::function<std::string(const std::string&)> edit) {
        return [=](const fs::path& place) {
            const std::string text = readFile(place / "board.vchip");
            test::writeFile(place / "board.vchip", edit(text));
        };
    };
    const std::string cutShort =
        "ERROR:  Virtual target './board.vchip': the file is cut short (it ends before its [flash] section, without "
        "the closing line [end])\n";
    const auto notAPort = [](const char* reason) {
        return "ERROR:  `./board.vchip' is not a parallel port or virtual target (" + std::string(reason) + ")\n";
    };
    // The port path names something else: the target file gives way to a link.
    const auto portAt = [](const char* to) {
        return [=](const fs::path& place) {
            fs::remove(place / "board.vchip");
            fs::create_symlink(to, place / "board.vchip");
        };
    };
    const bool fullDevice = ::access("/dev/full", W_OK) == 0;
    std::vector<FileCase> cases = {
        {"output in a missing directory", [](const fs::path&) {}, "-r -cmissing/back.hex", 70,
         "Reading 8192 bytes from CODE memory\nERROR:  Can't open file 'missing/back.hex'\n"
         "ERROR:  No such file or directory\n",
         true},
        {"input that is gone", [](const fs::path&) {}, "-e -wp gone.hex", 70,
         "ERROR:  Can't open file 'gone.hex'\nERROR:  No such file or directory\n", false},
        {"input that is a directory", [](const fs::path& place) { fs::create_directory(place / "adir"); },
         "-e -wp adir", 50, "ERROR:  No ending record in HEX file 'adir'\nERROR:  Is a directory\n", false},
        {"binary input that is a directory", [](const fs::path& place) { fs::create_directory(place / "adir"); },
         "-e -wp :bin:adir", 50, "ERROR:  adir - read error\nERROR:  Is a directory\n", false},
        {"serial number file with garbage", write("sn.txt", "garbage\n"), "-e -wp -C*SERNO2=80,sn.txt code.hex", 50,
         "Chip not locked\nERROR:  Can't read sn.txt\nERROR:  no number in file\n", true},
        // Endless inputs end at once, before the target is touched.
        {"endless HEX input", [](const fs::path&) {}, "-e -wp -c/dev/zero", 50,
         "ERROR:  '/dev/zero' is binary, not Intel HEX: give it as :bin:/dev/zero\n", false},
        {"endless binary input", [](const fs::path&) {}, "-e -wp -c:bin:/dev/zero", 50,
         "ERROR:  Can't fit /dev/zero in CODE memory\n", false},
        {"endless binary EEPROM input", [](const fs::path&) {}, "-e -wp code.hex :bin:/dev/zero", 50,
         "ERROR:  Can't fit /dev/zero in DATA memory\n", false},
        {"serial number that is not plain decimal", write("sn.txt", "1.5e3\n"),
         "-e -wp -C*SERNO2=80,sn.txt code.hex", 50,
         "Chip not locked\nERROR:  Can't read sn.txt\nERROR:  not a plain decimal number\n", true},
        {"serial number with no next one in 32 bits", write("sn.txt", "4294967295\n"),
         "-e -wp -C*SERNO4=80,sn.txt code.hex", 50,
         "Chip not locked\nERROR:  Serial number 4294967295 from sn.txt is the last: the next one does not fit in "
         "32 bits\n",
         true},
        {"serial number too large for its bytes", write("sn.txt", "65536\n"), "-e -wp -C*SERNO2=80,sn.txt code.hex",
         50, "Chip not locked\nERROR:  Serial number 65536 from sn.txt does not fit in 2 bytes\n", true},
        {"serial number file that cannot be opened",
         [](const fs::path& place) { fs::create_directory(place / "sndir"); }, "-e -wp -C*SERNO2=80,sndir code.hex",
         70, "Chip not locked\nERROR:  Can't open file 'sndir'\nERROR:  Is a directory\n", true},
        {"target file cut short", editTarget([](const std::string& text) {
             return text.substr(0, text.find(":00000001FF", text.find("[flash]")));
         }),
         "-e -wp code.hex", 70, "the memory has no end record\n", false},
        {"target file badly edited", editTarget([](const std::string& text) {
             return replaced(text, "\nlock = FF\n", "\nlock = FG\n");
         }),
         "-e -wp code.hex", 70, "invalid value 'FG' for lock (expected a hexadecimal byte)\n", false},
        // Cut short at a line end, where every line read is sound: never an erased chip.
        {"target file cut before [flash]",
         editTarget([](const std::string& text) { return text.substr(0, text.find("[flash]")); }), "-e -wp code.hex",
         70, cutShort, false},
        {"target file cut inside its settings",
         editTarget([](const std::string& text) { return text.substr(0, text.find("busy.flash")); }), "-e -wp code.hex",
         70, cutShort, false},
        {"target file cut inside its first line",
         editTarget([](const std::string& text) { return text.substr(0, 10); }), "-e -wp code.hex", 70,
         "ERROR:  Virtual target './board.vchip', line 1: the file ends inside its first line\n", false},
        // The run's result is not saved: the run fails, the file keeps the state before it.
        {"target file on a full disk", [](const fs::path&) {}, "-e -wp code.hex", 70,
         "ERROR:  Can't write virtual target './board.vchip'\n"
         "ERROR:  File too large (the file keeps its state from before this run)\n",
         false, false, ".", 1024},
        // Paths that open but are no port are refused at once, not after a whole connection attempt.
        {"port that is an empty file", write("board.vchip", ""), "-e -wp code.hex", 70, notAPort("an empty file"),
         false},
        {"port that is some other file", write("board.vchip", "garbage\n"), "-e -wp code.hex", 70,
         notAPort("a file that is not a virtual target"), false},
        {"port that is /dev/null", portAt("/dev/null"), "-e -wp code.hex", 70,
         notAPort("the device answers no parallel port request"), false},
        {"port that is /dev/zero", portAt("/dev/zero"), "-e -wp code.hex", 70,
         notAPort("the device answers no parallel port request"), false},
        {"port that is a FIFO",
         [=](const fs::path& place) {
             fs::create_directory(place / "fifos");
             ASSERT_EQ(::mkfifo((place / "fifos" / "fifo").c_str(), 0600), 0);
             portAt("fifos/fifo")(place);
         },
         "-e -wp code.hex", 70, notAPort("a FIFO"), false},
    };
    // Through a link, so that a regression could only ever delete the link.
    if (fullDevice) {
        cases.push_back({"output on a full disk", link("full.hex", "/dev/full"), "-r -cfull.hex", 50,
                         "Reading 8192 bytes from CODE memory\nERROR:  full.hex - write error\n", true});
        cases.push_back({"EEPROM output on a full disk", link("full.eep", "/dev/full"), "-r -d:bin:full.eep", 50,
                         "Reading 512 bytes from DATA memory\nERROR:  full.eep - write error\n", true});
    }

    const auto readOnly = [](const char* name) {
        return [=](const fs::path& place) { fs::permissions(place / name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read); };
    };
    const auto lockedDirectory = [](const fs::path& place) {
        fs::create_directory(place / "locked");
        fs::permissions(place / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
    };
    cases.push_back({"output in a directory that cannot be written", lockedDirectory, "-r -clocked/back.hex", 70,
                     "Reading 8192 bytes from CODE memory\nERROR:  Can't open file 'locked/back.hex'\n"
                     "ERROR:  Permission denied\n",
                     true, true});
    cases.push_back({"read-only serial number file", readOnly("sn.txt"), "-e -wp -C*SERNO2=80,sn.txt code.hex", 70,
                     "Chip not locked\nERROR:  Can't open file 'sn.txt'\nERROR:  Permission denied\n", true, true});
    cases.push_back({"read-only target file", readOnly("board.vchip"), "-e -wp code.hex", 70,
                     "ERROR:  Can't open virtual target './board.vchip' for writing\nERROR:  Permission denied\n",
                     false, true});
    // The EEPROM copy must be on disk before the erase: where it cannot be, the chip is not erased.
    cases.push_back({"EEPROM save in a directory that cannot be written", lockedDirectory, "-p../board.vchip -e- -w ../code.hex", 50,
                     "Reading 512 bytes from DATA memory\n"
                     "ERROR:  Can't save EEPROM to HEX-file \"(eeprom).sav\", chip not erased\n"
                     "ERROR:  Permission denied\n",
                     true, true, "locked"});

    std::vector<fs::path> places;
    std::vector<std::map<std::string, std::string>> before;
    std::vector<Outcome> outcomes(cases.size());
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < cases.size(); ++i) {
        places.push_back(prepare("file-case-" + std::to_string(i), *baseTarget(Wiring)));
        if (cases[i].unprivileged) openToEveryone(places[i]);
        cases[i].spoil(places[i]);
        before.push_back(snapshot(places[i]));
        jobs.push_back([&, i] {
            const std::vector<std::string> args = command(Wiring, cases[i].args);
            const fs::path workDir = places[i] / cases[i].workDir;
            RunOptions options;
            options.fileSizeLimit = cases[i].fileSizeLimit;
            outcomes[i] = cases[i].unprivileged ? runAsNobody(workDir, args) : runProgram(workDir, args, options);
        });
    }
    runAll(jobs);

    for (size_t i = 0; i < cases.size(); ++i) {
        const FileCase& c = cases[i];
        SCOPED_TRACE(c.name);
        const Outcome& outcome = outcomes[i];
        if (outcome.status == Unreachable) {
            std::cout << "[ SKIPPED  ] " << c.name << ": user nobody cannot reach the build\n";
            continue;
        }
        EXPECT_EQ(outcome.signal, 0);
        EXPECT_EQ(outcome.status, c.status) << outcome.out;
        EXPECT_TRUE(endsWith(outcome.out, c.ending)) << outcome.out;
        EXPECT_EQ(contains(outcome.out, "All OK"), c.status == 0);
        // Every file as it was, no file left behind; only a sound target file records the run.
        std::map<std::string, std::string> after = snapshot(places[i]);
        std::map<std::string, std::string> expected = before[i];
        if (c.targetUsed) {
            ASSERT_EQ(after.count("board.vchip"), 1u);
            after.erase("board.vchip");
            expected.erase("board.vchip");
            const auto target = loadVirtualTarget((places[i] / "board.vchip").string());
            EXPECT_EQ(target->runCount, 1u);
            EXPECT_FALSE(target->lastRun.power.on);
            EXPECT_FALSE(target->lastRun.enable.on);
            EXPECT_TRUE(target->lastRun.ledError.on);
            EXPECT_EQ(target->flash, flash);
            EXPECT_EQ(target->eeprom, eeprom);
        }
        EXPECT_EQ(after, expected);
    }
}

}  // namespace
}  // namespace mervex::test
