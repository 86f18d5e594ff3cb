/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Real time for the waits that the port-access layer does not pass itself
// (wait_ms.h): the one sleep of the library, so tests can link a fake clock.
#pragma once

#include <cstdint>

namespace vandrel {
void sleep_ms(std::uint32_t ms);
}
