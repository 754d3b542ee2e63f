#include "target/VirtualTargetHook.h"

#include <sys/stat.h>

#include <cstdio>

#include "target/VirtualPort.h"
#include "target/VirtualTargetFile.h"

namespace mervex {

bool isVirtualTargetFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char line[64] = {};
    size_t n = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    return hasVirtualTargetHeader(std::string(line, n));
}

std::unique_ptr<ParallelPort> openVirtualPort(const std::string& path) {
    return std::make_unique<VirtualPort>(loadVirtualTarget(path), path);
}

}  // namespace mervex
