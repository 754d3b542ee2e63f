#include "driver/CheckVerdict.h"

#include "base/TextUtil.h"
#include "console/Console.h"

namespace mervex {

void reportStep(const char* step, const std::string& text) { message(LevelInfo, "%s: %s\n", step, text.c_str()); }

app_error checkFailed(const char* failureClass, int status, const std::string& todo) {
    app_error failure(status);
    failure.then(LevelInfo, formatText("Result: FAIL (%s)\n", failureClass));
    failure.then(LevelInfo, "To do: " + todo + "\n");
    return failure;
}

app_error portFailed(const app_error& failure) {
    std::string text;
    for (const FailureLine& line : failure.lines()) text += line.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    reportStep("Port", text);
    return checkFailed("port", failure.status(),
                       "name the port with -p (its device, such as /dev/parport0, or a virtual target file), and "
                       "see that nothing else holds it and that you may use it");
}

std::string clockSwitch(uint32_t hz, bool frequencyIsSck) {
    if (hz == 0) return "-o0";
    const char* prefix = frequencyIsSck ? "-os" : "-o";
    if (hz % 1000000 == 0) return formatText("%s%uMHz", prefix, unsigned(hz / 1000000));
    if (hz % 1000 == 0) return formatText("%s%ukHz", prefix, unsigned(hz / 1000));
    return formatText("%s%uHz", prefix, unsigned(hz));
}

}  // namespace mervex
