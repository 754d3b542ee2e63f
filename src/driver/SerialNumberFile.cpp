#include "driver/SerialNumberFile.h"

#include "base/LockedFile.h"
#include "base/ReplaceFile.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// Longer than any number with the blanks around it that a person may type.
constexpr size_t MaxFileText = 256;

enum class NumberRead { Ok, NoNumber, TooLarge, NotPlain };

// One unsigned decimal number with optional blanks around it and nothing else,
// as the file is written; "1.5e3" is not the number 1. The text is the file's
// first MaxFileText + 1 bytes.
NumberRead readFileNumber(const std::string& text, uint32_t& number) {
    if (text.size() > MaxFileText) return NumberRead::NotPlain;
    NumberSyntax syntax;
    syntax.leadingBlanks = true;
    syntax.plus = true;
    syntax.rest = true;
    uint64_t value = 0;
    size_t used = 0;
    if (!parseNumber(text, syntax, value, &used)) return NumberRead::NoNumber;
    if (value > UINT32_MAX) return NumberRead::TooLarge;
    if (!trim(text.substr(used)).empty()) return NumberRead::NotPlain;
    number = uint32_t(value);
    return NumberRead::Ok;
}

std::string numberText(uint32_t number) { return std::to_string(number) + "\n"; }

[[noreturn]] void cannotRead(const std::string& path, const char* why) {
    throw app_error(ExitFile, "Can't read %s\n", path.c_str()).then(LevelError, formatText("%s\n", why));
}

}  // namespace

void SerialNumberFile::open(const char* path, int32_t length) {
    path_ = path != nullptr ? path : "";
    taken_ = false;
    hasNumber_ = false;
    if (!file_.open(path_)) {
        throw rtl_error(ExitSystem, "Can't open file '%s'\n", path_.c_str());
    }
    std::string text;
    if (!file_.read(text, MaxFileText)) {
        throw rtl_error(ExitFile, "Can't read %s\n", path_.c_str());
    }
    switch (readFileNumber(text, number_)) {
        case NumberRead::Ok: break;
        case NumberRead::NoNumber: cannotRead(path_, "no number in file");
        case NumberRead::TooLarge: cannotRead(path_, "number too large");
        case NumberRead::NotPlain: cannotRead(path_, "not a plain decimal number");
    }
    if (length < 4 && number_ >> (8 * length) != 0) {
        throw app_error(ExitFile, "Serial number %lu from %s does not fit in %d byte%s\n",
                        static_cast<unsigned long>(number_), path_.c_str(), int(length), length == 1 ? "" : "s");
    }
    hasNumber_ = true;
}

void SerialNumberFile::take() {
    const unsigned long number = number_;
    if (number_ == UINT32_MAX) {
        throw app_error(ExitFile, "Serial number %lu from %s is the last: the next one does not fit in 32 bits\n",
                        number, path_.c_str());
    }
    if (!replaceFile(path_, numberText(number_ + 1))) {
        // Nothing is written to the chip, so this number is still the next one.
        throw rtl_error(ExitFile, "Can't write %s\nnext serial number is %lu\n", path_.c_str(), number);
    }
    taken_ = true;
    file_.close();
}

void SerialNumberFile::giveBack() {
    file_.close();
    if (!taken_) return;
    taken_ = false;
    const unsigned long number = number_;
    std::string text;
    uint32_t now = 0;
    if (!file_.open(path_) || !file_.read(text, MaxFileText) || readFileNumber(text, now) != NumberRead::Ok ||
        now != number_ + 1) {
        message(LevelWarning, "Serial number %lu stays unused: %s no longer holds %lu\n", number, path_.c_str(),
                number + 1);
    } else if (!replaceFile(path_, numberText(number_))) {
        message(LevelWarning, "Serial number %lu stays unused: can't write %s\n", number, path_.c_str());
    }
    file_.close();
}

}  // namespace mervex
