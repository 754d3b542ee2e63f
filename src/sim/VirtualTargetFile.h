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

#include "base/LockedFile.h"
#include "sim/VirtualTarget.h"

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
// Every problem is thrown as app_error (ExitUsage) naming its line.
std::unique_ptr<VirtualTarget> parseVirtualTarget(const std::string& text, const std::string& name);

// Hold the target file at path for this process alone, as a port serves one
// run at a time. A file that another process holds is refused at once:
// "Virtual target '%s' is in use by another process\n" and app_error
// (ExitSystem); one that cannot be opened or locked is thrown as rtl_error
// (ExitSystem).
LockedFile holdVirtualTarget(const std::string& path);

// Read and parse the file at path; failures as for parseVirtualTarget, an
// unreadable file as rtl_error (ExitSystem).
std::unique_ptr<VirtualTarget> loadVirtualTarget(const std::string& path);
// The same for the held file at path.
std::unique_ptr<VirtualTarget> loadVirtualTarget(const LockedFile& file, const std::string& path);

// Write the target to path atomically: a temporary file in the same directory,
// synced, renamed over the old one, and the directory synced, so an interrupted
// write leaves the old file whole and a finished one survives a power loss.
// With the holder of the file, the hold moves onto the new file. A failure is
// thrown as rtl_error (ExitSystem).
void saveVirtualTarget(const VirtualTarget& target, const std::string& path, LockedFile* holder = nullptr);

// Write the target as a new file at path, as saveVirtualTarget does, but only
// where nothing has the name yet: false, with nothing changed, when path exists
// (of two processes creating one target, the second). Other failures as for saveVirtualTarget.
bool createVirtualTarget(const VirtualTarget& target, const std::string& path);

}  // namespace mervex
