#include "vchip/VchipTool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/Console.h"
#include "console/Errors.h"
#include "console/Units.h"
#include "sim/TargetHex.h"
#include "sim/TargetSettings.h"
#include "sim/VirtualTargetFile.h"

namespace mervex {

namespace {

const char* const UsageText =
    "Usage: mervex-vchip COMMAND ARGUMENTS\n"
    "A virtual AVR target for mervex: one file holds a simulated chip and the cable in front of it.\n"
    "Program it with mervex -p./FILE (a path with a '/'), e.g. mervex -p./board.vchip +mega8 -e -w code.hex\n"
    "\n"
    "Commands:\n"
    "  new CHIP FILE [SETTING=VALUE...] [--force]  create FILE with an erased chip (--force: replace FILE)\n"
    "  show FILE                                   chip, configuration, faults and the last run\n"
    "  dump FILE flash|eeprom OUT [hex|bin]        write a memory to an Intel HEX or binary file\n"
    "  load FILE flash|eeprom IN [hex|bin]         erase a memory and fill it from a HEX or binary file\n"
    "  set FILE SETTING=VALUE...                   change settings\n"
    "  --help                                      this text\n"
    "Without hex or bin, a file name ending in .bin is binary, any other Intel HEX.\n"
    "\n"
    "Settings:\n";

[[noreturn]] void usageError(const std::string& text) {
    throw app_error(ExitUsage, "%s\n", text.c_str()).then(LevelInfo, "Try mervex-vchip --help\n");
}

std::string withoutDashes(const std::string& text) { return text.compare(0, 2, "--") == 0 ? text.substr(2) : text; }

void applySettings(VirtualTarget& target, const std::vector<std::string>& items) {
    for (const std::string& raw : items) {
        std::string item = withoutDashes(raw);
        size_t equals = item.find('=');
        if (equals == std::string::npos || equals == 0) usageError("Expected SETTING=VALUE, found '" + raw + "'");
        if (item.compare(0, 5, "last.") == 0 || item.compare(0, equals, "chip") == 0)
            usageError("'" + item.substr(0, equals) + "' can't be set");
        applyTargetSetting(target, item.substr(0, equals), item.substr(equals + 1));
    }
}

std::vector<uint8_t>& selectMemory(VirtualTarget& target, const std::string& name) {
    if (name == "flash") return target.flash;
    if (name == "eeprom") return target.eeprom;
    usageError("Unknown memory '" + name + "' (flash or eeprom)");
}

bool binaryFormat(const std::string& file, const std::string& format) {
    if (format == "bin") return true;
    if (format == "hex") return false;
    if (!format.empty()) usageError("Unknown file format '" + format + "' (hex or bin)");
    return file.size() > 4 && file.compare(file.size() - 4, 4, ".bin") == 0;
}

int commandNew(const std::vector<std::string>& args) {
    if (args.size() < 2) usageError("new needs a chip name and a file name");
    bool force = false;
    std::vector<std::string> settings;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--force" || args[i] == "-f") force = true;
        else settings.push_back(args[i]);
    }
    auto target = newVirtualTarget(args[0]);
    if (!target) usageError("Unknown chip '" + args[0] + "'");
    applySettings(*target, settings);
    target->holdStuckBit();
    struct stat st {};
    if (!force) {
        // Taken only where the name is free: of two creating one file, the second fails.
        if (!createVirtualTarget(*target, args[1])) usageError("'" + args[1] + "' exists; remove it or add --force");
    } else if (::stat(args[1].c_str(), &st) == 0) {
        // Not under a run that uses it.
        LockedFile held = holdVirtualTarget(args[1]);
        saveVirtualTarget(*target, args[1], &held);
    } else {
        saveVirtualTarget(*target, args[1]);
    }
    message(LevelInfo, "Virtual %s written to '%s'\n", target->chip().names, args[1].c_str());
    return ExitOk;
}

size_t programmedBytes(const std::vector<uint8_t>& memory) {
    size_t n = 0;
    for (uint8_t b : memory) n += b != 0xFF;
    return n;
}

std::string faultText(const TargetFaults& f) {
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    char buffer[64];
    if (f.outOfStepBits) add("out of step by " + std::to_string(f.outOfStepBits) + " bits");
    if (f.noProgramEnable) add("never enters programming mode");
    if (f.wrongEchoAt) add("wrong echo at instruction " + std::to_string(f.wrongEchoAt));
    if (f.stuckWriteAt) add("write " + std::to_string(f.stuckWriteAt) + " never completes");
    if (f.stuckBit) {
        std::snprintf(buffer, sizeof buffer, "flash bit %u at 0x%X stuck at %u", unsigned(f.stuckBitNumber),
                      unsigned(f.stuckBitAddress), f.stuckBitLevel ? 1u : 0u);
        add(buffer);
    }
    if (f.signatureOverride) {
        std::snprintf(buffer, sizeof buffer, "answers signature %06X", unsigned(f.signature));
        add(buffer);
    }
    if (f.signalAt) {
        std::snprintf(buffer, sizeof buffer, "signal %d after instruction %u", f.signalNumber, unsigned(f.signalAt));
        add(buffer);
    }
    return text.empty() ? "none" : text;
}

std::string lineText(const char* name, const TargetLineRecord& line) {
    if (!line.present) return "";
    return std::string(name) + (line.on ? " on" : " off") + " (on " + std::to_string(line.switchedOn) + "x)";
}

void showLastRun(const TargetCounters& c) {
    message(LevelInfo, "Last run:\n");
    message(LevelInfo,
            "  port accesses    %" PRIu64 " (data writes %" PRIu64 " in %" PRIu64 " series, data reads %" PRIu64
            ", status reads %" PRIu64 ", control reads %" PRIu64 ", control writes %" PRIu64 ")\n",
            c.accesses(), c.dataWrites, c.sequences, c.dataReads, c.statusReads, c.controlReads, c.controlWrites);
    std::string byOpcode;
    char buffer[48];
    for (unsigned op = 0; op < 256; ++op) {
        if (!c.isp[op]) continue;
        std::snprintf(buffer, sizeof buffer, "%s%02X x%" PRIu64, byOpcode.empty() ? "" : ", ", op, c.isp[op]);
        byOpcode += buffer;
    }
    message(LevelInfo, "  ISP instructions %" PRIu64 "%s%s\n", c.instructions(), byOpcode.empty() ? "" : ": ",
            byOpcode.c_str());
    message(LevelInfo, "  bits clocked     %" PRIu64 ", %" PRIu64 " SCK pulses too short for the chip\n", c.bits,
            c.missedPulses);
    message(LevelInfo, "  shortest SCK     low %u, high %u port writes\n", unsigned(c.sckLowMinWrites),
            unsigned(c.sckHighMinWrites));
    message(LevelInfo, "  writes           %" PRIu64 " started, %" PRIu64 " ignored while busy, %" PRIu64
                       " refused by the lock bits\n",
            c.writes, c.ignoredWrites, c.lockedWrites);
    if (c.eepromPages != 0) message(LevelInfo, "  EEPROM pages     %" PRIu64 " written\n", c.eepromPages);
    message(LevelInfo, "  while busy       %" PRIu64 " instructions\n", c.busyInstructions);
    message(LevelInfo, "  ignored          %" PRIu64 " instructions unlike the chip's data sheet forms\n",
            c.unknownInstructions);
    std::string lines;
    for (const std::string& part : {lineText("power", c.power), lineText("enable", c.enable),
                                    lineText("led_ok", c.ledOk), lineText("led_error", c.ledError)}) {
        if (!part.empty()) lines += (lines.empty() ? "" : ", ") + part;
    }
    message(LevelInfo, "  lines            %s\n", lines.empty() ? "none" : lines.c_str());
    message(LevelInfo, "  modelled time    %s\n", formatTime(c.modelledUs, UnitUs));
}

int commandShow(const std::vector<std::string>& args) {
    if (args.size() != 1) usageError("show needs exactly one file name");
    auto target = loadVirtualTarget(args[0]);
    const ChipDescriptor& chip = target->chip();
    char a[UnitTextSize], b[UnitTextSize], c[UnitTextSize], d[UnitTextSize];
    message(LevelInfo, "Virtual target '%s'\n", args[0].c_str());
    message(LevelInfo, "  chip             %s, signature %06X\n", chip.names, unsigned(chip.signature));
    message(LevelInfo, "  cable            %s\n", target->cable.c_str());
    if (target->clockHz == 0) message(LevelInfo, "  clock            through XTAL only\n");
    else message(LevelInfo, "  clock            %s\n", formatFrequency(double(target->clockHz), UnitHz));
    message(LevelInfo, "  access time      %s\n", formatTime(target->accessTimeUs, UnitUs));

    std::string fuses;
    const char* names[FuseByteCount] = {"", "low", "high", "ext"};
    for (int i = 1; i < FuseByteCount; ++i) {
        bool listed = chip.fuseSet && chip.fuseSet->lists[i];
        if (chip.fuseLayout == FuseNoCommands || (!listed && i != 1)) continue;
        std::snprintf(a, sizeof a, "%s %02X", names[i], unsigned(target->fuses[i]));
        fuses += (fuses.empty() ? "" : ", ") + std::string(a);
    }
    message(LevelInfo, "  fuses            %s\n", fuses.empty() ? "none (no ISP fuse commands)" : fuses.c_str());
    static const char* const levels[] = {"not locked", "locked - programming disabled",
                                         "locked - reading and programming disabled"};
    message(LevelInfo, "  lock             %02X, %s\n", unsigned(target->fuse(FuseByte::Lock)),
            levels[target->lockLevel()]);
    std::string calibration;
    for (uint8_t byte : target->calibration) {
        std::snprintf(a, sizeof a, " %02X", unsigned(byte));
        calibration += a;
    }
    message(LevelInfo, "  calibration     %s\n", calibration.empty() ? " none" : calibration.c_str());
    message(LevelInfo, "  busy times       flash %s, EEPROM %s, erase %s, fuse/lock %s\n",
            formatTime(target->busy.flashUs, UnitUs, a), formatTime(target->busy.eepromUs, UnitUs, b),
            formatTime(target->busy.eraseUs, UnitUs, c), formatTime(target->busy.fuseUs, UnitUs, d));
    message(LevelInfo, "  faults           %s\n", faultText(target->faults).c_str());
    message(LevelInfo, "  flash            %zu bytes, %zu programmed\n", target->flash.size(),
            programmedBytes(target->flash));
    message(LevelInfo, "  EEPROM           %zu bytes, %zu programmed\n", target->eeprom.size(),
            programmedBytes(target->eeprom));
    message(LevelInfo, "  erase count      %u\n", unsigned(target->eraseCount));
    message(LevelInfo, "  runs             %u\n", unsigned(target->runCount));
    if (target->runCount > 0) showLastRun(target->lastRun);
    return ExitOk;
}

// Write the whole file, or remove what was written.
void writeOutput(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        throw rtl_error(ExitSystem, "Can't create '%s'\n", path.c_str());
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        throw app_error(ExitFile, "%s - write error\n", path.c_str());
    }
}

