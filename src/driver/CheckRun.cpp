#include "driver/CheckRun.h"

#include <string>

#include "adapter/GpioSetup.h"
#include "adapter/MisoProbe.h"
#include "base/TextUtil.h"
#include "chip/ClockFuses.h"
#include "chip/ChipConnection.h"
#include "chip/SpeedSweep.h"
#include "console/Console.h"
#include "console/Units.h"
#include "driver/AdapterRequest.h"
#include "driver/CheckVerdict.h"
#include "driver/LptCheck.h"

namespace mervex {

namespace {

// With RESET held, what MISO does while program enable goes out. A line stuck
// high or following MOSI is the fault; a line stuck low may be a chip that
// is only too slow for this SCK, which the speeds tell.
MisoLine checkTarget(IspLink& link) {
    const MisoLine line = probeMiso(link);
    reportStep("Target", std::string("with RESET held and MOSI and SCK moving, ") + misoLineText(line));
    if (line == MisoLine::StuckHigh)
        throw checkFailed("target", ExitSync,
                          "give the target its supply and check the ISP connector and its MISO pin (a signature "
                          "read now would be FFFFFF, which is no answer)");
    if (line == MisoLine::FollowsMosi)
        throw checkFailed("target", ExitSync, "swap MOSI and MISO at the connector, or clear the short between them");
    return line;
}

// What a signature that names no chip of the table tells.
std::string signatureMeaning(uint32_t signature) {
    if (signature == 0x000000 || signature == 0xFFFFFF)
        return formatText("the signature %06X is no real answer: check the target's supply and that the chip has "
                          "a clock", unsigned(signature));
    if (signature == ProtectedSignature)
        return "the chip looks protected: only an erase (-e) unprotects it, and it clears the flash and the EEPROM";
    return "no chip of the table has this signature: name the chip with + and add -! to go on as that chip";
}

std::string fuseClockText(const FuseClock& clock) {
    if (clock.cksel < 0) return "the fuses do not say (no CKSEL read)";
    std::string text = formatText("the fuses select CKSEL=%d", clock.cksel);
    if (clock.hz == 0) return text + ", an external clock or crystal whose frequency -o must give";
    char frequency[UnitTextSize];
    text += formatText(", the internal oscillator: %s", formatFrequency(clock.hz, UnitHz, frequency));
    if (clock.divided) text += " (divided by 8: CKDIV8 programmed)";
    return text;
}

// The speeds from the one -o asks for down: the fastest steady one, the
// chip's signature and what it is.
SpeedAnswer checkChip(const Request& request, ChipSession& session, MisoLine line) {
    Programmer& programmer = *session.programmer();
    const SpeedAnswer answer =
        sweepSpeeds(programmer, session.selectedChip(), request.oscillatorHz, request.frequencyIsSck);
    const std::string asked = clockSwitch(request.oscillatorHz, request.frequencyIsSck);
    if (!answer.answered) {
        reportStep("Chip", "no steady answer to program enable from " + asked + " down to " +
                               clockSwitch(SlowestOscillatorHz, request.frequencyIsSck));
        if (line == MisoLine::StuckLow)
            throw checkFailed("target", ExitSync,
                              "give the chip a clock (a clock fuse set to a crystal or an external clock that is "
                              "not there stops it) and see that MISO is not shorted to ground (a signature read "
                              "now would be 000000, which is no answer)");
        throw checkFailed("target", ExitSync,
                          "the chip answers but never enters programming mode: see that RESET reaches it and that "
                          "its fuses keep serial programming on (SPIEN, RSTDISBL, DWEN)");
    }
    char sck[UnitTextSize];
    reportStep("Chip", formatText("answers steadily at %s (SCK %s), signature 0x%06X",
                                  clockSwitch(answer.frequencyHz, request.frequencyIsSck).c_str(),
                                  formatFrequency(programmer.sckFrequency(), UnitMHz, sck),
                                  unsigned(answer.signature)));
    session.connectChip();
    if (session.detectedIndex() < 0)
        throw checkFailed("target", ExitIdentity, signatureMeaning(answer.signature));
    const char* requested = session.selection().requestedName;
    const ChipDescriptor& chip = session.selectedChip();
    if (requested != nullptr && !nameMatches(requested, chip.names))
        throw checkFailed("target", ExitIdentity,
                          formatText("the chip is a %s: name it +%s", primaryChipName(chip).c_str(),
                                     primaryChipName(chip).c_str()));
    return answer;
}

// The clock the fuses select, and the fastest -o at which the chip answers:
// the fuses' clock where the chip answers at it, else the speed found.
void checkClock(const Request& request, ChipSession& session, const SpeedAnswer& answer) {
    session.readFuses();
    const ChipDescriptor& chip = session.selectedChip();
    const FuseClock clock = clockSelectedByFuses(chip, session.fuses());
    reportStep("Clock", fuseClockText(clock));
    const std::string name = primaryChipName(chip);
    if (answer.frequencyHz < request.oscillatorHz) {
        const std::string works = clockSwitch(answer.frequencyHz, request.frequencyIsSck);
        throw checkFailed("clock", ExitSync,
                          formatText("the chip answers only at %s or slower: use +%s %s", works.c_str(), name.c_str(),
                                     works.c_str()));
    }
    uint32_t use = answer.frequencyHz;
    Programmer& programmer = *session.programmer();
    uint32_t signature = 0;
    if (!request.frequencyIsSck && clock.hz > use && setLinkSpeed(programmer, chip, clock.hz, false)) {
        programmer.pulseReset();
        if (answersSteadily(programmer, signature) && signature == answer.signature) use = clock.hz;
    }
    message(LevelInfo, "Result: OK\nUse: +%s %s\n", name.c_str(), clockSwitch(use, request.frequencyIsSck).c_str());
}

// The programmer on GPIO lines: no registers to read back and no loop-backs,
// so the steps on the ISP link tell.
std::unique_ptr<Programmer> gpioProgrammer(const AdapterSettings& settings, Clock& clock) {
    std::unique_ptr<Programmer> programmer;
    try {
        programmer = createAdapter(settings, clock);
    } catch (const app_error& failure) {
        throw portFailed(failure);
    }
    reportStep("Port", "GPIO lines of " + *settings.portSpec + " requested");
    return programmer;
}

}  // namespace

void runCheck(const Request& request, const PortBackends& backends, Clock& clock, RunState& state) {
    ChipSession& session = state.session;
    AdapterSettings settings = adapterSettingsOf(request, session.selectedChip(), backends);
    if (settings.portSpec && namesGpioChip(*settings.portSpec, backends)) {
        session.attachProgrammer(gpioProgrammer(settings, clock));
    } else {
        std::unique_ptr<ParallelPort> port = checkPort(settings, clock);
        checkCable(*port, settings, clock);
        session.attachProgrammer(wiredAdapter(std::move(port), settings, clock));
    }
    Programmer& programmer = *session.programmer();
    programmer.enableAdapter();
    const MisoLine line = checkTarget(programmer);
    const SpeedAnswer answer = checkChip(request, session, line);
    checkClock(request, session, answer);
}

}  // namespace mervex
