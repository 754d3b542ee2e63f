#pragma once
// Small text checks shared by the tests.
#include <string>

namespace mervex::test {

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace mervex::test
