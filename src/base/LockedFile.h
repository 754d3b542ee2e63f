#pragma once
// A file opened for reading and writing and held under an exclusive lock, so
// that processes sharing it take turns.
#include <string>
#include <utility>

namespace mervex {

// The lock (flock) is on the file that the path names once the lock is held: a
// process that waited while another replaced the file by rename (replaceFile)
// finds its lock on the old file, and opens and locks the new one instead. So
// the lock stays correct across replacements and needs no companion file.
// Take flock's exclusive lock on fd, waiting for it or not; a signal does not
// end the wait. False with errno set when the lock is not taken.
bool lockExclusive(int fd, bool wait = true);

class LockedFile {
public:
    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    LockedFile(LockedFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    LockedFile& operator=(LockedFile&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~LockedFile() { close(); }

    // Open the file and wait for its lock. False with errno set when it cannot
    // be opened or locked.
    bool open(const std::string& path);
    // The same without waiting: false with errno EWOULDBLOCK while another
    // process holds the file.
    bool tryOpen(const std::string& path);

    // The descriptor of the held file, open for reading and writing; -1 when none.
    int fd() const { return fd_; }

    // Hold the lock through fd, a locked descriptor of the file that now has
    // the name (replaceFile with a holder); the old descriptor is closed.
    void adopt(int fd);

    // Read the whole file, at most limit bytes; false with errno set on a read
    // error. A file longer than limit gives its first limit + 1 bytes.
    bool read(std::string& text, size_t limit) const;

    // Unlock and close, if open.
    void close();

private:
    bool open(const std::string& path, bool wait);

    int fd_ = -1;
};

}  // namespace mervex
