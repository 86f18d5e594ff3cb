// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The library's real sleep.
#include "sleep_ms.h"

#include <chrono>
#include <thread>

namespace vandrel {
void sleep_ms(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
}  // namespace vandrel
