/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The Debug Adapter Protocol on two descriptors, for VS Code, nvim-dap,
// Emacs dape and other editors. One thread: while the 8051 runs, the server
// keeps reading requests between its looks at the run, so `pause` and
// `disconnect` take effect at once.
#pragma once

#include "dap_host.h"

namespace dap {

// The exit status of a session whose stream of requests could not be
// followed before an image was launched (after, the board's end tells it).
inline constexpr int kExitBadStream = 2;

// Serves the protocol until the client disconnects or its input ends;
// returns the exit status the firmware's end gives.
int serve(Host& host, int in_fd, int out_fd);

}  // namespace dap
