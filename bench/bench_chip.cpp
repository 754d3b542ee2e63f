// A full mega8 flash write and read through the chip protocol, the real
// LptAdapter and the virtual port: port accesses per programmed byte and host
// CPU time per port access (the simulated chip's own cost included). Delays
// run on a manual clock, so only the work is measured.
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"
#include "adapter/SckTiming.h"
#include "chip/ChipDescriptor.h"
#include "chip/ChipSession.h"
#include "console/Console.h"
#include "sim/VirtualPort.h"
#include "sim/VirtualTarget.h"
#include "support/ManualClock.h"

namespace {

using namespace mervex;

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

struct Rig {
    ManualClock clock;  // declared first: it outlives the adapter that waits on it
    ChipSession session;
    VirtualPort* port = nullptr;  // owned by the adapter, which the session owns
};

std::unique_ptr<Rig> makeRig(const char* chipName, uint32_t clockHz, const ChipOptions& options) {
    auto rig = std::make_unique<Rig>();
    rig->session = ChipSession(chipName, options);
    std::unique_ptr<VirtualTarget> target = newVirtualTarget(chipName);
    target->clockHz = clockHz;
    auto port = std::make_unique<VirtualPort>(std::move(target), rig->clock);
    rig->port = port.get();
    PinMap map = builtinPinMap(AdapterType::Default);
    std::swap(map.entry(SignalId::Reset).setMask, map.entry(SignalId::Reset).clearMask);
    SckCycles cycles = sckTimingCycles(rig->session.selectedChip(), clockHz, 1);
    SckTiming timing = deriveSckTiming(clockHz, false, SckPeriods{cycles.low, cycles.high});
    rig->session.attachProgrammer(
        std::make_unique<LptAdapter>(std::move(port), std::make_unique<PinMap>(map), timing, rig->clock));
    return rig;
}

struct Phase {
    uint64_t accesses;
    double cpu;
    double modelledUs;
};

template <typename Work>
Phase measure(Rig& rig, Work work) {
    rig.port->finishRun();
    uint64_t accesses = rig.port->target().lastRun.accesses();
    double modelled = rig.port->modelledUs();
    double start = cpuMs();
    work();
    double cpu = cpuMs() - start;
    rig.port->finishRun();
    return Phase{rig.port->target().lastRun.accesses() - accesses, cpu, rig.port->modelledUs() - modelled};
}

void report(const char* label, size_t bytes, const Phase& p) {
    std::printf("%-22s %7zu %11llu %10.1f %9.1f %8.1f %11.1f\n", label, bytes, (unsigned long long)p.accesses,
                double(p.accesses) / double(bytes), p.cpu, p.cpu * 1e6 / double(p.accesses), p.modelledUs / 1000);
}

void run(bool polling, uint32_t clockHz) {
    ChipOptions options;
    options.pollRequested = polling;
    std::unique_ptr<Rig> rig = makeRig("mega8", clockHz, options);
    ChipSession& session = rig->session;
    session.programmer()->enableAdapter();
    session.connectChip();
    session.eraseChip();

    const size_t size = size_t(session.flashSize());
    std::vector<uint8_t> image(size);
    std::mt19937 random(1);
    for (uint8_t& b : image) b = uint8_t(random() | 1);  // no 0xFF: every byte is programmed

    Phase write = measure(*rig, [&] {
        session.beginWritePass(MemoryKind::Code);
        for (size_t a = 0; a < size; ++a) session.writeMemoryByte(MemoryKind::Code, uint32_t(a), image[a]);
        session.commitOpenPage(MemoryKind::Code);
    });
    std::vector<uint8_t> back(size);
    Phase read = measure(*rig, [&] {
        session.beginMemoryPass();
        for (size_t a = 0; a < size; a += 512)
            session.readMemoryBlock(MemoryKind::Code, back.data() + a, uint32_t(a), 512);
    });
    if (back != image) std::printf("read-back differs!\n");

    char label[40];
    std::snprintf(label, sizeof label, "write %s %2uMHz", polling ? "polling" : "fixed  ", unsigned(clockHz / 1000000));
    report(label, size, write);
    std::snprintf(label, sizeof label, "read          %2uMHz", unsigned(clockHz / 1000000));
    report(label, size, read);
    Phase total{write.accesses + read.accesses, write.cpu + read.cpu, write.modelledUs + read.modelledUs};
    report("write + read", size, total);
    session.programmer()->disableAdapter();
}

}  // namespace

int main() {
    console().level = LevelWarning;
    std::printf("mega8 flash (8 KiB) through LptAdapter on the virtual port, vuder cable, 1 us per access\n");
    std::printf("%-22s %7s %11s %10s %9s %8s %11s\n", "phase", "bytes", "accesses", "acc/byte", "CPU ms", "ns/acc",
                "modelled ms");
    run(false, 8000000);
    run(true, 8000000);
    run(false, 1000000);
    return 0;
}
