#pragma once
// User pin maps: "-am=file" (a configuration file) or "-am:entry:entry" (inline).
#include <functional>
#include <string>

#include "adapter/PinMap.h"

namespace mervex {

// A user pin map as the driver hands it over: the entries written in the
// switch ("-am:entry:entry"), or the path of the file it found ("-am=file").
// Both empty: nothing to load.
struct UserPinMap {
    std::string entries;
    std::string file;
};

// The user pin map named by the -a group text, which starts at its letter "m".
// The first "=" or ":" selects file or inline form; without either there is
// nothing to load. A file is searched like every configuration file, then with
// ".cfg" added to its name; an empty form or a file not found is thrown
// (status 70). programPath is the program's first argument, whose directory is
// one of the places searched.
UserPinMap userPinMapOf(const std::string& text, const char* programPath = nullptr);

// Load the user pin map: the file's lines when there is a file, else the
// ':'-separated entries. Every error is thrown as app_error
// (status 70), the failed open of the file as rtl_error.
void loadPinMap(PinMap& map, const UserPinMap& source);

// Each entry of the user pin map in order: the file's lines without their
// comments and blank lines when there is a file, else the ':'-separated entries.
// The failed open of the file is thrown as rtl_error (status 70).
void forEachPinMapEntry(const UserPinMap& source, const std::function<void(const std::string&)>& apply);

// Split "key=value" into its trimmed key and its value; an entry without a
// value is thrown (status 70).
std::pair<std::string, std::string> splitEntry(const std::string& entry);

// Apply one "key=value" entry: the name, or a signal with its comma-separated pins.
void parseEntry(PinMap& map, const std::string& entry);

// Check that the SPI signals exist and that the SPI and XTAL lines are data lines.
void validatePinMap(const PinMap& map);

}  // namespace mervex
