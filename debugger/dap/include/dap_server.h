/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// `quillon-cli debug --dap`: the Debug Adapter Protocol on standard input and
// output, for VS Code, nvim-dap, Emacs dape and other editors. One thread:
// while the 8051 runs, the server keeps reading requests between its looks
// at the run, so `pause` and `disconnect` take effect at once.
#pragma once

#include "command.h"

namespace qcli {

// Serves the protocol on the descriptors until the client disconnects or its
// input ends; returns the exit status the firmware's end gives.
int run_dap_server(Context& ctx, int in_fd, int out_fd);

}  // namespace qcli
