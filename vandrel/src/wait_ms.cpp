// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The clock-based waits, passed in the board's time where the layer keeps it.
#include "wait_ms.h"

#include "dlportio.h"
#include "library_state.h"
#include "sleep_ms.h"

// Weak: a port-access layer that offers only the two byte functions still
// loads, and every wait is then slept.
extern "C" __attribute__((weak)) int dlportio_pass_time(unsigned long Port, unsigned long ms);

namespace vandrel {

void wait_ms(std::uint32_t ms) {
    if (dlportio_pass_time != nullptr && dlportio_pass_time(state().port_base & 0xFFFFu, ms) != 0) {
        return;
    }
    sleep_ms(ms);
}

}  // namespace vandrel
