#include "chip/LockLevel.h"

#include "chip/ChipState.h"

namespace mervex {

const char* lockLevelName(int level) {
    switch (level) {
    case LockNone: return "not locked";
    case LockProgramming: return "locked - programming disabled";
    case LockReading: return "locked - reading and programming disabled";
    default: return nullptr;
    }
}

}  // namespace mervex
