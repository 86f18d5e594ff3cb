/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// quillon-cli as a function, so the whole program can be driven from tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qcli {

// args excludes the program name. Returns the process exit code. out_closed:
// standard output was closed when the program started, and `out` stands for it.
int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            bool out_closed = false);

struct Command;

// The whole help: every command and option.
void print_usage(std::ostream& out);
// One command's own: its usage line, its options, its notes and its example.
void print_command_help(std::ostream& out, const Command& command);
// "quillon-cli: <message>" and where to find help on err; returns kExitUsage.
int usage_error(std::ostream& err, const std::string& message);

}  // namespace qcli
