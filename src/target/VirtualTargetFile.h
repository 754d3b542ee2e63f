#pragma once
// The target file: a fixed first line with the format version, the settings
// and the last run's counters as "key = value" lines, and the flash and EEPROM
// in Intel HEX under [flash] and [eeprom]. Only "chip" is required; what is
// left out takes the values of a new target, memories left out are erased.
#include <memory>
#include <string>

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

// Write the target to path atomically: a temporary file in the same directory,
// synced, then renamed over the old one, so an interrupted write leaves the old
// file whole. A failure is printed and thrown as rtl_error (status 70).
void saveVirtualTarget(const VirtualTarget& target, const std::string& path);

}  // namespace mervex
