#include "console/Console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <string>

namespace mervex {

namespace {

const char* levelPrefix(int level) {
    switch (level) {
        case LevelError: return "ERROR:  ";
        case LevelWarning: return "Warning: ";
        case LevelDebug: return "    ";
        case LevelTrace: return "        ";
        default: return "";
    }
}

constexpr size_t MessageBufferSize = 1024;

}  // namespace

Console::Console()
    : stdoutIsTerminal(isatty(fileno(stdout)) != 0), stderrIsTerminal(isatty(fileno(stderr)) != 0) {
    // Unbuffered, so partial bar lines and prompts appear at once.
    setvbuf(stdout, nullptr, _IONBF, 0);
    setvbuf(stderr, nullptr, _IONBF, 0);
}

void Console::redirect(std::FILE* newOut, std::FILE* newErr, bool outIsTerminal, bool errIsTerminal) {
    out = newOut;
    err = newErr;
    outLost = false;
    stdoutIsTerminal = outIsTerminal;
    stderrIsTerminal = errIsTerminal;
}

bool Console::progressEnabled() const {
    return progressMode == 1 || (progressMode == 2 && level >= LevelInfo);
}

Console& console() {
    static Console instance;
    return instance;
}

void message(int level, const char* format, ...) {
    // Callers print before they throw an rtl_error, which takes errno: printing,
    // and the terminal tests of the console's first use, must not change it.
    const int callerErrno = errno;
    Console& con = console();
    // An error or prompt must reach the user's terminal when stdout is redirected,
    // and standard error at all when nobody reads standard output any more.
    const bool copyToErr =
        level <= LevelError && ((con.stderrIsTerminal && !con.stdoutIsTerminal) || con.outLost);
    if (level > con.level || format == nullptr) {
        errno = callerErrno;
        return;
    }
    if (con.progressActive) {
        con.progressLabelPending = true;
        std::fputc('\n', con.out);
    }
    const char* prefix = levelPrefix(level);
    std::fputs(prefix, con.out);
    if (copyToErr) std::fputs(prefix, con.err);

    char text[MessageBufferSize];
    va_list args;
    va_start(args, format);
    int full = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (full < 0) text[0] = '\0';
    // A cut text keeps its line end so the next message starts on a line of its own.
    if (full >= int(sizeof text)) {
        size_t len = std::strlen(text);
        va_start(args, format);
        // Find out whether the full text ended with a line end.
        std::string whole(size_t(full) + 1, '\0');
        std::vsnprintf(&whole[0], whole.size(), format, args);
        va_end(args);
        if (!whole.empty() && whole[size_t(full) - 1] == '\n' && len > 0) text[len - 1] = '\n';
    }
    if (copyToErr) {
        std::fputs(text, con.err);
        std::fputs(text, con.out);
        std::fflush(con.err);
    } else {
        std::fputs(text, con.out);
    }
    std::fflush(con.out);
    // A reader that has gone (EPIPE) fails the write; the run goes on without
    // it, and errors, this one too, go to standard error from now on.
    if (std::ferror(con.out) != 0 && con.out != con.err) {
        std::clearerr(con.out);
        con.outLost = true;
        if (level <= LevelError && !copyToErr) {
            std::fputs(prefix, con.err);
            std::fputs(text, con.err);
            std::fflush(con.err);
        }
    }
    errno = callerErrno;
}

int readConsoleChar() { return std::fgetc(stdin); }

int readConsoleAnswer() {
    int first = std::fgetc(stdin);
    int c = first;
    while (c != EOF && c != '\n') c = std::fgetc(stdin);
    return first == '\n' ? '\n' : first;
}

}  // namespace mervex
