// Whole programming runs on the virtual target: full flash and EEPROM of a few
// chips written and verified, with fixed delays and with polling; and the full
// EEPROM alone, byte by byte and by pages, fresh and written again. Prints what a
// run costs in port accesses and host CPU time, its modelled hardware time at
// 1 us per port access, and the chip's own lower bound for the same work; for
// the EEPROM also the bound of the work a page-wise run must do on this cable.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "adapter/SckTiming.h"
#include "chip/ChipConnection.h"
#include "chip/ChipDescriptor.h"
#include "console/Console.h"
#include "support/ManualClock.h"
#include "driver/RunMain.h"
#include "image/ImageFile.h"
#include "image/ImageWriter.h"
#include "image/MemoryImage.h"
#include "sim/VirtualTarget.h"
#include "sim/VirtualTargetFile.h"
#include "sim/VirtualTargetHook.h"

namespace {

using namespace mervex;
namespace fs = std::filesystem;

constexpr uint32_t ChipClockHz = 8000000;

double cpuSeconds() {
    struct timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Bytes that are never 0xFF, so that no write is skipped.
std::vector<uint8_t> contents(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
        if (b == 0xFF) b = 0x3C;
    }
    return bytes;
}

void writeHex(const fs::path& path, const std::vector<uint8_t>& bytes) {
    MemoryImage image;
    for (size_t at = 0; at < bytes.size(); at += 4096) {
        const size_t n = std::min<size_t>(4096, bytes.size() - at);
        image.append(std::make_unique<MemoryBlock>(uint32_t(at), uint32_t(n), bytes.data() + at));
    }
    ImageFile file;
    file.path = path.string();
    writeImageFile(image, file, true);
}

// One SPI bit at the fastest SCK the chip's clock allows.
double bitSeconds(const VirtualTarget& target) {
    const SckCycles cycles = sckTimingCycles(target.chip(), target.clockHz, 1);
    return double(cycles.low + cycles.high) / target.clockHz;
}

// The chip alone writing its whole EEPROM and reading it back: one write time
// per page (none when it holds the image already) and the SPI bits of loading
// every byte, committing every page and reading every byte back, at the chip's
// fastest SCK. No cable of this model clocks that fast, and the reads of each
// page before it is written are left out.
double eepromLowerBoundSeconds(const VirtualTarget& target, bool unchanged) {
    const ChipDescriptor& chip = target.chip();
    const double bytes = chip.eeprom.size;
    const double pages = unchanged ? 0 : bytes / std::max(1, chip.eeprom.pageSize);
    const double instructions = (unchanged ? 0 : bytes + pages) + bytes;
    return pages * target.busy.eepromUs * 1e-6 + instructions * 32 * bitSeconds(target);
}

// One instruction at the cable's fastest on this model: each of its 32 bits
// takes as few port accesses as the chip's shortest SCK low and high times
// allow (one each at 8 MHz and 1 us per access), and each bit the chip answers
// with one more, to read MISO: a read needs only its data byte's 8.
double instructionSeconds(const VirtualTarget& target, int answeredBits) {
    const SckCycles cycles = sckTimingCycles(target.chip(), target.clockHz, 1);
    const double cycleUs = 1e6 / target.clockHz;
    const int accessesPerBit = portWritesFor(cycles.low * cycleUs, target.accessTimeUs) +
                               portWritesFor(cycles.high * cycleUs, target.accessTimeUs);
    return (32 * accessesPerBit + answeredBits) * target.accessTimeUs * 1e-6;
}

// What no correct page-wise run can beat on this cable: the chip's write time
// per page plus the instructions the work needs, each at instructionSeconds.
// A page is read before it is written, and on a fresh chip one read shows that
// it differs; then every byte is loaded, every page written and every byte
// read back. A page is left alone only once all its bytes are read and found
// equal, so an unchanged image costs two reads of every byte and nothing else.
// Every run also waits ResetWaitMs after pulling RESET before it enables
// programming, so that wait counts; the few instructions of connecting and
// identifying the chip are left out.
double eepromWorkBoundSeconds(const VirtualTarget& target, bool unchanged) {
    const ChipDescriptor& chip = target.chip();
    const double bytes = chip.eeprom.size;
    const double pages = bytes / std::max(1, chip.eeprom.pageSize);
    const double reads = (unchanged ? bytes : pages) + bytes;
    const double writes = unchanged ? 0 : bytes + pages;
    const double busy = unchanged ? 0 : pages * target.busy.eepromUs * 1e-6;
    return ResetWaitMs * 1e-3 + busy + writes * instructionSeconds(target, 0) + reads * instructionSeconds(target, 8);
}

// The chip alone: its erase and write times plus the SPI bits of writing and
// reading back every byte at the fastest SCK its clock allows.
double lowerBoundSeconds(const VirtualTarget& target) {
    const ChipDescriptor& chip = target.chip();
    const double flash = chip.flash.size;
    const double eeprom = chip.eeprom.size;
    const double pages = chip.flash.pageSize > 0 ? flash / chip.flash.pageSize : flash;
    const double busyUs = target.busy.eraseUs + pages * target.busy.flashUs + eeprom * target.busy.eepromUs;
    const double instructions = 1 + (chip.flash.pageSize > 0 ? pages : 0) + 2 * (flash + eeprom);
    return busyUs * 1e-6 + instructions * 32 * bitSeconds(target);
}

// Sleeps take no host time: the run and its virtual port share a manual clock,
// whose waits the port counts as waited time.
int runMervex(std::vector<std::string> args) {
    args.insert(args.begin(), "mervex");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    ManualClock clock;
    const VirtualPortBackend virtualTargets(clock);
    return runMain(int(args.size()), argv.data(), {&virtualTargets}, clock);
}

void benchmark(const fs::path& dir, const char* chipName, bool polling) {
    std::unique_ptr<VirtualTarget> target = newVirtualTarget(chipName);
    target->clockHz = ChipClockHz;
    const fs::path targetPath = dir / "bench.vchip";
    saveVirtualTarget(*target, targetPath.string());
    const fs::path code = dir / "code.hex", data = dir / "data.hex";
    writeHex(code, contents(size_t(target->chip().flash.size), 1));
    writeHex(data, contents(size_t(target->chip().eeprom.size), 2));

    double cpu;
    int status;
    {
        const double start = cpuSeconds();
        status = runMervex({"+" + std::string(chipName), "-p" + targetPath.string(), "-ie", "-o8MHz", "-e",
                            polling ? "-wp" : "-w", "-v", "-c" + code.string(), "-d" + data.string()});
        cpu = cpuSeconds() - start;
    }
    std::unique_ptr<VirtualTarget> after = loadVirtualTarget(targetPath.string());
    const TargetCounters& c = after->lastRun;
    const double bytes = double(after->chip().flash.size + after->chip().eeprom.size);
    const double modelled = c.modelledUs * 1e-6;
    const double lower = lowerBoundSeconds(*after);
    std::printf("%-9s %-6s %7.0f %11llu %8.1f %10.1f %10.2f %10.2f %7.1f%s\n", chipName, polling ? "poll" : "delay",
                bytes, static_cast<unsigned long long>(c.accesses()), double(c.accesses()) / bytes,
                cpu * 1e9 / double(c.accesses()), modelled, lower, modelled / lower,
                status == 0 ? "" : "  (run failed)");
    std::fflush(stdout);
}

// The whole EEPROM written and verified without an erase, on a fresh chip and
// then once more with the same image on the chip that run left.
void eepromBenchmark(const fs::path& dir, const char* chipName, const char* write) {
    std::unique_ptr<VirtualTarget> target = newVirtualTarget(chipName);
    target->clockHz = ChipClockHz;
    const fs::path targetPath = dir / "bench.vchip";
    saveVirtualTarget(*target, targetPath.string());
    const fs::path data = dir / "data.hex";
    writeHex(data, contents(size_t(target->chip().eeprom.size), 3));
    for (const char* pass : {"fresh", "again"}) {
        const int status = runMervex({"+" + std::string(chipName), "-p" + targetPath.string(), "-ie", "-o8MHz",
                                      write, "-v", "-d" + data.string()});
        std::unique_ptr<VirtualTarget> after = loadVirtualTarget(targetPath.string());
        const TargetCounters& c = after->lastRun;
        const double modelled = c.modelledUs * 1e-6;
        const bool unchanged = pass[0] == 'a';
        const double lower = eepromLowerBoundSeconds(*after, unchanged);
        const double work = eepromWorkBoundSeconds(*after, unchanged);
        std::printf("%-9s %-5s %-6s %6d %7llu %7llu %7llu %10.3f %10.3f %7.2f %10.3f %7.2f%s\n", chipName, write,
                    pass, after->chip().eeprom.size, static_cast<unsigned long long>(c.writes),
                    static_cast<unsigned long long>(c.isp[0xA0]), static_cast<unsigned long long>(c.instructions()),
                    modelled, lower, modelled / lower, work, modelled / work, status == 0 ? "" : "  (run failed)");
        std::fflush(stdout);
    }
}

// The production job a bench repeats all day: a 4.4 KB firmware on a mega8,
// erase, write with polling and verify. Its port accesses follow from the ISP
// instruction stream alone, so a change here means the run sends more.
constexpr size_t ProductionImageBytes = 4480;
// The job's accesses as main sends them. Update it, with the reason in the
// commit, only when a change is meant to send more (or sends less).
constexpr unsigned long long ProductionJobAccesses = 739208;
constexpr double AllowedGrowth = 1.01;

struct JobFigures {
    int status;
    TargetCounters counters;
};

JobFigures runJob(const fs::path& targetPath, const std::vector<std::string>& args) {
    JobFigures figures;
    figures.status = runMervex(args);
    figures.counters = loadVirtualTarget(targetPath.string())->lastRun;
    return figures;
}

void printJob(const char* name, const JobFigures& job) {
    std::printf("%-22s %11llu %7llu %10.3f%s\n", name, static_cast<unsigned long long>(job.counters.accesses()),
                static_cast<unsigned long long>(job.counters.instructions()), job.counters.modelledUs * 1e-6,
                job.status == 0 ? "" : "  (run failed)");
    std::fflush(stdout);
}

// The production job's first run through a GPIO wiring against the LPT
// adapter at the same cost per access: at -o8MHz (one port write per SCK
// phase) and at the default 800 kHz, where the LPT holds each phase with
// repeated writes and GPIO updates once per edge and waits.
void gpioBenchmark(const fs::path& dir, const fs::path& code, const JobFigures& lpt8MHz) {
    std::unique_ptr<VirtualTarget> target = newVirtualTarget("mega8");
    target->clockHz = ChipClockHz;
    const fs::path lptPath = dir / "production-lpt.vchip", gpioPath = dir / "production-gpio.vchip";
    saveVirtualTarget(*target, lptPath.string());
    target->cable = "gpio";
    saveVirtualTarget(*target, gpioPath.string());
    const std::string rpi = "-am:name=rpi:mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=GPIO25";
    auto job = [&](const fs::path& path, const std::string& wiring, const char* clock) {
        std::vector<std::string> args = {"+mega8", "-p" + path.string(), "-ie", "-e", "-wp", "-v", code.string()};
        if (!wiring.empty()) args.push_back(wiring);
        if (clock[0] != '\0') args.push_back(clock);
        return runJob(path, args);
    };
    const JobFigures gpio8MHz = job(gpioPath, rpi, "-o8MHz");
    printJob("the same through GPIO", gpio8MHz);
    const JobFigures lpt = job(lptPath, "", ""), gpio = job(gpioPath, rpi, "");
    printJob("LPT, default -o", lpt);
    printJob("GPIO, default -o", gpio);
    std::printf("%-22s %21.2f %8.2f of the LPT run's time (-o8MHz, default -o)\n", "GPIO",
                gpio8MHz.counters.modelledUs / lpt8MHz.counters.modelledUs, gpio.counters.modelledUs / lpt.counters.modelledUs);
}

void productionBenchmark(const fs::path& dir) {
    std::unique_ptr<VirtualTarget> target = newVirtualTarget("mega8");
    target->clockHz = ChipClockHz;
    const fs::path targetPath = dir / "production.vchip";
    saveVirtualTarget(*target, targetPath.string());
    const fs::path code = dir / "firmware.hex";
    writeHex(code, contents(ProductionImageBytes, 4));
    auto job = [&](const char* write) {
        return runJob(targetPath, {"+mega8", "-p" + targetPath.string(), "-ie", "-o8MHz", "-e", write, "-v",
                                   code.string()});
    };
    const JobFigures full = job("-wp");
    printJob("erase + write + verify", full);
    gpioBenchmark(dir, code, full);
    printJob("the same image again", job("-wp"));
    const JobFigures same = job("-wps");
    printJob("again, -wps", same);
    std::printf("%-22s %30.2f of the full run's time\n", "-wps", same.counters.modelledUs / full.counters.modelledUs);
    const unsigned long long accesses = full.counters.accesses();
    if (double(accesses) > double(ProductionJobAccesses) * AllowedGrowth)
        std::printf("*** REGRESSION: %llu port accesses, %.1f %% more than the %llu recorded for main ***\n",
                    accesses, (double(accesses) / double(ProductionJobAccesses) - 1) * 100, ProductionJobAccesses);
}

}  // namespace

