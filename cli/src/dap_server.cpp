// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "dap_server.h"

namespace qcli {

int run_dap_server(Context& ctx, std::istream&, std::ostream&) {
    return ctx.fail("--dap is not built yet");
}

}  // namespace qcli
