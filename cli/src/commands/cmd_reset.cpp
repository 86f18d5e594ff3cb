// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// reset: pulse the board's reset line and let it run.
#include <vandrel.h>

#include "command.h"

namespace qcli {

int run_reset(Context& ctx) {
    reset();
    ctx.info() << "reset the uc\n";
    return kExitOk;
}

}  // namespace qcli
