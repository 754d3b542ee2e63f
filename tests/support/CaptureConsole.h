#pragma once
// Redirects the process console to temporary files for the life of the object.
#include <cstdio>
#include <string>

#include "console/Console.h"

namespace mervex::test {

// As level: the console's level and progress mode are left as they are (a
// run of the program sets its own).
constexpr int KeepConsoleSettings = -1;

class CaptureConsole {
public:
    // With a level, the console has it (and the progress bar closed) until the capture ends.
    explicit CaptureConsole(bool outIsTerminal = false, bool errIsTerminal = false, int level = LevelInfo)
        : out_(std::tmpfile()), err_(std::tmpfile()), keep_(level == KeepConsoleSettings) {
        Console& con = console();
        savedLevel_ = con.level;
        savedMode_ = con.progressMode;
        con.redirect(out_, err_, outIsTerminal, errIsTerminal);
        if (keep_) return;
        con.level = uint8_t(level);
        con.progressActive = false;
        con.progressLabelPending = false;
    }
    ~CaptureConsole() {
        Console& con = console();
        con.redirect(stdout, stderr, false, false);
        if (!keep_) {
            con.level = savedLevel_;
            con.progressMode = savedMode_;
            con.progressActive = false;
        }
        std::fclose(out_);
        std::fclose(err_);
    }
    CaptureConsole(const CaptureConsole&) = delete;
    CaptureConsole& operator=(const CaptureConsole&) = delete;

    std::string out() const { return contents(out_); }
    std::string err() const { return contents(err_); }

private:
    static std::string contents(std::FILE* f) {
        std::fflush(f);
        long end = std::ftell(f);
        std::string text(size_t(end > 0 ? end : 0), '\0');
        std::rewind(f);
        size_t got = std::fread(&text[0], 1, text.size(), f);
        text.resize(got);
        std::fseek(f, 0, SEEK_END);
        return text;
    }

    std::FILE* out_;
    std::FILE* err_;
    bool keep_;
    uint8_t savedLevel_ = LevelInfo;
    uint8_t savedMode_ = 2;
};

}  // namespace mervex::test
