#include "console/Errors.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace mervex {

rtl_error::rtl_error(int status) : app_error(status), errno_(errno), text_(std::strerror(errno_)) {}

rtl_error::rtl_error(int status, std::string detail)
    : app_error(status), errno_(0), text_(std::move(detail)) {}

}  // namespace mervex
