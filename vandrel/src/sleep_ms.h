// The library's only clock-based waits (the reset pulse and the pause that opens a
// transfer) go through this one function, so tests can link a fake clock instead.
#pragma once

#include <cstdint>

namespace vandrel {
void sleep_ms(std::uint32_t ms);
}
