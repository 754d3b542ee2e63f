#pragma once
// The run log of production benches (--log=FILE): one JSON object per run, on
// one line, that says what went onto which chip and how the run ended. Runs on
// several ports that share the file never mix their lines: each line is
// appended whole, with one write, under an exclusive lock on the file.
#include <cstdint>
#include <string>

#include "chip/ChipSession.h"
#include "console/Stopwatch.h"
#include "driver/Request.h"
#include "driver/RunState.h"

namespace mervex {

class RunLog {
public:
    // Notes the run's start time; the run's duration is measured on clock.
    explicit RunLog(Clock& clock);
    // Closes the file.
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Open the log for appending, creating it, before the chip is touched: a
    // log that cannot be opened stops the run ("Can't open file", status 70).
    void open(const char* path);
    bool isOpen() const { return fd_ >= 0; }

    // Add a failure's text, as printed, to the record: the run's own failure
    // and any of switching the adapter off.
    void noteError(const std::string& text);

    // Each code and data file of the request, with its size and SHA-256, as
    // read now (the run has just loaded them).
    void noteInputFiles(const Request& request);

    // The lock level as the run found the chip, before any erase.
    void noteLockBefore(int lockLevel);

    // The fuses as read before any is programmed.
    void noteFusesBefore(const FuseValues& fuses);

    // What the run did, from its state at the end; call before the adapter
    // is released.
    void noteEnd(const Request& request, const RunState& state);

    // Append the record with the run's result and duration as one line, and
    // close the file. False, with the reason printed, when the line could not
    // be written whole (a part written is taken back out).
    bool write(int status);

private:
    int fd_ = -1;
    std::string path_;
    std::string startTime_;
    std::string errorText_;  // the run's error messages, as printed
    std::string body_;       // the fields gathered so far, each with its leading comma
    std::string inputFiles_;
    Stopwatch clock_;
    bool lockNoted_ = false;
    int lockBefore_ = LockUnknown;
    bool fusesNoted_ = false;
    FuseValues fusesBefore_;
};

// The JSON text of a string, quoted and escaped.
std::string jsonString(const std::string& text);

}  // namespace mervex
