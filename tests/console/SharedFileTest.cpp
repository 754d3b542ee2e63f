// The file primitives that shared files (serial numbers, run log, target
// files) rest on: a replacement is whole or absent, and a lock follows the
// file that has the name.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "base/LockedFile.h"
#include "base/ReplaceFile.h"
#include "support/Files.h"

namespace mervex::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

mode_t modeOf(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(ReplaceFile, WholeNewContentsOrTheOldFileUntouched) {
    const mode_t mask = ::umask(022);
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;  // in the case's directory, before the replacement
        const char* path;                              // replaced, relative to the directory
        long sizeLimit;                                // RLIMIT_FSIZE during the replacement, -1 none
        int error;                                     // 0: replaced
        mode_t mode;                                   // of the file after a replacement
    };
    const Case cases[] = {
        {"new file", [](const fs::path&) {}, "f", -1, 0, 0644},
        {"the file's mode is kept",
         [](const fs::path& d) {
             writeFile(d / "f", "old");
             fs::permissions(d / "f", fs::perms(0600));
         },
         "f", -1, 0, 0600},
        {"a link stays a link",
         [](const fs::path& d) {
             writeFile(d / "real", "old");
             fs::create_symlink("real", d / "f");
         },
         "f", -1, 0, 0644},
        {"missing directory", [](const fs::path&) {}, "missing/f", -1, ENOENT, 0},
        {"name held by a directory", [](const fs::path& d) { fs::create_directory(d / "f"); }, "f", -1, EISDIR, 0},
        {"disk full while writing", [](const fs::path& d) { writeFile(d / "f", "old"); }, "f", 100, EFBIG, 0},
    };
    const std::string text(300, 'n');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir("replace-");
        c.prepare(dir.path());
        const std::set<std::string> before = namesIn(dir.path());
        const std::string oldText = readFile(dir.path() / c.path);
        const fs::path path = dir.path() / c.path;

        struct rlimit saved;
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (c.sizeLimit >= 0) {
            struct rlimit limit = saved;
            limit.rlim_cur = rlim_t(c.sizeLimit);
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        errno = 0;
        const bool replaced = replaceFile(path.string(), text);
        const int error = errno;
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(replaced, c.error == 0);
        if (c.error == 0) {
            EXPECT_EQ(readFile(path), text);
            EXPECT_EQ(modeOf(path), c.mode);
            EXPECT_EQ(fs::is_symlink(path), fs::exists(dir.path() / "real"));  // only the link case has one
            std::set<std::string> expected = before;
            expected.insert("f");
            EXPECT_EQ(namesIn(dir.path()), expected);  // no temporary file left
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(readFile(path), oldText);
            EXPECT_EQ(namesIn(dir.path()), before);
        }
    }
    ::umask(mask);
}

TEST(LockedFile, OneHolderAtATimeAndBoundedReads) {
    TempDir dir("locked-");
    const std::string path = (dir.path() / "shared").string();
    LockedFile missing;
    const bool opened = missing.open(path);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(opened);
    EXPECT_EQ(missing.fd(), -1);

    writeFile(path, "abcdef");
    LockedFile first, second;
    ASSERT_TRUE(first.open(path));
    const bool taken = second.tryOpen(path);
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_FALSE(taken);
    std::string text;
    ASSERT_TRUE(first.read(text, 3));
    EXPECT_EQ(text, "abcd");  // one byte more than the limit tells a longer file
    ASSERT_TRUE(first.read(text, 6));
    EXPECT_EQ(text, "abcdef");
    first.close();
    EXPECT_TRUE(second.tryOpen(path));
}

// A holder that replaces the file moves onto the new one, so the name never
// stands for an unlocked file; a run that waited meanwhile ends up holding
// the new file, not the old one it may have opened.
TEST(LockedFile, TheLockFollowsAReplacement) {
    TempDir dir("locked-");
    const std::string path = (dir.path() / "shared").string();
    writeFile(path, "1\n");
    LockedFile holder;
    ASSERT_TRUE(holder.open(path));
    std::string waiterRead;
    std::thread waiter([&] {
        LockedFile file;
        if (file.open(path)) file.read(waiterRead, 100);
    });
    ASSERT_TRUE(replaceFile(path, "2\n", &holder));
    LockedFile other;
    EXPECT_FALSE(other.tryOpen(path));  // the new file is held
    std::string text;
    ASSERT_TRUE(holder.read(text, 100));
    EXPECT_EQ(text, "2\n");
    holder.close();
    waiter.join();
    EXPECT_EQ(waiterRead, "2\n");
}

}  // namespace
}  // namespace mervex::test
