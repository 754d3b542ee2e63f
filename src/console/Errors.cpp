#include "console/Errors.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <utility>

#include "base/TextUtil.h"
#include "console/Console.h"

namespace mervex {

const char* const HelpHintText = "For short help type\n\tmervex -h\n";

app_error::app_error(int status, const char* format, ...) : status_(status) {
    va_list args;
    va_start(args, format);
    then(LevelError, formatTextV(format, args));
    va_end(args);
}

app_error& app_error::then(int level, std::string text) {
    if (level == LevelError) errorText_ += text;
    lines_.push_back({level, std::move(text)});
    return *this;
}

app_error& app_error::shown(const std::string& text) {
    errorText_ += text;
    return *this;
}

rtl_error::rtl_error(int status, const char* format, ...)
    // The errno of the failed call, before formatting can touch it.
    : app_error(status), errno_(errno) {
    va_list args;
    va_start(args, format);
    then(LevelError, formatTextV(format, args));
    va_end(args);
    then(LevelError, std::string(std::strerror(errno_)) + "\n");
}

app_error failureAt(const app_error& failure, int status, const std::string& where) {
    app_error placed(status);
    const std::vector<FailureLine>& lines = failure.lines();
    for (size_t i = 0; i < lines.size(); ++i)
        placed.then(lines[i].level, (i + 1 == lines.size() ? where : "") + lines[i].text);
    return placed;
}

void reportFailure(const app_error& failure) {
    if (failure.status() == ExitOk) return;
    for (const FailureLine& line : failure.lines()) message(line.level, "%s", line.text.c_str());
}

}  // namespace mervex
