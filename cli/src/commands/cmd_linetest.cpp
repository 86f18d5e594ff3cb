// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// linetest: wiring check on the port's data lines. No library export can set a
// single line, so this one talks to the port-access layer itself.
#include <board_query.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <cmath>

#include "command.h"
#include "line_test.h"

namespace qcli {

int run_linetest(Context& ctx) {
    LineTestSettings settings;
    settings.base = set_Port(VANDREL_PORT_QUERY);
    settings.hold_ms = static_cast<unsigned>(std::lround(ctx.options.hold_seconds * 1000.0));
    settings.include_write_strobe = ctx.options.all;
    const std::vector<StuckLine> stuck = run_line_test(
        ctx.out, settings,
        PortIo{board_query::write_port, board_query::read_port, board_query::read_data_lines});
    for (const StuckLine& line : stuck) {
        ctx.err << kProgramName << ": pin " << line.pin << " (" << line.name
                << ") does not follow: "
                << "driven " << (line.driven_high ? "high" : "low") << ", it reads back "
                << (line.driven_high ? "low" : "high")
                << " (a short to another line or to ground, or a broken driver)\n";
    }
    return stuck.empty() ? kExitOk : kExitNoBoard;
}

}  // namespace qcli
