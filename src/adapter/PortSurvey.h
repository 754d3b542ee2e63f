#pragma once
// The parallel ports this system has, for the hints that follow a -p naming a
// port that is not there or cannot be opened: the device nodes, the ports the
// kernel knows without a node (its user-space driver not loaded), and whether
// the user may open them or which group may.
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mervex {

// Who runs the program, as a device's owner, group and mode see it.
struct PortUser {
    uid_t uid = 0;
    std::vector<gid_t> groups;  // the effective group and the supplementary ones
    std::string name;           // for the command that adds it to a group

    // The user of this process.
    static PortUser current();
};

// Where the survey looks and for whom: tests give a directory tree of their
// own, a user and group names.
struct PortSurvey {
    std::string root;  // prefix of /dev and /sys: "" for this system
    PortUser user;
    std::function<std::string(gid_t)> groupName;  // the group's name, or its number

    // This system, for the user of this process.
    static PortSurvey ofThisSystem();
};

// "Hint: " lines, each ending in '\n': the ports this system has, or that it
// has none; a port the kernel knows without its device; the group to join for
// a port the user may not open, the one named by path (when it exists) included.
std::vector<std::string> portHints(const PortSurvey& survey, const std::string& path);

// The "Hint: " line for a device at path that the user may not open (the group
// to join, or that none may); nothing when the device is missing or open to the user.
std::optional<std::string> deviceAccessHint(const PortSurvey& survey, const std::string& path);

}  // namespace mervex