int commandDump(const std::vector<std::string>& args) {
    if (args.size() < 3 || args.size() > 4) usageError("dump needs FILE flash|eeprom OUT [hex|bin]");
    auto target = loadVirtualTarget(args[0]);
    const std::vector<uint8_t>& memory = selectMemory(*target, args[1]);
    std::string bytes;
    if (binaryFormat(args[2], args.size() == 4 ? args[3] : "")) {
        bytes.assign(memory.begin(), memory.end());
    } else {
        for (const std::string& record : encodeHex(memory, false)) bytes += record + "\n";
    }
    writeOutput(args[2], bytes);
    return ExitOk;
}

int commandLoad(const std::vector<std::string>& args) {
    if (args.size() < 3 || args.size() > 4) usageError("load needs FILE flash|eeprom IN [hex|bin]");
    LockedFile held = holdVirtualTarget(args[0]);
    auto target = loadVirtualTarget(held, args[0]);
    std::vector<uint8_t>& memory = selectMemory(*target, args[1]);
    bool binary = binaryFormat(args[2], args.size() == 4 ? args[3] : "");
    std::FILE* file = std::fopen(args[2].c_str(), "rb");
    if (!file) {
        throw rtl_error(ExitSystem, "Can't open file '%s'\n", args[2].c_str());
    }
    std::string content;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && content.size() <= memory.size() * 4 + 65536)
        content.append(buffer, n);
    std::fclose(file);

    std::vector<uint8_t> image(memory.size(), 0xFF);
    if (binary) {
        if (content.size() > image.size()) {
            throw app_error(ExitFile, "'%s' holds %zu bytes, the %s only %zu\n", args[2].c_str(), content.size(),
                            args[1].c_str(), image.size());
        }
        std::copy(content.begin(), content.end(), image.begin());
    } else {
        HexDecoder decoder(image);
        int number = 0;
        for (size_t start = 0; start < content.size();) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos) end = content.size();
            std::string line = content.substr(start, end - start);
            start = end + 1;
            ++number;
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            try {
                decoder.feed(line);
            } catch (const app_error& failure) {
                throw failureAt(failure, ExitFile, "'" + args[2] + "', line " + std::to_string(number) + ": ");
            }
        }
        if (!decoder.ended()) {
            throw app_error(ExitFile, "'%s': no end record\n", args[2].c_str());
        }
    }
    memory = image;
    target->holdStuckBit();
    saveVirtualTarget(*target, args[0], &held);
    return ExitOk;
}

