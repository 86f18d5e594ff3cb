// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The README's quick start, run as it stands on a fresh machine: its commands
// in a new home folder, their output on one terminal as a user sees it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli_process.h"

namespace qcli {
namespace {

// What a terminal shows at the end: a progress line rewritten in place keeps
// its last state; the home folder and the seconds a transfer took vary.
std::string as_shown(std::string text, const std::string& home) {
    text = std::regex_replace(text, std::regex("\r\n"), "\n");
    text = std::regex_replace(text, std::regex("[^\n]*\r"), "");
    for (auto at = text.find(home); !home.empty() && at != std::string::npos;
         at = text.find(home, at)) {
        text.replace(at, home.size(), "/home/me");
    }
    return std::regex_replace(text, std::regex("  [0-9]+\\.[0-9] s\n"), "  N s\n");
}

TEST(ReadmeQuickStart, PrintsWhatTheProgramPrints) {
    std::stringstream readme;
    readme << std::ifstream(std::filesystem::path(QUILLON_SOURCE_DIR) / "README.md").rdbuf();
    const std::string text = readme.str();
    const auto from = text.find("\n```\n", text.find("\n## Quick start: quillon-cli\n"));
    std::istringstream block(text.substr(from + 5, text.find("\n```\n", from + 1) - from - 4));
    std::vector<std::pair<std::string, std::string>> steps;  // "$ " line, what follows it
    for (std::string line; std::getline(block, line);) {
        if (line.starts_with("$ ")) {
            steps.emplace_back(line.substr(2), "");
        } else if (!steps.empty()) {
            steps.back().second += line + '\n';
        }
    }
    ASSERT_GE(steps.size(), 3u) << "no quick start with commands in the README";
    testing_support::Scratch scratch;
    std::filesystem::remove(scratch.profile_path());  // a fresh machine: no settings yet
    for (const auto& [command, output] : steps) {
        // The layer's own choice of board and place for its RAM.
        const auto r = scratch.run(
            {}, {"DLPORTIO_BACKEND=", "DLPORTIO_SIM_RAM=", "XDG_CONFIG_HOME="}, true, "/dev/null",
            {"/bin/sh", "-c", "cd \"$HOME\" && PATH=\"${0%/*}:$PATH\" && " + command}, true);
        if (command.starts_with("quillon-cli info") &&
            r.raw_err.find("port access:     sim ") == std::string::npos) {
            GTEST_SKIP() << "this machine has a parallel port: " << r.raw_err;
        }
        EXPECT_EQ(r.exit_code, 0) << command << '\n' << r.raw_err;
        EXPECT_EQ(as_shown(r.raw_err, scratch.dir().string()), as_shown(output, "")) << command;
    }
}

}  // namespace
}  // namespace qcli
