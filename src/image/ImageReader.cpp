#include "image/ImageReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/TextUtil.h"
#include "console/Errors.h"
#include "console/OpenFile.h"
#include "image/IntelHexRecord.h"

namespace mervex {

void cannotFit(const std::string& what, const std::string& memory) {
    throw app_error(ExitFile, "Can't fit %s in %s\n", what.c_str(), memory.c_str());
}

namespace {

constexpr size_t BlockBufferSize = 4096;
constexpr size_t LineBufferSize = 522;     // a 255-byte record (521 characters) and its zero
constexpr uint64_t AddressSpaceEnd = uint64_t(1) << 32;
constexpr uint64_t NoAddress = UINT64_MAX;  // matches no record, so the first one opens a block

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Deletes every white-space character in place; returns the new length. Stops at
// the first zero, so a NUL byte read from the file ends the line.
size_t compactLine(char* line) {
    size_t kept = 0;
    for (size_t i = 0; line[i] != '\0'; ++i)
        if (!isBlank(line[i])) line[kept++] = line[i];
    line[kept] = '\0';
    return kept;
}

// Bytes that text never holds: control characters other than white space, and
// bytes that cannot occur in UTF-8. A comment in another encoding stays text.
bool isTextByte(unsigned char c) {
    if (c < 0x20) return isBlank(char(c));
    return c != 0x7F && c != 0xC0 && c != 0xC1 && c < 0xF5;
}

// How many bytes at the start of a file decide whether it is text.
constexpr unsigned long TextProbeLength = 128;

// A HEX file of the whole memory in records of one byte each, with blanks
// between the fields, takes some 20 characters per byte; a file longer than
// this many per byte, or than the minimum (room for long comments on a small
// chip), cannot be one.
constexpr uint64_t MaxTextPerByte = 32;
constexpr uint64_t MinTextLimit = uint64_t(4) << 20;

// Overlaps reported one by one; the rest are counted.
constexpr size_t MaxOverlapReports = 10;

[[noreturn]] void cannotHold(const ImageBounds& bounds, const std::string& name) {
    cannotFit(bounds.what.empty() ? name : bounds.what, bounds.memory);
}

class HexReader {
public:
    HexReader(MemoryImage& image, const std::string& name, AnswerSource answer, const ImageBounds& bounds)
        : image_(image),
          name_(name),
          answer_(answer),
          bounds_(bounds),
          textLimit_(std::max(MinTextLimit, MaxTextPerByte * bounds.end)) {}

    void read(std::FILE* stream);

private:
    // Reads one line, or a piece of a line too long for the buffer, as fgets
    // would, but also counts lines and characters and notes bytes that text
    // does not hold.
    bool readPiece(std::FILE* stream, char* line);
    void noteByte(int c);
    // True when the file's first bytes are not text; reads up to the end of the
    // probe, so it is asked only once the file has failed.
    bool startsBinary(std::FILE* stream);
    [[noreturn]] void failBinary();
    [[noreturn]] void failLine(const char* what, const char* line);
    // Where the last line read stands, after the message of a failure.
    std::string location() const;
    // Handles one compacted record line; returns true at the end record.
    bool handleRecord(const char* line, size_t length);
    // A checksum error: asks once whether to ignore them all.
    void checkSum(const char* line);
    void addData(uint32_t address, const uint8_t* bytes, size_t count);
    void closeBlock();
    void finishImage();
    void sortBlocks();
    void checkOverlaps();

