#pragma once
// "(eeprom).sav": the copy of the chip's EEPROM that an -e- run puts on disk
// before it erases the chip, and takes away once the chip holds it again.
#include <sys/types.h>

#include <string>

#include "image/MemoryImage.h"

namespace mervex {

// Name of the file, in the current directory.
extern const char* const EepromSaveFileName;

class EepromSaveFile {
public:
    EepromSaveFile() = default;
    EepromSaveFile(const EepromSaveFile&) = delete;
    EepromSaveFile& operator=(const EepromSaveFile&) = delete;

    // Write the image as Intel HEX and make it durable (file and directory
    // synced) before returning. An earlier file is moved aside to the first free
    // "(eeprom).sav.N", never overwritten. When the copy cannot be made durable,
    // nothing is left behind and rtl_error(50) is thrown after the report: the
    // chip must not be erased then.
    void keep(const MemoryImage& image, bool keepFF);

    // The chip holds the contents again: the file goes, also when another run
    // in the directory has moved it aside meanwhile.
    void discard();

    // Where the copy is now: "(eeprom).sav", or the "(eeprom).sav.N" another
    // run saving in the same directory has moved it to.
    std::string path() const;

private:
    // The name that holds this run's copy now; false when none does.
    bool locate(std::string& where) const;

    bool kept_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace mervex
