#pragma once
// The "key = value" settings of a virtual target, shared by the target file
// and by the companion tool's new and set commands, and the "last.*" counters
// that a run leaves in the file.
#include <string>
#include <utility>
#include <vector>

#include "sim/VirtualTarget.h"

namespace mervex {

using TargetSettingList = std::vector<std::pair<std::string, std::string>>;

// Apply one setting to a target whose chip is already chosen ("chip" itself is
// not a setting). A key or value it cannot take throws the reason (ExitUsage)
// and leaves the target unchanged.
void applyTargetSetting(VirtualTarget& target, const std::string& key, const std::string& value);

// Every setting of the target, in file order.
TargetSettingList formatTargetSettings(const VirtualTarget& target);

// Apply one "last.*" counter line; an unknown key or invalid value throws the
// reason (ExitUsage).
void applyCounterSetting(TargetCounters& counters, const std::string& key, const std::string& value);

// The counters as "last.*" lines; instruction counts only for opcodes seen.
TargetSettingList formatCounters(const TargetCounters& counters);

// One line per setting, or per group of like settings: the keys, their values
// and what they mean.
std::string targetSettingsHelp();

}  // namespace mervex
