/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// What the built quillon-cli says it knows, read from its own help, so that
// the manual page and the completion can be held against it.
#pragma once

#include <map>
#include <set>
#include <string>

namespace quillon::packaging {

struct CliSurface {
    std::set<std::string> commands;
    std::set<std::string> options;  // long options, "--port"
    // The long options on each command's usage line in the whole help, and
    // those its own help lists as its options.
    std::map<std::string, std::set<std::string>> command_options;
    // The example each command's own help shows, "quillon-cli upload fw.ihx".
    std::map<std::string, std::string> command_examples;
    // Options that take a value, with the value's name in the help ("--port" -> "P").
    std::map<std::string, std::string> option_values;
    // The exit codes its "Exit status" paragraph explains.
    std::set<int> exit_codes;
};

// From `quillon-cli --help` and `quillon-cli COMMAND --help` for each command.
CliSurface read_cli_surface(const std::string& program);

// The long options a help text names.
std::set<std::string> long_options_in(const std::string& help);

}  // namespace quillon::packaging
