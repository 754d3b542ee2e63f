#include "driver/CommandLine.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "adapter/PortFactory.h"
#include "base/TextUtil.h"
#include "chip/ChipDescriptor.h"
#include "console/ConfigSearch.h"
#include "console/Console.h"
#include "console/Errors.h"
#include "driver/ClockSwitch.h"
#include "driver/CodeDataCommand.h"
#include "driver/HelpText.h"

namespace mervex {

namespace {

// What follows a switch handler.
enum class Then {
    CheckRest,   // leftover characters are a switch-group error, then the value check
    CheckValue,  // the rest is ignored; only the value check
    NextArgument,
};

struct Outcome {
    const char* rest;  // first character the handler did not consume
    bool invalid;
    Then then;
};

Outcome consumed(const char* rest) { return {rest, false, Then::CheckRest}; }

constexpr long MaxResetInactiveMs = 10000;
constexpr long MaxEraseCount = 65534;

class CommandLineParser {
public:
    CommandLineParser(int argc, const char* const* argv, Request& request, const PortBackends& backends)
        : argc_(argc), argv_(argv), request_(request), backends_(backends) {}

    void run() {
        for (index_ = 1; index_ < argc_; ++index_) {
            const char* arg = argv_[index_];
            if (arg[0] == '+') {
                selectChip(arg);
            } else if (arg[0] == '-') {
                handleSwitch(arg);
            } else {
                addFileArgument(arg);
            }
        }
    }

private:
    void selectChip(const char* arg) {
        const char* name = arg + 1;
        if (*name == '\0') {
            throw app_error(ExitUsage, "Chip name required for '+'\n");
        }
        name = withoutAtPrefix(name);
        request_.chipName = name;
        if (findChipByName(name) < 0) {
            throw app_error(ExitUsage, "Unsupported device %s\n", name);
        }
    }

    void addFileArgument(const char* arg) {
        if (request_.codeFile.path.empty()) {
            addImageFile(request_, CodeSlot, arg);
        } else if (!request_.dataFile.path.empty()) {
            throw app_error(ExitUsage, "Too many files\n");
        } else {
            addImageFile(request_, DataSlot, arg);
            request_.combinedFile = false;
        }
    }

    void handleSwitch(const char* arg) {
        const char letter = arg[1];
        const Outcome outcome = dispatch(arg, letter, arg + 2);
        if (outcome.then == Then::NextArgument) return;
        if (outcome.then == Then::CheckRest && *outcome.rest != '\0') {
            throw app_error(ExitUsage, "Invalid switch '%s'\n%s%s\n", arg, "\t(Switch groups no longer supported)\n",
                            HelpHintText);
        }
        if (outcome.invalid) {
            throw app_error(ExitUsage, "Invalid value for switch -%c in '%s'\n\n%s\n", letter, arg, HelpHintText);
        }
    }

    Outcome dispatch(const char* arg, char letter, const char* p) {
        switch (letter) {
            case '?': case 'h': case 'H': showHelp(); break;
            case '%':
                message(LevelWarning, "use -id info level instead of obsolete -%% switch\n");
                console().level = LevelDebug;
                return consumed(p);
            case '!': request_.forceChip = true; return consumed(p);
            case '1': request_.delayScale = 1.5; return consumed(p);
            case '2': request_.delayScale = 2.0; return consumed(p);
            case '3': request_.delayScale = 3.0; return consumed(p);
            case '4': request_.delayScale = 4.0; return consumed(p);
            case '5': request_.delayScale = 5.0; return consumed(p);
            case 'a': case 'A': return adapterGroup(p);
            case 'b': case 'B': return blankCheck(p);
            case 'c': case 'C': case 'd': case 'D': return fileSwitch(arg, letter, p);
            case 'e': case 'E':
                request_.erase = true;
                if (*p == '-') {
                    request_.saveEeprom = true;
                    ++p;
                }
                return consumed(p);
            case 'f': case 'F': return fuseSwitch(p);
            case 'i': case 'I': return informationLevel(p);
            case 'k': request_.waitKey = true; return consumed(p);
            case 'K':
                request_.waitKey = true;
                request_.waitKeyEarly = true;
                return consumed(p);
            case 'l': case 'L': return lockSwitch(p);
            case 'n': case 'N': return eraseCounter(p);
            case 'o': case 'O': return {p, !parseClockSwitch(p, request_), Then::CheckValue};
            case 'p': case 'P': return portSwitch(p);
            case 'r': case 'R':
                request_.read = true;
                if (*p == '+') {
                    request_.readKeepFF = true;
                    ++p;
                }
                return consumed(p);
            case 'u': case 'U': return firmwareSwitch(p);
            case 'v': case 'V':
                request_.verify = true;
                if (*p == '+') {
                    request_.verifyAll = true;
                    ++p;
                }
                return consumed(p);
            case 'w': case 'W': return writeSwitch(p);
            case '-':
                // --log=FILE: the run log to append this run's record to.
                if (std::strncmp(p, "log=", 4) == 0 && p[4] != '\0') {
                    request_.logPath = p + 4;
                    return {p, false, Then::NextArgument};
                }
                if (std::strcmp(p, "help") == 0) showHelp();
                if (std::strcmp(p, "wiring") == 0) {
                    request_.showWiring = true;
                    return {p, false, Then::NextArgument};
                }
                if (std::strcmp(p, "check") == 0) {
                    request_.check = true;
                    return {p, false, Then::NextArgument};
                }
                break;
            default: break;
        }
        throw app_error(ExitUsage, "Invalid switch '%s'\n%s%s\n", arg, "", HelpHintText);
    }

