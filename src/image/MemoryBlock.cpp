#include "image/MemoryBlock.h"

#include <cstring>
#include <stdexcept>

namespace mervex {

namespace {

uint32_t checkedLength(uint32_t address, uint32_t length) {
    // A block that is empty or runs past the top of the address space would make
    // lastAddress() wrap below address and break every range comparison.
    if (length == 0 || uint64_t(address) + length > (uint64_t(1) << 32))
        throw std::invalid_argument("memory block outside the 32-bit address space");
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
