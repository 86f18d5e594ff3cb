/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The library's clock-based waits (the reset pulse and the pause that opens a
// transfer). A board that keeps its own time, the simulated one, lets them pass
// in that time; on a real port they are slept.
#pragma once

#include <cstdint>

namespace vandrel {
void wait_ms(std::uint32_t ms);
}
