#pragma once
// What one run owns besides its request: the session with the chip (which
// owns the programmer), the code and data images, and the few request values
// that the run itself may change.
#include <cstdint>
#include <string>

#include "chip/ChipSession.h"
#include "driver/Request.h"
#include "driver/SerialNumberFile.h"
#include "image/ElfReader.h"
#include "image/MemoryImage.h"
#include "image/MemoryOperations.h"

namespace mervex {

class RunState {
public:
    RunState() = default;
    RunState(const RunState&) = delete;
    RunState& operator=(const RunState&) = delete;
    // The programmer goes first, so the target is left unpowered.
    ~RunState() { session.releaseProgrammer(); }

    // Start a run afresh from the request: a new chip session without a
    // programmer, empty images, the request values the run may change copied.
    void start(const Request& request);

    // The memory pass options as the request and the run state give them now.
    MemoryPassOptions passOptions(const Request& request) const;

    ChipSession session;
    MemoryImage codeImage;
    MemoryImage dataImage;
    // Data moved out of a combined code file (named so in messages).
    bool dataFromCombinedFile = false;
    // The erase counter is on; switched off when the code needs its bytes.
    bool eraseCounter = false;
    // Counter value to write; EraseCountNotGiven when none.
    uint16_t eraseCount = EraseCountNotGiven;
    // Lock level to program ('1', '2', 0 for none): -l, else an ELF file's lock bits.
    char lockRequest = 0;
    // What an ELF input file holds besides flash and EEPROM, and its name.
    FirmwareParts firmware;
    std::string firmwareFile;
    SerialNumberFile serialFile;
};

}  // namespace mervex
