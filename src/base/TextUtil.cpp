#include "base/TextUtil.h"

#include <cctype>
#include <cstring>

namespace mervex {

char* trimRight(char* text) {
    if (text == nullptr || *text == '\0') return text;
    size_t length = std::strlen(text);
    while (length > 0 && std::isspace(static_cast<unsigned char>(text[length - 1]))) text[--length] = '\0';
    return text;
}

char* trimBoth(char* text) {
    if (text == nullptr || *text == '\0') return text;
    trimRight(text);
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
    return text;
}

}  // namespace mervex
