#include "base/TextUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace mervex {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    return text;
}

std::string formatTextV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string trim(const std::string& text, const char* blanks) {
    const std::string end = trimEnd(text, blanks);
    return end.substr(std::min(end.find_first_not_of(blanks), end.size()));
}

std::string trimEnd(const std::string& text, const char* blanks) {
    return text.substr(0, text.find_last_not_of(blanks) + 1);  // npos + 1 is 0
}

std::vector<std::string> splitList(const std::string& text, const char* separators, bool keepEmpty) {
    std::vector<std::string> pieces;
    for (size_t start = 0;;) {
        const size_t end = text.find_first_of(separators, start);
        const size_t length = end == std::string::npos ? std::string::npos : end - start;
        if (keepEmpty || (length != 0 && start < text.size())) pieces.push_back(text.substr(start, length));
        if (end == std::string::npos) return pieces;
        start = end + 1;
    }
}

int digitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

bool parseNumber(std::string_view text, const NumberSyntax& syntax, uint64_t& value, size_t* used) {
    // Past the end reads as NUL, which no syntax takes.
    auto at = [&text](size_t i) { return i < text.size() ? text[i] : '\0'; };
    size_t i = 0;
    if (syntax.leadingBlanks)
        while (std::isspace(static_cast<unsigned char>(at(i)))) ++i;
    const bool negative = syntax.minus && at(i) == '-';
    if (negative || (syntax.plus && at(i) == '+')) ++i;
    // A prefix counts only with a digit after it: "0x" alone is the number 0.
    if (syntax.hexPrefix && at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X') && digitValue(at(i + 2), 16) >= 0)
        i += 2;
    const size_t digits = i;
    uint64_t number = 0;
    bool saturated = false;
    for (int d; i < text.size() && (d = digitValue(text[i], syntax.base)) >= 0; ++i) {
        if (number > (UINT64_MAX - uint64_t(d)) / uint64_t(syntax.base)) saturated = true;
        number = saturated ? UINT64_MAX : number * uint64_t(syntax.base) + uint64_t(d);
    }
    if (i == digits) return false;
    if (syntax.maxDigits != 0 && i - digits > syntax.maxDigits) return false;
    if (!syntax.rest && i != text.size()) return false;
    value = negative && !saturated ? 0 - number : number;
    if (used != nullptr) *used = i;
    return true;
}

}  // namespace mervex
