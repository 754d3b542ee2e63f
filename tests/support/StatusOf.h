#pragma once
// The exit status a piece of code leaves: 0 when it returns, the status of the
// error when it throws one, whose lines are printed as the top-level handler
// prints them.
#include <functional>

#include "console/Errors.h"

namespace mervex::test {

inline int statusOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const app_error& e) {
        reportFailure(e);
        return e.status();
    }
    return 0;
}

}  // namespace mervex::test
