#include "image/ElfReader.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

#include "console/Console.h"
#include "console/Errors.h"
#include "image/GccAddresses.h"

namespace mervex {

namespace {

constexpr size_t ElfHeaderSize = 52;
constexpr size_t ProgramHeaderSize = 32;  // the smallest entry size a program header table may have
constexpr uint8_t Class32 = 1;
constexpr uint8_t LittleEndian = 1;
constexpr uint16_t TypeExecutable = 2;
constexpr uint16_t MachineAvr = 83;
constexpr uint32_t SegmentLoad = 1;
constexpr uint32_t BlockSize = 4096;
constexpr uint32_t LockBytes = 1;
constexpr uint32_t SignatureBytes = 3;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[noreturn]] __attribute__((format(printf, 2, 3))) void invalid(const std::string& name, const char* format, ...) {
    char why[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(why, sizeof why, format, args);
    va_end(args);
    throw app_error(ExitFile, "Invalid ELF file '%s': %s\n", name.c_str(), why);
}

struct Segment {
    uint32_t address;  // load address within its memory
    const uint8_t* bytes;
    uint32_t length;
};

// The memory a load address belongs to, and the address within it.
enum class Region { Code, Eeprom, Fuse, Lock, Signature, Other };

Region regionOf(uint32_t address) {
    if (address < GccEepromAddress) return Region::Code;
    if (address - GccEepromAddress < GccWindowSize) return Region::Eeprom;
    if (address - GccFuseAddress < GccWindowSize) return Region::Fuse;
    if (address - GccLockAddress < GccWindowSize) return Region::Lock;
    if (address - GccSignatureAddress < GccWindowSize) return Region::Signature;
    return Region::Other;
}

uint32_t regionStart(Region region) {
    switch (region) {
        case Region::Eeprom: return GccEepromAddress;
        case Region::Fuse: return GccFuseAddress;
        case Region::Lock: return GccLockAddress;
        case Region::Signature: return GccSignatureAddress;
        default: return 0;
    }
}

uint64_t regionEnd(Region region) { return region == Region::Code ? GccEepromAddress : regionStart(region) + GccWindowSize; }

class ElfParser {
public:
    ElfParser(const uint8_t* data, size_t size, const std::string& name) : data_(data), size_(size), name_(name) {}

    void parse(MemoryImage& code, FirmwareParts& parts);

private:
    void checkHeader();
    void takeSegment(const uint8_t* header);
    void toImage(std::vector<Segment>& segments, MemoryImage& image, const char* memory);
    void smallMemory(const Segment& segment, uint32_t start, const char* section, uint32_t capacity, uint8_t* bytes,
                     bool* present);

    const uint8_t* data_;
    size_t size_;
    const std::string& name_;
    std::vector<Segment> code_;
    std::vector<Segment> eeprom_;
    uint8_t fuses_[ElfMaxFuseBytes] = {};
    bool fusePresent_[ElfMaxFuseBytes] = {};
    uint8_t lock_ = 0;
    bool lockPresent_ = false;
    uint8_t signature_[SignatureBytes] = {};
    bool signaturePresent_[SignatureBytes] = {};
};

void ElfParser::checkHeader() {
    if (!hasElfMagic(data_, size_)) invalid(name_, "no ELF header");
    if (size_ < ElfHeaderSize) invalid(name_, "the header is cut short");
    if (data_[4] != Class32 || data_[5] != LittleEndian)
        invalid(name_, "not a 32-bit little-endian file, as avr-gcc makes them");
    if (le16(data_ + 18) != MachineAvr) invalid(name_, "built for machine %u, not for AVR", unsigned(le16(data_ + 18)));
    if (le16(data_ + 16) != TypeExecutable) invalid(name_, "not a linked executable (an object file?)");
}

void ElfParser::parse(MemoryImage& code, FirmwareParts& parts) {
    checkHeader();
    const uint64_t tableOffset = le32(data_ + 28);
    const uint64_t entrySize = le16(data_ + 42);
    const uint64_t entries = le16(data_ + 44);
    if (entries == 0) invalid(name_, "no program headers");
    if (entrySize < ProgramHeaderSize) invalid(name_, "program header entries of %u bytes", unsigned(entrySize));
    if (tableOffset + entries * entrySize > size_) invalid(name_, "program headers beyond the end of the file");
    for (uint64_t i = 0; i < entries; ++i) takeSegment(data_ + tableOffset + i * entrySize);

    toImage(code_, code, "code");
    toImage(eeprom_, parts.eeprom, "EEPROM");
    const size_t fuseCount = size_t(std::find(fusePresent_, fusePresent_ + ElfMaxFuseBytes, false) - fusePresent_);
    if (std::find(fusePresent_ + fuseCount, fusePresent_ + ElfMaxFuseBytes, true) != fusePresent_ + ElfMaxFuseBytes)
        invalid(name_, "a fuse byte is missing between others");
    parts.fuses.assign(fuses_, fuses_ + fuseCount);
    parts.lock = lockPresent_ ? lock_ : -1;
    if (signaturePresent_[0] || signaturePresent_[1] || signaturePresent_[2]) {
        if (!(signaturePresent_[0] && signaturePresent_[1] && signaturePresent_[2]))
            invalid(name_, "the signature is not 3 bytes");
        // avr-libc stores the signature bytes last one first.
        parts.signature = int64_t(signature_[2]) << 16 | int64_t(signature_[1]) << 8 | signature_[0];
    }
    parts.isElf = true;
}

void ElfParser::takeSegment(const uint8_t* header) {
    const uint32_t type = le32(header);
    const uint64_t offset = le32(header + 4);
    const uint32_t address = le32(header + 12);  // the load (physical) address
    const uint64_t length = le32(header + 16);
    if (type != SegmentLoad || length == 0) return;
    if (offset + length > size_) invalid(name_, "the segment at 0x%X lies beyond the end of the file", unsigned(address));
    const Region region = regionOf(address);
    if (region == Region::Other) {
        message(LevelWarning, "ELF segment at 0x%X in '%s' ignored: no chip memory there\n", unsigned(address),
                name_.c_str());
        return;
    }
    if (address + length > regionEnd(region))
        invalid(name_, "the segment at 0x%X runs past the end of its memory", unsigned(address));
    const Segment segment = {address - regionStart(region), data_ + offset, uint32_t(length)};
    switch (region) {
        case Region::Code: code_.push_back(segment); break;
        case Region::Eeprom: eeprom_.push_back(segment); break;
        case Region::Fuse: smallMemory(segment, GccFuseAddress, ".fuse", ElfMaxFuseBytes, fuses_, fusePresent_); break;
        case Region::Lock: smallMemory(segment, GccLockAddress, ".lock", LockBytes, &lock_, &lockPresent_); break;
        case Region::Signature:
            smallMemory(segment, GccSignatureAddress, ".signature", SignatureBytes, signature_, signaturePresent_);
            break;
        case Region::Other: break;
    }
}

// Fuse, lock and signature bytes: a few bytes at fixed places, each given once.
void ElfParser::smallMemory(const Segment& segment, uint32_t start, const char* section, uint32_t capacity,
                            uint8_t* bytes, bool* present) {
    if (segment.address >= capacity || segment.length > capacity - segment.address)
        invalid(name_, "the segment at 0x%X lies outside %s (%u byte%s)", unsigned(start + segment.address), section,
                unsigned(capacity), capacity == 1 ? "" : "s");
    for (uint32_t i = 0; i < segment.length; ++i) {
        if (present[segment.address + i]) invalid(name_, "%s is given twice", section);
        present[segment.address + i] = true;
        bytes[segment.address + i] = segment.bytes[i];
    }
}

// Sorted by address, cut into blocks; two segments must not share an address.
void ElfParser::toImage(std::vector<Segment>& segments, MemoryImage& image, const char* memory) {
    std::sort(segments.begin(), segments.end(),
              [](const Segment& a, const Segment& b) { return a.address < b.address; });
    for (size_t i = 1; i < segments.size(); ++i) {
        const Segment& before = segments[i - 1];
        if (uint64_t(before.address) + before.length > segments[i].address)
            invalid(name_, "two segments share %s address 0x%X", memory, unsigned(segments[i].address));
    }
    for (const Segment& segment : segments) {
        for (uint32_t done = 0; done < segment.length; done += BlockSize) {
            const uint32_t length = std::min(BlockSize, segment.length - done);
            image.append(std::make_unique<MemoryBlock>(segment.address + done, length, segment.bytes + done));
        }
    }
}

}  // namespace

bool hasElfMagic(const uint8_t* data, size_t size) {
    return size >= 4 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F';
}

void parseElf(const uint8_t* data, size_t size, const std::string& name, MemoryImage& code, FirmwareParts& parts) {
    if (size > ElfMaxFileSize) invalid(name, "larger than %u MiB", unsigned(ElfMaxFileSize >> 20));
    ElfParser(data, size, name).parse(code, parts);
}

std::vector<uint8_t> readWholeStream(std::FILE* stream, const std::string& name) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[BlockSize];
    while (bytes.size() <= ElfMaxFileSize) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, stream);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(stream)) {
        throw rtl_error(ExitFile, "%s - read error\n", name.c_str());
    }
    return bytes;
}

}  // namespace mervex
