// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// info: what this invocation would talk to, and through what.
#include <board_query.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <array>
#include <cstdio>

#include "command.h"

namespace qcli {

int run_info(Context& ctx) {
    const std::uint16_t base = set_Port(VANDREL_PORT_QUERY);
    std::array<char, 16> port{};
    std::snprintf(port.data(), port.size(), "0x%X", unsigned{base});
    ctx.out << "library version: " << get_version() << '\n'
            << "port:            " << port.data() << '\n'
            << "delay:           " << unsigned{get_delay()} << '\n'
            << "port access:     " << board_query::access_name(base) << '\n';
    return kExitOk;
}

}  // namespace qcli
