#include "chip/SpeedSweep.h"

#include <algorithm>

#include "chip/ChipConnection.h"
#include "chip/IspInstruction.h"
#include "console/SignalMonitor.h"

namespace mervex {

namespace {

// The signature, or false at a wrong echo: a sweep judges, it does not fail.
bool readSignatureOnce(IspLink& link, uint32_t& signature) {
    signature = 0;
    for (uint8_t n = 0; n < 3; ++n) {
        const IspInstruction command = isp::readSignature(n);
        const IspInstruction reply = link.exchange(command);
        if (reply[1] != command[0]) return false;
        signature = (signature << 8) | reply[isp::DataIndex];
    }
    return true;
}

}  // namespace

bool answersSteadily(IspLink& link, uint32_t& signature) {
    if (programEnable(link) != isp::ProgramEnableAnswer) {
        link.pulseReset();
        if (programEnable(link) != isp::ProgramEnableAnswer) return false;
    }
    uint32_t first = 0;
    uint32_t second = 0;
    if (!readSignatureOnce(link, first) || !readSignatureOnce(link, second) || first != second) return false;
    signature = first;
    return true;
}

bool setLinkSpeed(IspLink& link, const ChipDescriptor& chip, uint32_t frequencyHz, bool frequencyIsSck) {
    if (frequencyHz == 0) return false;
    const SckCycles cycles = sckTimingCycles(chip, frequencyHz, 1);
    return link.setSckTiming(deriveSckTiming(frequencyHz, frequencyIsSck, SckPeriods{int(cycles.low), int(cycles.high)}));
}

SpeedAnswer sweepSpeeds(IspLink& link, const ChipDescriptor& chip, uint32_t fromHz, bool frequencyIsSck) {
    SpeedAnswer answer;
    for (uint32_t hz = fromHz;; hz = std::max(SlowestOscillatorHz, hz / 2)) {
        const bool timed = setLinkSpeed(link, chip, hz, frequencyIsSck);
        // Each speed starts from a fresh frame.
        link.pulseReset();
        if (answersSteadily(link, answer.signature)) {
            answer.answered = true;
            answer.frequencyHz = hz;
            return answer;
        }
        if (!timed || hz <= SlowestOscillatorHz) return answer;
        checkTermination();
    }
}

}  // namespace mervex
