/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// `quillon-cli debug --dap`: the Debug Adapter Protocol on standard input and
// output, for VS Code, nvim-dap, Emacs dape and other editors.
#pragma once

#include <istream>
#include <ostream>

#include "command.h"

namespace qcli {

int run_dap_server(Context& ctx, std::istream& in, std::ostream& out);

}  // namespace qcli