    MemoryImage& image_;
    const std::string& name_;
    AnswerSource answer_;
    const ImageBounds& bounds_;
    const uint64_t textLimit_;
    uint64_t textRead_ = 0;
    bool pieceHasNul_ = false;
    bool ignoreChecksum_ = false;
    uint8_t buffer_[BlockBufferSize] = {};
    size_t bufferFill_ = 0;
    uint32_t bufferStart_ = 0;
    uint64_t nextExpected_ = NoAddress;
    uint32_t base_ = 0;
    std::FILE* stream_ = nullptr;
    unsigned long lineNumber_ = 0;
    bool pieceEndedLine_ = true;
    unsigned long probed_ = 0;
    bool binary_ = false;
};

bool HexReader::readPiece(std::FILE* stream, char* line) {
    size_t n = 0;
    pieceHasNul_ = false;
    while (n + 1 < LineBufferSize) {
        const int c = std::getc(stream);
        if (c == EOF) break;
        noteByte(c);
        if (c == '\0') pieceHasNul_ = true;
        line[n++] = char(c);
        if (c == '\n') break;
    }
    line[n] = '\0';
    if (n == 0) return false;
    textRead_ += n;
    if (textRead_ > textLimit_) {
        throw app_error(ExitFile, "HEX file '%s' is too long\n", name_.c_str());
    }
    if (pieceEndedLine_) ++lineNumber_;
    pieceEndedLine_ = line[n - 1] == '\n';
    return true;
}

void HexReader::noteByte(int c) {
    if (probed_ >= TextProbeLength) return;
    ++probed_;
    if (!isTextByte(static_cast<unsigned char>(c))) binary_ = true;
}

bool HexReader::startsBinary(std::FILE* stream) {
    while (!binary_ && probed_ < TextProbeLength) {
        const int c = std::getc(stream);
        if (c == EOF) break;
        noteByte(c);
    }
    return binary_;
}

void HexReader::failBinary() {
    throw app_error(ExitFile, "'%s' is binary, not Intel HEX: give it as :bin:%s\n", name_.c_str(), name_.c_str());
}

void HexReader::failLine(const char* what, const char* line) {
    if (startsBinary(stream_)) failBinary();
    throw app_error(ExitFile, "%s:\n  '%s'\n", what, line).then(LevelError, location());
}

std::string HexReader::location() const { return formatText("File '%s', line %lu\n", name_.c_str(), lineNumber_); }

void HexReader::read(std::FILE* stream) {
    stream_ = stream;
    char line[LineBufferSize];
    for (;;) {
        // A longer physical line arrives in pieces, each handled as a line.
        if (!readPiece(stream, line)) {
            // A failing read (a directory, a device error) also ends without an end
            // record; the system's text says why on the next line.
            if (!std::ferror(stream) && startsBinary(stream)) failBinary();
            if (std::ferror(stream)) throw rtl_error(ExitFile, "No ending record in HEX file '%s'\n", name_.c_str());
            throw app_error(ExitFile, "No ending record in HEX file '%s'\n", name_.c_str());
        }
        size_t length = compactLine(line);
        // A NUL ends the text of a line, but a line cut short so is no blank
        // line: endless NULs would be read for ever.
        if ((length == 0 || line[0] == '#') && !pieceHasNul_) continue;
        if (handleRecord(line, length)) break;
    }
    closeBlock();
    finishImage();
}

bool HexReader::handleRecord(const char* line, size_t length) {
    HexRecord record;
    const unsigned faults = parseHexRecord(std::string_view(line, length), record);
    if (faults & (HexNoColon | HexBadHeader)) failLine("Invalid header in HEX line", line);
    if (faults & ~unsigned(HexBadSum)) failLine("Invalid length of HEX line", line);
    if (faults & HexBadSum) checkSum(line);

    switch (record.type) {
        case HexData:
            if (record.count == 0) {
                message(LevelWarning, "Zero-data HEX line ignored\n  '%s'\n", line);
                return false;
            }
            addData(base_ + record.offset, record.data, record.count);
            return false;
        case HexEnd:
            return true;
        case HexSegmentBase:
        case HexLinearBase:
            base_ = hexBaseAddress(record);
            return false;
        case HexSegmentStart:
        case HexLinearStart:
            message(LevelWarning, "Start address record in HEX file ignored\n");
            return false;
        default:
            throw app_error(ExitFile, "Unknown HEX record type 0x%2X\n", unsigned(record.type))
                .then(LevelError, location());
    }
}

void HexReader::checkSum(const char* line) {
    if (ignoreChecksum_) return;
    const std::string question = formatText("CSUM error in line\n  '%s'\nIgnore ALL CSUM errors (y/N)?\n", line);
    message(LevelError, "%s", question.c_str());
    const int reply = answer_();
    if (reply != 'y' && reply != 'Y') throw app_error(ExitFile).shown(question).then(LevelError, location());
    ignoreChecksum_ = true;
}

void HexReader::addData(uint32_t address, const uint8_t* bytes, size_t count) {
    // Addresses are a 32-bit sum: bytes past 0xFFFFFFFF continue at 0 in a block of their own.
    const uint64_t room = AddressSpaceEnd - address;
    if (count > room) {
        addData(address, bytes, size_t(room));
        addData(0, bytes + room, count - size_t(room));
        return;
    }
    if (!bounds_.hold(address, count)) cannotHold(bounds_, name_);
    if (bufferFill_ + count > BlockBufferSize || address != nextExpected_) {
        closeBlock();
        bufferStart_ = address;
    }
    std::memcpy(buffer_ + bufferFill_, bytes, count);
    bufferFill_ += count;
    nextExpected_ = uint64_t(address) + count;
}

void HexReader::closeBlock() {
    if (bufferFill_ == 0) return;
    image_.append(std::make_unique<MemoryBlock>(bufferStart_, uint32_t(bufferFill_), buffer_));
    bufferFill_ = 0;
}

void HexReader::finishImage() {
    if (image_.empty()) {
        message(LevelWarning, "'%s' has no data records\n", name_.c_str());
        return;
    }
    sortBlocks();
    checkOverlaps();
}

bool blockBefore(const MemoryBlock& a, const MemoryBlock& b) {
    if (a.address != b.address) return a.address < b.address;
    return a.lastAddress() < b.lastAddress();
}

void HexReader::sortBlocks() {
    std::vector<std::unique_ptr<MemoryBlock>> blocks;
    blocks.reserve(image_.count());
    while (!image_.empty()) blocks.push_back(image_.unlink(image_.first()));
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const auto& a, const auto& b) { return blockBefore(*a, *b); });
    for (auto& block : blocks) image_.append(std::move(block));
}

