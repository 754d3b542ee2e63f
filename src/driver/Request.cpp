#include "driver/Request.h"

namespace mervex {

Request& request() {
    static Request instance;
    return instance;
}

}  // namespace mervex