int commandSet(const std::vector<std::string>& args) {
    if (args.size() < 2) usageError("set needs a file name and SETTING=VALUE");
    LockedFile held = holdVirtualTarget(args[0]);
    auto target = loadVirtualTarget(held, args[0]);
    applySettings(*target, std::vector<std::string>(args.begin() + 1, args.end()));
    target->holdStuckBit();
    saveVirtualTarget(*target, args[0], &held);
    return ExitOk;
}

}  // namespace

int runVchipTool(int argc, const char* const argv[]) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    try {
        if (args.empty()) usageError("No command given");
        std::string command = args[0];
        args.erase(args.begin());
        if (command == "--help" || command == "-h" || command == "help") {
            // Line by line: a message has a bounded length.
            std::string text = std::string(UsageText) + targetSettingsHelp();
            for (size_t start = 0; start < text.size();) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos) end = text.size() - 1;
                message(LevelInfo, "%s", text.substr(start, end + 1 - start).c_str());
                start = end + 1;
            }
            return ExitOk;
        }
        if (command == "new") return commandNew(args);
        if (command == "show") return commandShow(args);
        if (command == "dump") return commandDump(args);
        if (command == "load") return commandLoad(args);
        if (command == "set") return commandSet(args);
        usageError("Unknown command '" + command + "'");
    } catch (const app_error& e) {
        reportFailure(e);
        return e.status();
    }
}

}  // namespace mervex