int main() {
    char pattern[] = "/tmp/mervex-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir(pattern);
    // Run reports out of the table; errors still reach standard error.
    std::FILE* quiet = std::fopen("/dev/null", "w");
    if (quiet == nullptr) return 1;
    console().redirect(quiet, stderr, false, isatty(2) != 0);
    console().progressMode = 0;
    std::printf("Full flash and EEPROM, erase + write + verify, chip clock %u MHz, 1 us per port access\n",
                unsigned(ChipClockHz / 1000000));
    std::printf("%-9s %-6s %7s %11s %8s %10s %10s %10s %7s\n", "chip", "write", "bytes", "accesses", "acc/byte",
                "ns/access", "modelled s", "chip min s", "ratio");
    for (const char* chip : {"mega8", "mega128", "mega2560"})
        for (bool polling : {false, true}) benchmark(dir, chip, polling);
    std::printf("\nFull EEPROM, write + verify without an erase: fresh, then again with the same image\n");
    std::printf("%-9s %-5s %-6s %6s %7s %7s %7s %10s %10s %7s %10s %7s\n", "chip", "write", "run", "bytes", "writes",
                "reads", "instr", "modelled s", "chip min s", "ratio", "work min s", "ratio");
    for (const char* chip : {"mega328P", "mega2560", "tiny85"})
        for (const char* write : {"-wp", "-wpe"}) eepromBenchmark(dir, chip, write);
    std::printf("\nProduction job: a %zu-byte firmware on a mega8 (recorded for main: %llu accesses)\n",
                ProductionImageBytes, ProductionJobAccesses);
    std::printf("%-22s %11s %7s %10s\n", "run", "accesses", "instr", "modelled s");
    productionBenchmark(dir);
    fs::remove_all(dir);
    console().redirect(stdout, stderr, false, false);
    std::fclose(quiet);
    return 0;
}
