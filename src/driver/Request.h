#pragma once
// Everything the command line asks of one run: the chip, the files, the adapter
// and port, the operations and their options. Filled once by parseCommandLine.
#include <cstdint>
#include <vector>

#include "image/ImageFile.h"

namespace mervex {

// Where a special code/data command puts its value.
enum InsertTarget : uint8_t {
    InsertNone = 0,
    CodeByte = 1,  // "C*": plain bytes in code memory
    CodeLdi = 2,   // "C?": the immediate operand of LDI instructions in code memory
    DataByte = 3,  // "D*": plain bytes in data memory
};

// Address value that no special command may name.
constexpr uint32_t NoInsertAddress = 0xFFFFFFFF;

// Bits of Request::blankCheck.
enum BlankCheckBits : uint8_t {
    BlankCheckCode = 1,
    BlankCheckData = 2,
};

// Bits of Request::write.
enum WriteBits : uint8_t {
    WriteRequested = 1,
    WriteFillEeprom = 2,  // "+": 0xFF into EEPROM locations the data file does not name
    WritePolling = 4,     // "p": detect the end of a write by polling
    WriteEepromPages = 8, // "e": EEPROM by pages, pages the chip already holds left alone
    WriteWhenDiffers = 16, // "s": a chip that already holds all the run would write is left alone
};

// Bits of Request::useFirmware (-u): what an ELF file's settings are used for.
enum UseFirmwareBits : uint8_t {
    UseFirmwareFuses = 1,    // "f": its .fuse bytes, like a -f list
    UseFirmwareLock = 2,     // "l": its .lock byte, like -l (with -w only)
    UseFirmwareAsFound = 4,  // no letter: both, as far as the file has them
};

// Request::eraseCount when no counter value was given.
constexpr uint16_t EraseCountNotGiven = 0xFFFF;

// -C*OSCCAL / -C?OSCCAL / -D*OSCCAL: the chip's calibration byte into the image.
struct OsccalInsert {
    InsertTarget target = InsertNone;
    int32_t index = 0;       // calibration byte number
    int32_t correction = 0;  // added to the calibration value
    uint32_t address = NoInsertAddress;
};

// -C*SERNOn / -D*SERNOn: a serial number from a counter file into the image.
struct SerialInsert {
    InsertTarget target = InsertNone;
    int32_t length = 0;          // bytes, checked to be 1..4 when used
    const char* file = nullptr;  // the serial number file
    uint32_t address = NoInsertAddress;
};

// -C*BYTESn / -D*BYTESn: a fixed string of bytes into the image.
struct BytesInsert {
    InsertTarget target = InsertNone;
    int32_t count = 0;
    std::vector<uint8_t> bytes;  // count bytes
    uint32_t address = NoInsertAddress;
};

// Texts point into the argument strings themselves; nullptr means the switch
// did not occur (an empty text means it occurred with nothing after it).
struct Request {
    const char* chipName = nullptr;  // "AT" prefix already removed
    ImageFile codeFile;
    ImageFile dataFile;
    bool combinedFile = true;  // the code file may carry data memory above the flash
    const char* adapterSpec = nullptr;
    const char* portSpec = nullptr;
    bool lazyBlaster = false;
    bool powerFromData = false;
    double resetInactiveMs = 2.0;
    bool forceChip = false;
    double delayScale = 1.0;
    uint32_t oscillatorHz = 800000;  // 0: the adapter generates the chip's clock
    bool frequencyIsSck = false;     // oscillatorHz is the wanted SCK frequency
    uint32_t sckDivider = 1;         // 1..256, only with a frequency of 0
    bool erase = false;
    bool saveEeprom = false;
    uint8_t blankCheck = 0;  // BlankCheckBits
    bool read = false;
    bool readKeepFF = false;
    uint8_t write = 0;  // WriteBits
    bool verify = false;
    bool verifyAll = false;
    bool eraseCounter = false;
    uint16_t eraseCount = EraseCountNotGiven;
    bool waitKey = false;
    bool waitKeyEarly = false;
    char lockRequest = 0;  // '1', '2' or 0 for none
    bool lockBeforeFuses = false;
    const char* fuseList = nullptr;
    uint8_t useFirmware = 0;  // UseFirmwareBits
    OsccalInsert osccalInsert;
    SerialInsert serialInsert;
    BytesInsert bytesInsert;
    const char* programPath = nullptr;  // the first argument: configuration files are also searched beside the program
    const char* logPath = nullptr;  // --log=FILE: the run log to append to
    bool showWiring = false;        // --wiring: draw the cable's wiring, do nothing else
    bool check = false;  // --check: find out why a chip does not answer, changing nothing on it

    // True when a code or a data file is named.
    bool filesGiven() const { return !codeFile.path.empty() || !dataFile.path.empty(); }

    // -r with no file and no other operation: connect, tell what the chip is, change nothing.
    bool identifyOnly() const {
        return read && !filesGiven() && write == 0 && !verify && !erase && blankCheck == 0 && lockRequest == 0 &&
               !eraseCounter && fuseList == nullptr;
    }
};

}  // namespace mervex
