#pragma once
// Exclusive use of one target file, as a parallel port serves one process at a
// time: an flock on the file that the path names, held while the owner lives.
// A save renames a new file over the path; the saver locks the new file before
// the rename and hands it over (adopt), so the path never names an unlocked file.
#include <string>

namespace mervex {

class TargetLock {
public:
    // Open the file at path and lock it. A file that another process holds is
    // refused at once: "Virtual target '%s' is in use by another process\n" and
    // app_error (status 70). Failures to open or lock print and throw rtl_error (70).
    explicit TargetLock(std::string path);
    ~TargetLock();
    TargetLock(const TargetLock&) = delete;
    TargetLock& operator=(const TargetLock&) = delete;

    const std::string& path() const { return path_; }
    // A descriptor of the locked file, open for reading.
    int fd() const { return fd_; }
    // Hold the lock through fd, a locked descriptor of the file that now stands
    // at the path; the old descriptor is closed.
    void adopt(int fd);

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace mervex
