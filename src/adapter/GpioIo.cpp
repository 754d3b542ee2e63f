#include "adapter/GpioIo.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mervex {

namespace {

constexpr const char* DeviceDirectory = "/dev";
constexpr const char* ChipPrefix = "gpiochip";

class SystemGpioIo : public GpioIo {
public:
    int open(const char* path, int flags) override { return systemPortIo().open(path, flags); }
    int ioctl(int fd, unsigned long request, void* arg) override { return systemPortIo().ioctl(fd, request, arg); }
    int close(int fd) override { return systemPortIo().close(fd); }

    std::vector<std::string> chipPaths() override {
        std::vector<std::pair<long, std::string>> found;
        if (DIR* dir = ::opendir(DeviceDirectory)) {
            const size_t prefix = std::strlen(ChipPrefix);
            while (const dirent* entry = ::readdir(dir)) {
                if (std::strncmp(entry->d_name, ChipPrefix, prefix) != 0) continue;
                char* end = nullptr;
                const long number = std::strtol(entry->d_name + prefix, &end, 10);
                if (end == entry->d_name + prefix || *end != '\0') continue;
                found.emplace_back(number, std::string(DeviceDirectory) + "/" + entry->d_name);
            }
            ::closedir(dir);
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> paths;
        for (const auto& chip : found) paths.push_back(chip.second);
        return paths;
    }
};

}  // namespace

GpioIo& systemGpioIo() {
    static SystemGpioIo io;
    return io;
}

}  // namespace mervex
