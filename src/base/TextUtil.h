#pragma once
// Plain text helpers for settings, switches and configuration lines: trimming,
// splitting lists and reading unsigned numbers.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mervex {

// The printf-formatted text, whole.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatTextV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// White space as isspace knows it in the C locale.
constexpr const char* WhiteSpace = " \t\n\v\f\r";

// The text without the characters of `blanks` at either end.
std::string trim(const std::string& text, const char* blanks = WhiteSpace);

// The text without the characters of `blanks` at its end.
std::string trimEnd(const std::string& text, const char* blanks = WhiteSpace);

// The pieces between the characters of `separators`, in order; the empty ones
// only with `keepEmpty` (there is then one more piece than separators).
std::vector<std::string> splitList(const std::string& text, const char* separators, bool keepEmpty = false);

// The value of the digit `c` in base 10 or 16 (either case); -1 for any other character.
int digitValue(char c, int base);

// How an unsigned number may be written; each extra is allowed only when asked for.
struct NumberSyntax {
    int base = 10;               // 10 or 16
    bool leadingBlanks = false;  // white space before the number
    bool plus = false;           // a '+' before the digits
    bool minus = false;          // a '-' before the digits, negating modulo 2^64 as strtoul does
    bool hexPrefix = false;      // "0x" or "0X" before hexadecimal digits
    bool rest = false;           // text may follow the number (otherwise it must end the text)
    size_t maxDigits = 0;        // more digits than this (after a prefix) are refused; 0 for no limit
};

// The syntax of strtoul, and of scanf's %x, for the base: blanks, a sign, the
// prefix in base 16, and anything after the number.
constexpr NumberSyntax strtoulSyntax(int base) { return {base, true, true, true, base == 16, true, 0}; }

// Reads the number at the start of `text` into `value`, which saturates at
// UINT64_MAX (a negated one too). False when the text does not begin with a
// number of the syntax or, without `rest`, holds more; otherwise `used` (when
// given) tells how many characters the number took.
bool parseNumber(std::string_view text, const NumberSyntax& syntax, uint64_t& value, size_t* used = nullptr);

}  // namespace mervex
