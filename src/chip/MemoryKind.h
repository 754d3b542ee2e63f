#pragma once
// Which chip memory an operation works on.
#include <cstdint>

namespace mervex {

enum class MemoryKind : uint8_t { Code = 0, Data = 1 };

// "CODE memory" or "DATA memory", as messages name the memory.
const char* memoryKindName(MemoryKind kind);

}  // namespace mervex
