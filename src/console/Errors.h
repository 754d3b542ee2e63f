#pragma once
// Failure reporting: the message is printed first, then one of these carries
// the exit status up to the top-level handler.
#include <exception>
#include <string>

namespace mervex {

// Exit statuses of the process.
enum ExitStatus : int {
    ExitOk = 0,
    ExitChip = 10,      // chip refuses or fails an operation
    ExitIdentity = 30,  // wrong or unidentified chip
    ExitSync = 40,      // ISP synchronisation lost
    ExitFile = 50,      // file contents and placement
    ExitMemory = 60,    // allocation failure
    ExitUsage = 70,     // command line, request, configuration, open failures
    ExitSignal = 80,    // terminated by a signal
    ExitOther = 255,    // anything else
};

// Carries only an exit status; whoever throws it has printed the message already.
class app_error : public std::exception {
public:
    explicit app_error(int status) : status_(status) {}
    int status() const noexcept { return status_; }
    const char* what() const noexcept override { return ""; }

private:
    int status_;
};

// Thrown right after a failing system call. The errno is captured at
// construction, so later calls cannot change the text that what() reports.
// A detail text replaces the system's text where no system call failed.
class rtl_error : public app_error {
public:
    explicit rtl_error(int status);
    rtl_error(int status, std::string detail);
    int savedErrno() const noexcept { return errno_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    int errno_;
    std::string text_;
};

}  // namespace mervex
