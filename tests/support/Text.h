#pragma once
// Small text checks shared by the tests.
#include <string>

namespace mervex::test {

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace mervex::test
