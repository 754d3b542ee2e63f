#pragma once
// SHA-256 (FIPS 180-4): names the exact contents of a file in the run log.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mervex {

class Sha256 {
public:
    Sha256() = default;

    void update(const void* data, size_t size);

    // The digest of everything given, as 64 lower-case hex digits. Ends the
    // hash: call it once.
    std::string hexDigest();

private:
    void compress(const uint8_t* block);

    uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint64_t length_ = 0;  // bytes given so far
    uint8_t block_[64] = {};
    size_t filled_ = 0;    // bytes waiting in block_
};

}  // namespace mervex
