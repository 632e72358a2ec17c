// The names the log gives command numbers: video commands 200 to 249, terminal opcodes 0 to 142.
#pragma once

#include <cstdint>

// The command's name, or the empty text for a number neither table covers. The number is compared as
// an unsigned value, so a negative number has no name.
const char* CommandName(int32_t nCmd);
