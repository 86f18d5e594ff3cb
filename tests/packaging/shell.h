/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Runs the tools that build, install and inspect the package, and keeps their
// output in a scratch folder that goes away with the test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "quillon_test/scratch_folder.h"

namespace quillon::packaging {

using quillon_test::ScratchFolder;

struct ShellResult {
    int exit_code = -1;
    std::string output;  // standard output and standard error together
};

// Runs a command line with /bin/sh.
ShellResult run_shell(const std::string& command);

// text in single quotes for /bin/sh.
std::string quoted(const std::string& text);

std::string read_text(const std::filesystem::path& path);
std::vector<std::string> lines_of(const std::string& text);

}  // namespace quillon::packaging
