// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The tests' millisecond sleep: it returns at once and logs the pause among the port
// accesses, so the order of sleeps and writes can be checked.
#include "port_recorder.h"
#include "sleep_ms.h"

namespace vandrel {
void sleep_ms(std::uint32_t ms) {
    auto& r = vandrel_test::recorder();
    r.slept_ms += ms;
    r.add({vandrel_test::PortEvent::Kind::sleep, 0, ms});
}
}  // namespace vandrel
