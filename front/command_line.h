/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// What the program answers from its command line alone, without a window:
// its version and its usage, as quillon-cli answers them.
#pragma once

#include <optional>

// The exit code when the command line asked for an answer, printed on
// standard output; nullopt when the window is to open. The toolkit's own
// options (-platform, -style ...) are left to it.
std::optional<int> answer_command_line(int argc, char** argv);
