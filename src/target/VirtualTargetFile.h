#pragma once
// The target file: a fixed first line with the format version, the settings
// and the last run's counters as "key = value" lines, the flash and EEPROM in
// Intel HEX under [flash] and [eeprom], and a last line [end]. Only "chip" and
// [end] are required; what is left out takes the values of a new target,
// memories left out are erased. Files of the first version have no [end] line:
// one of them is taken only with both memories, so a file cut short is refused,
// never read as an erased chip.
#include <memory>
#include <string>

#include "target/TargetLock.h"
#include "target/VirtualTarget.h"

namespace mervex {

// The first line of a target file, up to the format version that follows it.
extern const char* const VirtualTargetMagic;
// The format this program reads and writes.
constexpr int VirtualTargetFormat = 1;

// True if the line begins like the first line of a target file, whatever its version.
bool hasVirtualTargetHeader(const std::string& firstLine);

// The whole target as file text.
std::string formatVirtualTarget(const VirtualTarget& target);

// The target that file text describes; name is the file name for messages.
// Every problem is printed with its line and thrown as app_error (status 70).
std::unique_ptr<VirtualTarget> parseVirtualTarget(const std::string& text, const std::string& name);

// Read and parse the file at path; failures as for parseVirtualTarget, an
// unreadable file as rtl_error (status 70).
std::unique_ptr<VirtualTarget> loadVirtualTarget(const std::string& path);
// The same for the file that the lock holds.
std::unique_ptr<VirtualTarget> loadVirtualTarget(const TargetLock& lock);

// Write the target to path atomically: a temporary file in the same directory,
// synced, renamed over the old one, and the directory synced, so an interrupted
// write leaves the old file whole and a finished one survives a power loss. A
// failure is printed and thrown as rtl_error (status 70).
void saveVirtualTarget(const VirtualTarget& target, const std::string& path);
// The same for the file that the lock holds; the lock moves onto the new file.
void saveVirtualTarget(const VirtualTarget& target, TargetLock& lock);

}  // namespace mervex
