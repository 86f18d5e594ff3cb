/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// quillon-cli as a function, so the whole program can be driven from tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qcli {

// args excludes the program name. Returns the process exit code.
int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void print_usage(std::ostream& out);

}  // namespace qcli