    [[noreturn]] void showHelp() {
        // The help must show even after -ie.
        console().level = LevelInfo;
        if (request_.chipName != nullptr) {
            printChipInfo(request_.chipName);
        } else {
            printHelp();
        }
        throw app_error(ExitOk);
    }

    Outcome adapterGroup(const char* p) {
        switch (*p) {
            case '\0':
                throw app_error(ExitUsage, "Adapter type or operation mode must be specified in -a switch\n");
            case 'z': case 'Z': request_.lazyBlaster = true; return consumed(p + 1);
            case 'p': case 'P': request_.powerFromData = true; return consumed(p + 1);
            case 'r': case 'R':
                throw app_error(ExitUsage,
                                "-ar switch not supported now, use adapter configuration file for inverted reset\n");
            case 'i': case 'I': return resetInactiveTime(p + 1);
            default:
                // The adapter type or pin map is checked when the adapter is set up.
                request_.adapterSpec = p;
                return {p, false, Then::NextArgument};
        }
    }

    Outcome resetInactiveTime(const char* p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            throw app_error(ExitUsage, "Value required for switch '%s'\n", "-ai");
        }
        // Saturate, so that a number of any length stays out of range.
        long value = 0;
        for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
            if (value <= MaxResetInactiveMs) value = value * 10 + (*p - '0');
        }
        const bool inRange = value >= 1 && value <= MaxResetInactiveMs;
        if (inRange) request_.resetInactiveMs = double(value);
        return {p, !inRange, Then::CheckRest};
    }

    Outcome blankCheck(const char* p) {
        for (;; ++p) {
            if (*p == 'c' || *p == 'C') {
                request_.blankCheck |= BlankCheckCode;
            } else if (*p == 'd' || *p == 'D') {
                request_.blankCheck |= BlankCheckData;
            } else {
                break;
            }
        }
        if (request_.blankCheck == 0) request_.blankCheck = BlankCheckCode | BlankCheckData;
        return consumed(p);
    }

    Outcome writeSwitch(const char* p) {
        request_.write |= WriteRequested;
        for (;; ++p) {
            if (*p == '+') {
                request_.write |= WriteFillEeprom;
            } else if (*p == 'p' || *p == 'P') {
                request_.write |= WritePolling;
            } else if (*p == 'e' || *p == 'E') {
                request_.write |= WriteEepromPages;
            } else if (*p == 's' || *p == 'S') {
                request_.write |= WriteWhenDiffers;
            } else {
                break;
            }
        }
        return consumed(p);
    }

    // -u[f][l]: the fuses and lock bits of an ELF file; without a letter, both
    // as far as the file has them.
    Outcome firmwareSwitch(const char* p) {
        for (;; ++p) {
            if (*p == 'f' || *p == 'F') {
                request_.useFirmware |= UseFirmwareFuses;
            } else if (*p == 'l' || *p == 'L') {
                request_.useFirmware |= UseFirmwareLock;
            } else {
                break;
            }
        }
        if (request_.useFirmware == 0) request_.useFirmware = UseFirmwareFuses | UseFirmwareLock | UseFirmwareAsFound;
        return consumed(p);
    }

    Outcome fileSwitch(const char* arg, char letter, const char* p) {
        if (*p == '*' || *p == '?') {
            parseSpecialCommand(arg + 1, request_);
            return {p, false, Then::NextArgument};
        }
        request_.combinedFile = false;
        const char* name = p;
        if (*name == '\0') {
            if (index_ + 1 >= argc_ || argv_[index_ + 1][0] == '\0') {
                throw app_error(ExitUsage, "File name required for -%c\n", letter);
            }
            name = argv_[++index_];
        }
        addImageFile(request_, (letter == 'd' || letter == 'D') ? DataSlot : CodeSlot, name);
        return {p, false, Then::NextArgument};
    }

