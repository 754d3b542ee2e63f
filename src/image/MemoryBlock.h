#pragma once
// A contiguous run of bytes of one chip memory, starting at a chip address.
#include <cstdint>
#include <memory>

#include "image/ListNode.h"

namespace mervex {

class MemoryBlock : public ListNode {
public:
    // Copies `length` bytes from `source`. The block must hold at least one byte
    // and end at or below address 0xFFFFFFFF (ExitOther otherwise: no input
    // makes such a block), so that lastAddress() is always at or above address.
    MemoryBlock(uint32_t address, uint32_t length, const uint8_t* source);

    // The byte at an absolute chip address; no range test.
    uint8_t byteAt(uint32_t chipAddress) const { return data[chipAddress - address]; }

    // Stores a byte at an absolute chip address; no range test.
    void setByteAt(uint32_t chipAddress, uint8_t value) { data[chipAddress - address] = value; }

    // Address of the block's last byte.
    uint32_t lastAddress() const { return address + (length - 1); }

    // Address right after the block's last byte (may be 2^32).
    uint64_t endAddress() const { return uint64_t(address) + length; }

    const uint32_t address;
    const uint32_t length;
    const std::unique_ptr<uint8_t[]> data;
};

}  // namespace mervex
