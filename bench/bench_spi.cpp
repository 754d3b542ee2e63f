// Host time per SPI byte on a port that only counts its accesses: what the
// adapter itself costs between port writes, with the port's cost taken away.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "adapter/BuiltinCables.h"
#include "adapter/LptAdapter.h"

namespace {

using namespace mervex;

class CountingPort : public ParallelPort {
public:
    explicit CountingPort(double cycleTime) { cycleTime_ = cycleTime; }
    uint8_t readRegister(PortRegister reg) override {
        ++reads;
        return reg == PortRegister::Status ? uint8_t(reads & 0x40) : last;
    }
    void writeRegister(PortRegister, uint8_t value) override {
        ++writes;
        last = value;
    }
    void writeDataSequence(const uint8_t* values, size_t count) override {
        ++calls;
        writes += count;
        last = values[count - 1];
    }
    uint64_t reads = 0, writes = 0, calls = 0;
    uint8_t last = 0;
};

struct Result {
    double nsPerByte;
    double writesPerByte;
    double readsPerByte;
};

template <typename Operation>
Result measure(const char* label, SckTiming timing, Operation operation) {
    PinMap map = builtinPinMap(AdapterType::Default);
    std::swap(map.entry(SignalId::Reset).setMask, map.entry(SignalId::Reset).clearMask);
    auto owned = std::make_unique<CountingPort>(1.0);
    CountingPort* port = owned.get();
    SystemClock clock;
    LptAdapter adapter(std::move(owned), std::make_unique<PinMap>(map), timing, clock);

    constexpr int Bytes = 2000000;
    port->reads = port->writes = port->calls = 0;
    volatile uint8_t sink = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Bytes; ++i) sink = uint8_t(sink + operation(adapter, uint8_t(i)));
    auto stop = std::chrono::steady_clock::now();
    double ns = std::chrono::duration<double, std::nano>(stop - start).count() / Bytes;
    Result r{ns, double(port->writes) / Bytes, double(port->reads) / Bytes};
    std::printf("%-14s L+H=%-3zu %8.1f ns/byte  %5.1f writes/byte  %4.1f reads/byte  %6.2f ns per access\n", label,
                adapter.bitSequenceLength(), r.nsPerByte, r.writesPerByte, r.readsPerByte,
                r.nsPerByte / (r.writesPerByte + r.readsPerByte));
    return r;
}

}  // namespace

int main() {
    std::printf("Host time per SPI byte on a counting port (no device behind it).\n");
    std::printf("Figures are the adapter's own cost; a real port adds cycleTime per write.\n\n");
    const SckTiming timings[] = {{0.5, 0.5}, {2.625, 2.625}, {5.25, 17.85}};
    for (const SckTiming& t : timings) {
        measure("transferByte", t, [](LptAdapter& a, uint8_t b) { return a.transferByte(b); });
        measure("sendByte", t, [](LptAdapter& a, uint8_t b) {
            a.sendByte(b);
            return uint8_t(0);
        });
        measure("receiveByte", t, [](LptAdapter& a, uint8_t) { return a.receiveByte(); });
    }
    return 0;
}
