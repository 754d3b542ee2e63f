#pragma once
// Files for tests: whole-file reads and writes, scratch paths and private
// temporary directories.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace mervex::test {

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline std::vector<uint8_t> readFileBytes(const std::filesystem::path& path) {
    const std::string bytes = readFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Replace the file's contents with the bytes.
inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool fileExists(const std::filesystem::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// A path in the tests' scratch directory, which is created on first use.
inline std::string scratchPath(const std::string& name) {
    ::mkdir(MERVEX_TEST_TMP, 0755);
    return std::string(MERVEX_TEST_TMP) + "/" + std::to_string(::getpid()) + "-" + name;
}

// A fresh directory under the tests' temporary directory, removed with its contents.
class TempDir {
public:
    explicit TempDir(const std::string& stem) {
        ::mkdir(MERVEX_TEST_TMP, 0755);
        std::string pattern = std::string(MERVEX_TEST_TMP) + "/" + stem + "XXXXXX";
        if (::mkdtemp(&pattern[0]) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when the directory could not be made.
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace mervex::test