    // Other programmers take the port as the next argument; here it would
    // silently become a code file, so such a port is pointed out instead.
    Outcome portSwitch(const char* p) {
        request_.portSpec = p;
        if (*p == '\0' && index_ + 1 < argc_ && namesPort(argv_[index_ + 1], backends_)) {
            throw app_error(ExitUsage, "-p takes the port in the same argument: -p%s\n", argv_[index_ + 1]);
        }
        return {p, false, Then::NextArgument};
    }

    Outcome fuseSwitch(const char* p) {
        if (request_.fuseList != nullptr) {
            throw app_error(ExitUsage, "Only one -f switch can be used, place all fuses in one switch\n");
        }
        request_.fuseList = p;
        return {p, false, Then::NextArgument};
    }

    static Outcome informationLevel(const char* p) {
        Console& con = console();
        switch (*p) {
            case '\0': con.level = LevelInfo; return consumed(p);
            case '1': case 'e': con.level = LevelError; break;
            case '2': case 'w': con.level = LevelWarning; break;
            case '3': case 'i': con.level = LevelInfo; break;
            case '4': case 'd': con.level = LevelDebug; break;
            case '5': case 't': con.level = LevelTrace; break;
            case 'p':
                ++p;
                switch (*p) {
                    case '\0': con.progressMode = 2; return consumed(p);
                    case '+': con.progressMode = 1; break;
                    case '-': con.progressMode = 0; break;
                    default: return {p + 1, true, Then::CheckRest};
                }
                break;
            default: return {p + 1, true, Then::CheckRest};
        }
        return consumed(p + 1);
    }

    Outcome lockSwitch(const char* p) {
        if (*p == '+') {
            request_.lockBeforeFuses = true;
            ++p;
        }
        // Nothing after -l or -l+ requests no locking.
        request_.lockRequest = *p;
        const bool invalid = *p != '\0' && *p != '1' && *p != '2';
        return {p, invalid, Then::CheckValue};
    }

    Outcome eraseCounter(const char* p) {
        request_.eraseCounter = true;
        uint64_t value = 0;
        size_t used = 0;
        // No number: the counter comes from the chip.
        if (!parseNumber(p, strtoulSyntax(10), value, &used)) return consumed(p);
        const bool invalid = value < 1 || value > MaxEraseCount;
        if (!invalid) request_.eraseCount = uint16_t(value);
        return {p + used, invalid, Then::CheckValue};
    }

    int argc_;
    const char* const* argv_;
    Request& request_;
    const PortBackends& backends_;
    int index_ = 1;
};

}  // namespace

void parseCommandLine(int argc, const char* const* argv, Request& request, const PortBackends& backends) {
    request.programPath = argc > 0 ? argv[0] : nullptr;
    // The version alone, so that scripts can read it.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            printVersion();
            throw app_error(ExitOk);
        }
    }
    printBanner();
    if (argc <= 1) {
        message(LevelInfo, "%s%s", AboutText, HelpHintText);
        throw app_error(ExitOk);
    }
    CommandLineParser(argc, argv, request, backends).run();
}

void addImageFile(Request& request, ImageSlot slot, const char* text) {
    if (text == nullptr || *text == '\0') {
        throw app_error(ExitUsage, "Invalid command line\n");
    }
    uint8_t format = FormatIntelHex;
    const char* path = text;
    if (text[0] == ':') {
        const char* close = std::strchr(text + 1, ':');
        if (close == nullptr) {
            throw app_error(ExitUsage, "File name required: '%s'\n", text);
        }
        const size_t prefixLength = size_t(close - text) + 1;
        if (prefixLength == 6 && strncasecmp(text, ":ihex:", 6) == 0) {
            format = FormatIntelHex;
        } else if (prefixLength == 5 && strncasecmp(text, ":bin:", 5) == 0) {
            format = FormatBinary;
        } else if (prefixLength == 5 && strncasecmp(text, ":elf:", 5) == 0) {
            format = FormatElf;
        } else {
            throw app_error(ExitUsage, "Invalid file type %s\n", text);
        }
        path = close + 1;
        if (*path == '\0') {
            throw app_error(ExitUsage, "File name required: '%s'\n", text);
        }
    }
    ImageFile& file = slot == DataSlot ? request.dataFile : request.codeFile;
    if (!file.path.empty()) {
        throw app_error(ExitUsage, "Can't use two files for %s\n'%s'\n'%s'\n",
                        slot == DataSlot ? "DATA memory" : "CODE memory", file.path.c_str(), text);
    }
    file.format = format;
    file.formatNamed = path != text;
    file.path = path;
}

}  // namespace mervex
