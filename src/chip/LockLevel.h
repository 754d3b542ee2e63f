#pragma once
// The names of the chip's lock levels, as the messages print them.

namespace mervex {

// "not locked", "locked - programming disabled", "locked - reading and
// programming disabled" for levels 0..2; nullptr for any other level.
const char* lockLevelName(int level);

}  // namespace mervex
