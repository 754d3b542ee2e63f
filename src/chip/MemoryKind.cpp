#include "chip/MemoryKind.h"

namespace mervex {

const char* memoryKindName(MemoryKind kind) {
    return kind == MemoryKind::Code ? "CODE memory" : "DATA memory";
}

}  // namespace mervex
