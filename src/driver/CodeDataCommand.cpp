#include "driver/CodeDataCommand.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/Errors.h"

namespace mervex {

namespace {

// Parses NAME[n]=address[,argument] after the two target characters.
class SpecialCommandParser {
public:
    SpecialCommandParser(const char* command, Request& request)
        : command_(command), shownLength_(std::strlen(command)), request_(request) {}

    void run() {
        const InsertTarget target = parseTarget();
        const char* name = command_ + 2;
        const char* nameEnd = name + std::strcspn(name, "0123456789=");
        const size_t nameLength = size_t(nameEnd - name);
        shownLength_ = size_t(nameEnd - command_);

        const char* cursor = nameEnd;
        const int32_t number = readNameNumber(cursor);
        if (*cursor != '=') fail();
        const uint32_t address = parseAddress(cursor + 1);
        const char* comma = std::strchr(cursor + 1, ',');
        const char* argument = comma != nullptr ? comma + 1 : nullptr;

        if (isName(name, nameLength, "OSCCAL")) {
            setOsccal(target, number, address, argument);
        } else if (isName(name, nameLength, "SERNO")) {
            setSerial(target, number, address, argument);
        } else if (isName(name, nameLength, "BYTES")) {
            setBytes(target, number, address, argument);
        } else {
            fail();
        }
    }

private:
    [[noreturn]] void fail() const {
        throw app_error(ExitUsage, "Invalid HEX file switch extension '-%.*s'\n", int(shownLength_), command_);
    }

    [[noreturn]] static void failTwice() {
        throw app_error(ExitUsage, "Can't handle two special code/data commands of one type\n");
    }

    static bool isName(const char* name, size_t length, const char* expected) {
        return length == std::strlen(expected) && strncasecmp(name, expected, length) == 0;
    }

    InsertTarget parseTarget() const {
        const char memory = char(std::toupper(static_cast<unsigned char>(command_[0])));
        if (memory == 'C' && command_[1] == '*') return CodeByte;
        if (memory == 'C' && command_[1] == '?') return CodeLdi;
        if (memory == 'D' && command_[1] == '*') return DataByte;
        fail();
    }

    // The decimal number right after the name; 0 when there is none.
    int32_t readNameNumber(const char*& cursor) const {
        NumberSyntax digits;
        digits.rest = true;
        uint64_t value = 0;
        size_t used = 0;
        if (!parseNumber(cursor, digits, value, &used)) return 0;
        if (value > INT32_MAX) fail();
        cursor += used;
        return int32_t(value);
    }

    uint32_t parseAddress(const char* text) const {
        uint64_t value = 0;
        if (!parseNumber(text, strtoulSyntax(16), value) || value >= NoInsertAddress) fail();
        return uint32_t(value);
    }

    void setOsccal(InsertTarget target, int32_t index, uint32_t address, const char* argument) const {
        OsccalInsert& insert = request_.osccalInsert;
        if (insert.target != InsertNone) failTwice();
        int32_t correction = 0;
        if (argument != nullptr) {
            errno = 0;
            char* end = nullptr;
            const long value = std::strtol(argument, &end, 10);
            if (end == argument || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) fail();
            correction = int32_t(value);
        }
        insert.target = target;
        insert.index = index;
        insert.correction = correction;
        insert.address = address;
    }

    void setSerial(InsertTarget target, int32_t length, uint32_t address, const char* argument) const {
        SerialInsert& insert = request_.serialInsert;
        if (insert.target != InsertNone) failTwice();
        if (argument == nullptr || *argument == '\0') fail();
        insert.target = target;
        insert.length = length;
        insert.file = argument;
        insert.address = address;
    }

    void setBytes(InsertTarget target, int32_t count, uint32_t address, const char* argument) const {
        if (argument == nullptr || std::strlen(argument) != 2 * size_t(count)) fail();
        std::vector<uint8_t> bytes(size_t(count), 0);
        NumberSyntax hex;
        hex.base = 16;
        for (size_t i = 0; i < bytes.size(); ++i) {
            uint64_t value = 0;
            if (!parseNumber(std::string_view(argument + 2 * i, 2), hex, value)) fail();
            bytes[i] = uint8_t(value);
        }
        BytesInsert& insert = request_.bytesInsert;
        insert.target = target;
        insert.count = count;
        insert.bytes = std::move(bytes);
        insert.address = address;
    }

    const char* command_;
    size_t shownLength_;  // how much of the command an error message shows
    Request& request_;
};

}  // namespace

void parseSpecialCommand(const char* command, Request& request) {
    SpecialCommandParser(command, request).run();
}

}  // namespace mervex
