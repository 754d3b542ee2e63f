#include "adapter/PortSurvey.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/TextUtil.h"

namespace mervex {

namespace {

// Device nodes of parallel ports: Linux ppdev, FreeBSD ppi.
const char* const DevicePrefixes[] = {"parport", "ppi"};
// Linux's character device major number of ppdev (linux/major.h).
constexpr int PpdevMajor = 99;

// The entries of dir named prefix and a number, by number.
std::vector<std::string> numberedEntries(const std::string& dir, const char* prefix) {
    std::vector<std::pair<uint64_t, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        const std::string digits = name.substr(0, std::string(prefix).size()) == prefix
                                       ? name.substr(std::string(prefix).size())
                                       : std::string();
        uint64_t number = 0;
        if (parseNumber(digits, NumberSyntax{}, number)) found.emplace_back(number, name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const auto& item : found) names.push_back(item.second);
    return names;
}

std::optional<struct stat> statusOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

bool inGroup(const PortUser& user, gid_t gid) {
    return std::find(user.groups.begin(), user.groups.end(), gid) != user.groups.end();
}

// Read and write, by the mode's class that applies to the user (ACLs aside).
bool mayOpen(const struct stat& info, const PortUser& user) {
    if (user.uid == 0) return true;
    mode_t needed = S_IROTH | S_IWOTH;
    if (info.st_uid == user.uid)
        needed = S_IRUSR | S_IWUSR;
    else if (inGroup(user, info.st_gid))
        needed = S_IRGRP | S_IWGRP;
    return (info.st_mode & needed) == needed;
}

// What keeps the user from the device at path, if anything does.
std::optional<std::string> accessHint(const PortSurvey& survey, const std::string& path, const struct stat& info) {
    if (mayOpen(info, survey.user)) return std::nullopt;
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && !inGroup(survey.user, info.st_gid)) {
        const std::string group = survey.groupName(info.st_gid);
        const std::string user = survey.user.name.empty() ? "$USER" : survey.user.name;
        return formatText("Hint: %s is open to the group %s, which you are not in: 'usermod -aG %s %s' (as root), "
                          "then log in again\n",
                          path.c_str(), group.c_str(), group.c_str(), user.c_str());
    }
    return formatText("Hint: %s is open neither to you nor to a group of yours: have it given to a group (a udev "
                      "rule; devfs.rules on FreeBSD)\n",
                      path.c_str());
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

}  // namespace

PortUser PortUser::current() {
    PortUser user;
    user.uid = ::geteuid();
    user.groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(size_t(count), 0);
        const int got = ::getgroups(count, more.data());
        if (got > 0) user.groups.insert(user.groups.end(), more.begin(), more.begin() + got);
    }
    if (const struct passwd* entry = ::getpwuid(user.uid)) user.name = entry->pw_name;
    return user;
}

PortSurvey PortSurvey::ofThisSystem() {
    return {"", PortUser::current(), [](gid_t gid) {
                const struct group* entry = ::getgrgid(gid);
                return entry != nullptr ? std::string(entry->gr_name) : std::to_string(gid);
            }};
}

std::vector<std::string> portHints(const PortSurvey& survey, const std::string& path) {
    std::vector<std::string> devices;
    for (const char* prefix : DevicePrefixes)
        for (const std::string& name : numberedEntries(survey.root + "/dev", prefix)) devices.push_back("/dev/" + name);
    const bool kernelView = statusOf(survey.root + "/sys/class").has_value();
    const std::vector<std::string> kernelPorts = numberedEntries(survey.root + "/sys/class/parport", "parport");
    const bool ppdevLoaded = statusOf(survey.root + "/sys/class/ppdev").has_value();

    std::vector<std::string> hints;
    if (!devices.empty())
        hints.push_back("Hint: this system's parallel ports: " + joined(devices) + "\n");
    else if (!kernelView)
        hints.push_back("Hint: this system has no parallel port device (/dev/parport*, /dev/ppi*)\n");
    else if (kernelPorts.empty())
        hints.push_back("Hint: this system has no parallel port: no /dev/parport*, and the kernel knows none "
                        "(/sys/class/parport); a port on a PCI or PCIe card needs the parport_pc module "
                        "('modprobe parport_pc' as root)\n");

    for (const std::string& port : kernelPorts) {
        const std::string device = "/dev/" + port;
        if (std::find(devices.begin(), devices.end(), device) != devices.end()) continue;
        if (!ppdevLoaded) {
            hints.push_back(formatText("Hint: the kernel knows the port %s, but its user-space driver is not loaded: "
                                       "'modprobe ppdev' (as root) makes %s\n",
                                       port.c_str(), device.c_str()));
        } else {
            hints.push_back(formatText("Hint: the kernel knows the port %s, but %s is missing: 'mknod %s c %d %s' "
                                       "(as root) makes it\n",
                                       port.c_str(), device.c_str(), device.c_str(), PpdevMajor,
                                       port.substr(std::string("parport").size()).c_str()));
        }
    }

    std::vector<std::string> checked = devices;
    if (std::find(devices.begin(), devices.end(), path) == devices.end()) checked.push_back(path);
    for (const std::string& device : checked)
        if (std::optional<std::string> hint = deviceAccessHint(survey, device)) hints.push_back(*hint);
    return hints;
}

std::optional<std::string> deviceAccessHint(const PortSurvey& survey, const std::string& path) {
    const std::optional<struct stat> info = statusOf(path.rfind('/', 0) == 0 ? survey.root + path : path);
    if (!info) return std::nullopt;
    return accessHint(survey, path, *info);
}

}  // namespace mervex
