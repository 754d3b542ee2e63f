#include "adapter/GpioSetup.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "adapter/GpioAdapter.h"
#include "adapter/GpioChip.h"
#include "adapter/GpioWiring.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "console/Units.h"

namespace mervex {

namespace {

constexpr const char* ChipFilePrefix = "gpiochip";

// -p's text without what follows a comma: a forced port cycle time, which
// means nothing to a GPIO chip either.
std::string chipOf(const std::string& text) { return text.substr(0, text.find(',')); }

const PortBackend* gpioBackendOf(const std::string& text, const PortBackends& backends) {
    for (const PortBackend* backend : backends)
        if (backend->servesGpio(text)) return backend;
    return nullptr;
}

// The kernel's names of all the chip's lines.
std::vector<std::string> lineNames(const GpioChip& chip) {
    std::vector<std::string> names;
    for (uint32_t offset = 0; offset < chip.lineCount(); ++offset) names.push_back(chip.lineInfo(offset).name);
    return names;
}

bool hasNamedLines(const GpioWiring& wiring, const std::vector<std::string>& names) {
    for (const auto& lines : wiring.lines)
        for (const GpioLineName& line : lines)
            if (isLineNumber(line.line) || std::find(names.begin(), names.end(), line.line) == names.end()) return false;
    return true;
}

// With no chip named, the first chip that has every line of the wiring by
// its name, so that chips numbered anew need no change of the command.
std::unique_ptr<GpioChip> findChip(GpioIo& io, const GpioWiring& wiring) {
    for (const auto& lines : wiring.lines)
        for (const GpioLineName& line : lines)
            if (isLineNumber(line.line)) {
                throw app_error(ExitUsage, "-p%s finds lines by their names; line %s needs its chip named\n",
                                AnyGpioChip, line.line.c_str())
                    .then(LevelInfo, "Hint: name the chip (-p/dev/gpiochip0) or the line (GPIO" + line.line + ")\n");
            }
    const std::vector<std::string> paths = io.chipPaths();
    std::string searched;
    for (const std::string& path : paths) {
        auto chip = std::make_unique<GpioChip>(io, path);
        if (hasNamedLines(wiring, lineNames(*chip))) return chip;
        searched += " " + path;
    }
    throw app_error(ExitSystem, "No GPIO chip has all the lines of '%s'\n", wiring.name())
        .then(LevelInfo, searched.empty() ? std::string("Hint: this system shows no GPIO chips\n")
                                          : "Hint: searched" + searched + "; the wiring names its lines as the kernel does\n");
}

std::string describeLine(uint32_t offset, const std::string& name) {
    return name.empty() ? formatText("line %u", unsigned(offset)) : formatText("'%s' (line %u)", name.c_str(), unsigned(offset));
}

// Every line of the wiring by its offset, checked to be free.
std::vector<GpioLine> resolveLines(const GpioChip& chip, const GpioWiring& wiring) {
    const std::vector<std::string> names = lineNames(chip);
    std::vector<GpioLine> lines;
    for (size_t s = 0; s < SignalCount; ++s) {
        for (const GpioLineName& written : wiring.lines[s]) {
            uint32_t offset = 0;
            if (isLineNumber(written.line)) {
                offset = uint32_t(std::strtoul(written.line.c_str(), nullptr, 10));
                if (offset >= chip.lineCount()) {
                    throw app_error(ExitSystem, "GPIO chip `%s' has no line %s (it has lines 0 to %u)\n",
                                    chip.path().c_str(), written.line.c_str(), unsigned(chip.lineCount()) - 1);
                }
            } else {
                const auto found = std::find(names.begin(), names.end(), written.line);
                if (found == names.end()) {
                    throw app_error(ExitSystem, "GPIO chip `%s' has no line named '%s'\n", chip.path().c_str(),
                                    written.line.c_str());
                }
                offset = uint32_t(found - names.begin());
            }
            for (const GpioLine& earlier : lines)
                if (earlier.offset == offset) {
                    throw app_error(ExitUsage, "adapter: GPIO %s is wired to both '%s' and '%s'\n",
                                    describeLine(offset, names[offset]).c_str(), signalInfo(earlier.signal).name,
                                    signalInfo(SignalId(s)).name);
                }
            const GpioLineInfo info = chip.lineInfo(offset);
            if (info.used) {
                throw app_error(ExitSystem, "GPIO %s of `%s' is in use by '%s'\n",
                                describeLine(offset, info.name).c_str(), chip.path().c_str(),
                                info.consumer.empty() ? "an unnamed user" : info.consumer.c_str())
                    .then(LevelInfo, "Hint: stop the program or driver that holds it (a device-tree overlay such as "
                                     "spi0 holds its pins), or wire the signal to a free line\n");
            }
            message(LevelDebug, "%s on GPIO %s%s\n", signalInfo(SignalId(s)).name, written.inverted ? "~" : "",
                    describeLine(offset, info.name).c_str());
            lines.push_back({SignalId(s), offset, written.inverted});
        }
    }
    return lines;
}

}  // namespace

bool namesGpioChip(const std::string& portSpec, const PortBackends& backends) {
    const std::string text = chipOf(portSpec);
    const size_t slash = text.rfind('/');
    const std::string file = slash == std::string::npos ? text : text.substr(slash + 1);
    return text == AnyGpioChip || file.compare(0, std::string(ChipFilePrefix).size(), ChipFilePrefix) == 0 ||
           gpioBackendOf(text, backends) != nullptr;
}

GpioWiring gpioWiringOf(const AdapterSettings& settings) {
    const UserPinMap& source = settings.userPinMap;
    if (settings.type != AdapterType::UserMap || (source.entries.empty() && source.file.empty())) {
        throw app_error(ExitUsage, "`%s' is a GPIO chip: its wiring is a pin map of GPIO lines\n",
                        settings.portSpec.value_or(AnyGpioChip).c_str())
            .then(LevelInfo, "Hint: -am=rpi for the Raspberry Pi's SPI0 pins with RESET on GPIO25, or "
                             "-am:mosi=GPIO10:miso=GPIO9:sck=GPIO11:reset=GPIO25\n");
    }
    return loadGpioWiring(source);
}

std::unique_ptr<Programmer> createGpioAdapter(const AdapterSettings& settings, Clock& clock, GpioIo& io) {
    const std::string portSpec = settings.portSpec.value_or(AnyGpioChip);
    const std::string text = chipOf(portSpec);
    if (text != portSpec) message(LevelWarning, "Forced cycle time will be ignored\n");
    // The wiring is checked before anything is opened.
    const GpioWiring wiring = gpioWiringOf(settings);
    message(LevelInfo, "Adapter '%s'\n", wiring.name());
    if (settings.oscillatorHz == 0) {
        throw app_error(ExitUsage, "Can't generate XTAL, %s has no XTAL output\n", wiring.name());
    }

    std::unique_ptr<GpioIo> simulated;
    if (const PortBackend* backend = gpioBackendOf(text, settings.portBackends)) simulated = backend->openGpio(text);
    GpioIo& chipIo = simulated ? *simulated : io;
    auto chip = text == AnyGpioChip ? findChip(chipIo, wiring) : std::make_unique<GpioChip>(chipIo, text);
    const std::vector<GpioLine> lines = resolveLines(*chip, wiring);

    const SckTiming timing = deriveSckTiming(settings.oscillatorHz, settings.frequencyIsSck, settings.sckPeriods);
    auto adapter =
        std::make_unique<GpioAdapter>(std::move(simulated), std::move(chip), lines, timing, wiring.name(), clock);
    message(LevelDebug, "GPIO update cycle %s\n", formatTime(adapter->cycleTime(), UnitUs));
    reportSckTiming(settings, timing, adapter->sckFrequency());
    return adapter;
}

}  // namespace mervex