// The common range of s and a block r that starts within it, after it in
// address order. Data that differ there fail the file.
void checkOverlap(const MemoryBlock& s, const MemoryBlock& r, bool report) {
    const uint32_t from = r.address;
    const uint32_t to = std::min(s.lastAddress(), r.lastAddress());
    if (std::memcmp(&s.data[from - s.address], &r.data[0], size_t(to - from) + 1) != 0) {
        throw app_error(ExitFile, "HEX file records overlapped in addresses 0x%X-0x%X with NON-equal data\n",
                        unsigned(from), unsigned(to));
    }
    if (report)
        message(LevelWarning, "HEX file records overlapped in addresses 0x%X-0x%X with equal data\n",
                unsigned(from), unsigned(to));
}

// Each pair of overlapping blocks is checked. The first few pairs in address
// order are reported one by one; should there be more, one pass checks them
// all and they are counted. Going through the blocks in address order, the
// block that reaches furthest so far holds every address that any earlier
// block holds from the current block's start on, so comparing each block with
// it alone finds any difference.
void HexReader::checkOverlaps() {
    std::vector<const MemoryBlock*> blocks;
    for (const MemoryBlock* b = image_.first(); b != nullptr; b = image_.next(b)) blocks.push_back(b);
    const size_t n = blocks.size();
    size_t reported = 0;
    for (size_t s = 0; s < n && reported < MaxOverlapReports; ++s) {
        for (size_t r = s + 1; r < n && blocks[r]->address <= blocks[s]->lastAddress() && reported < MaxOverlapReports;
             ++r, ++reported)
            checkOverlap(*blocks[s], *blocks[r], true);
    }
    uint64_t pairs = 0;
    for (size_t s = 0; s < n; ++s) {
        const auto after = blocks.begin() + long(s) + 1;
        const auto beyond = std::upper_bound(after, blocks.end(), blocks[s]->lastAddress(),
                                             [](uint32_t last, const MemoryBlock* b) { return last < b->address; });
        pairs += uint64_t(beyond - after);
    }
    if (pairs == reported) return;
    const MemoryBlock* reach = blocks[0];
    for (size_t r = 1; r < n; ++r) {
        if (blocks[r]->address <= reach->lastAddress()) checkOverlap(*reach, *blocks[r], false);
        if (blocks[r]->lastAddress() > reach->lastAddress()) reach = blocks[r];
    }
    message(LevelWarning, "HEX file records overlapped in %llu more places with equal data\n",
            static_cast<unsigned long long>(pairs - reported));
}

}  // namespace

