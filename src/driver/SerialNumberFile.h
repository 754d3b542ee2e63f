#pragma once
// The serial number file: one decimal number, the next serial number to give.
//
// Runs that share the file, one after another or at the same time, each get a
// number of their own. A run reads the number under an exclusive lock on the
// file, and a write run takes it before the lock is released: the file
// advances to the next number at once, before the chip is written, and is
// replaced atomically, never rewritten in place. A run that fails after that
// gives its number back only when no other run has taken one since, that is
// when the file still holds its number + 1; otherwise the number stays unused.
// So no two chips get the same number, no increment is lost, one run after
// another the numbers have no gaps, and a run that is killed outright leaves
// at most an unused number.
#include <cstdint>
#include <string>

#include "base/LockedFile.h"

namespace mervex {

class SerialNumberFile {
public:
    // Lock the file and read its number for a value of length bytes (1..4);
    // the lock is held until take() or close(). Refused, the file unchanged: a
    // file that cannot be opened for reading and writing ("Can't open file",
    // status 70); a file without a plain decimal number ("Can't read %s" and
    // why, status 50); a number that does not fit length bytes (status 50).
    void open(const char* path, int32_t length);

    // The number read by open(), when hasNumber().
    uint32_t number() const { return number_; }
    bool hasNumber() const { return hasNumber_; }

    // Take the number: the file advances to the next one and the lock is
    // released. Refused, the file unchanged: a number that leaves no next one
    // in 32 bits, or a file that cannot be written ("Can't write %s\nnext
    // serial number is %lu\n"), status 50.
    void take();

    // Release the lock, if held.
    void close() { file_.close(); }

    // The run has succeeded: a number taken stays taken.
    void keep() { taken_ = false; }

    // The run has failed: the lock goes, and a number taken goes back to the
    // file when no other run has taken one since; otherwise a warning says
    // that it stays unused.
    void giveBack();

private:
    LockedFile file_;
    std::string path_;
    uint32_t number_ = 0;
    bool hasNumber_ = false;
    bool taken_ = false;
};

}  // namespace mervex
