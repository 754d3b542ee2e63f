#include "image/MemoryBlock.h"

#include <cstring>

#include "console/Errors.h"

namespace mervex {

namespace {

uint32_t checkedLength(uint32_t address, uint32_t length) {
    // A block that is empty or runs past the top of the address space would make
    // lastAddress() wrap below address and break every range comparison.
    if (length == 0 || uint64_t(address) + length > (uint64_t(1) << 32))
        throw app_error(ExitOther, "memory block outside the 32-bit address space\n");
    return length;
}

}  // namespace

MemoryBlock::MemoryBlock(uint32_t blockAddress, uint32_t blockLength, const uint8_t* source)
    : address(blockAddress),
      length(checkedLength(blockAddress, blockLength)),
      data(new uint8_t[blockLength]) {
    std::memcpy(data.get(), source, blockLength);
}

}  // namespace mervex