void readHexStream(MemoryImage& image, std::FILE* stream, const std::string& name, AnswerSource answer,
                   const ImageBounds& bounds) {
    // The block buffer is large; keep it off the stack.
    auto reader = std::make_unique<HexReader>(image, name, answer, bounds);
    reader->read(stream);
}

void readBinaryStream(MemoryImage& image, std::FILE* stream, const std::string& name, const ImageBounds& bounds) {
    auto chunk = std::make_unique<uint8_t[]>(BlockBufferSize);
    uint64_t address = 0;
    for (;;) {
        const size_t got = std::fread(chunk.get(), 1, BlockBufferSize, stream);
        if (got > 0) {
            if (!bounds.hold(address, got)) cannotHold(bounds, name);
            image.append(std::make_unique<MemoryBlock>(uint32_t(address), uint32_t(got), chunk.get()));
            address += got;
        }
        if (got < BlockBufferSize) break;
    }
    // A failing read must not pass for the end of the file.
    if (std::ferror(stream)) {
        throw rtl_error(ExitFile, "%s - read error\n", name.c_str());
    }
}

namespace {

void readElf(MemoryImage& image, const std::vector<uint8_t>& bytes, const std::string& name, FirmwareParts* parts) {
    FirmwareParts dropped;
    parseElf(bytes.data(), bytes.size(), name, image, parts != nullptr ? *parts : dropped);
}

// A file without prefix that begins with the ELF magic number is an ELF file.
// Only a first byte of 0x7F, which no HEX file has, makes the whole file be read
// to look; anything else goes on to the HEX reader as it came, so a pipe works.
void readHexOrElf(MemoryImage& image, std::FILE* stream, const std::string& name, AnswerSource answer,
                  FirmwareParts* parts, const ImageBounds& bounds) {
    const int first = std::getc(stream);
    if (first == 0x7F) {
        std::ungetc(first, stream);
        std::vector<uint8_t> bytes = readWholeStream(stream, name);
        if (hasElfMagic(bytes.data(), bytes.size())) return readElf(image, bytes, name, parts);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> copy(fmemopen(bytes.data(), bytes.size(), "r"), std::fclose);
        if (!copy) throw app_error(ExitMemory, "%s", AllocationFailed);
        return readHexStream(image, copy.get(), name, answer, bounds);
    }
    if (first != EOF) std::ungetc(first, stream);
    readHexStream(image, stream, name, answer, bounds);
}

}  // namespace

void readImageFile(MemoryImage& image, const ImageFile& file, AnswerSource answer, FirmwareParts* parts,
                   const ImageBounds& bounds) {
    if (file.format == FormatBinary) {
        FilePtr stream = openFile(file.path.c_str(), "rb");
        readBinaryStream(image, stream.get(), file.path, bounds);
    } else if (file.format == FormatElf) {
        FilePtr stream = openFile(file.path.c_str(), "rb");
        readElf(image, readWholeStream(stream.get(), file.path), file.path, parts);
    } else if (!file.formatNamed) {
        FilePtr stream = openFile(file.path.c_str(), "rt");
        readHexOrElf(image, stream.get(), file.path, answer, parts, bounds);
    } else {
        FilePtr stream = openFile(file.path.c_str(), "rt");
        readHexStream(image, stream.get(), file.path, answer, bounds);
    }
}

}  // namespace mervex
