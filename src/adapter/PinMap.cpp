#include "adapter/PinMap.h"

#include <cstring>

namespace mervex {

void PinMap::setName(const char* text) {
    std::strncpy(name, text, PinMapNameSize - 1);
    name[PinMapNameSize - 1] = '\0';
}

}  // namespace mervex
