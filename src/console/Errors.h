#pragma once
// Failures: the exception that carries a failure's exit status and its message
// up to the one top-level handler, which prints it and ends the run.
#include <exception>
#include <string>
#include <vector>

namespace mervex {

// Exit statuses of the process, named for what went wrong.
enum ExitStatus : int {
    ExitOk = 0,
    ExitChip = 10,      // chip refuses or fails an operation
    ExitIdentity = 30,  // wrong or unidentified chip
    ExitSync = 40,      // ISP synchronisation lost
    ExitFile = 50,      // file contents and placement
    ExitMemory = 60,    // allocation failure
    ExitUsage = 70,     // command line, request, configuration
    ExitSystem = 70,    // a system call, the port or the cable failed: cannot open, read, write, no answer
    ExitSignal = 80,    // terminated by a signal
    ExitOther = 255,    // anything else
};

// What an allocation failure prints.
constexpr const char* AllocationFailed = "Can't allocate memory\nFAILED\n";

// One line of a failure's report, printed at its message level.
struct FailureLine {
    int level;
    std::string text;
};

// How to get the short help, which the refusal of a switch ends with; ends with
// a line end.
extern const char* const HelpHintText;

// A failure: its exit status and the lines that say what went wrong, the
// message first (error level, with its own line ends), then any that follow it
// (a hint at info level). Printed once, by the top-level handler.
class app_error : public std::exception {
public:
    // A status with no text yet: a quiet end (help shown, status 0), or a
    // failure whose lines are added with then().
    explicit app_error(int status) : status_(status) {}
    app_error(int status, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Add a line printed after the message.
    app_error& then(int level, std::string text);
    // Add error text the user has already read where the failure arose (a
    // report printed as it was found, a question answered no): it is part of
    // what(), not printed again.
    app_error& shown(const std::string& text);

    int status() const noexcept { return status_; }
    const std::vector<FailureLine>& lines() const noexcept { return lines_; }
    // The text of the error-level lines: what the user reads as the failure.
    const char* what() const noexcept override { return errorText_.c_str(); }

private:
    int status_;
    std::vector<FailureLine> lines_;
    std::string errorText_;
};

// The failure of a system or C-library call, made right after it: the message,
// then the system's text for the errno of the call as a second error line.
class rtl_error : public app_error {
public:
    rtl_error(int status, const char* format, ...) __attribute__((format(printf, 3, 4)));
    int savedErrno() const noexcept { return errno_; }

private:
    int errno_;
};

// The failure as its caller reports it: with the caller's status, and `where`
// it arose put before its last line, the reason the lines above explain.
app_error failureAt(const app_error& failure, int status, const std::string& where);

// Print the failure's lines at their levels, as the top-level handler does.
void reportFailure(const app_error& failure);

}  // namespace mervex
