// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The README's quick start, run as it stands on a fresh machine: its commands
// in a new home folder, their output on one terminal as a user sees it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

#include "cli_process.h"

namespace qcli {
namespace {

using testing_support::Scratch;

struct Step {
    std::string command;  // after "$ ", comment included
    std::string output;
};

// The first block after the heading: "$ " lines and what follows each.
std::vector<Step> quick_start(const std::string& readme) {
    const auto heading = readme.find("\n## Quick start: quillon-cli\n");
    const auto from = readme.find("\n```\n", heading);
    const auto to = readme.find("\n```\n", from + 1);
    std::vector<Step> steps;
    if (heading == std::string::npos || from == std::string::npos || to == std::string::npos) {
        return steps;
    }
    std::istringstream block(readme.substr(from + 5, to - from - 4));
    for (std::string line; std::getline(block, line);) {
        if (line.starts_with("$ ")) {
            steps.push_back({line.substr(2), ""});
        } else if (!steps.empty()) {
            steps.back().output += line + '\n';
        }
    }
    return steps;
}

// What a terminal shows at the end: a progress line rewritten in place keeps
// its last state; the home folder and the seconds a transfer took vary.
std::string as_shown(std::string text, const std::string& home) {
    text = std::regex_replace(text, std::regex("\r\n"), "\n");
    text = std::regex_replace(text, std::regex("[^\n]*\r"), "");
    for (auto at = home.empty() ? std::string::npos : text.find(home); at != std::string::npos;
         at = text.find(home, at)) {
        text.replace(at, home.size(), "/home/me");
    }
    return std::regex_replace(text, std::regex("  [0-9]+\\.[0-9] s\n"), "  N s\n");
}

TEST(ReadmeQuickStart, PrintsWhatTheProgramPrints) {
    std::ifstream in(std::filesystem::path(QUILLON_SOURCE_DIR) / "README.md");
    const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::vector<Step> steps = quick_start(readme);
    ASSERT_GE(steps.size(), 3u) << "no quick start with commands in the README";
    Scratch scratch;
    std::filesystem::remove(scratch.profile_path());  // a fresh machine: no settings yet
    // The layer's own choice and its own place for the board's RAM.
    const std::vector<std::string> fresh{"DLPORTIO_BACKEND=", "DLPORTIO_SIM_RAM=",
                                         "XDG_CONFIG_HOME=" + scratch.path(".config").string()};
    for (const Step& step : steps) {
        const auto r = scratch.run(
            {}, fresh, true, "/dev/null",
            {"/bin/sh", "-c", "cd \"$HOME\" && PATH=\"${0%/*}:$PATH\" && " + step.command}, true);
        if (step.command.starts_with("quillon-cli info") &&
            r.raw_err.find("port access:     sim ") == std::string::npos) {
            GTEST_SKIP() << "this machine has a parallel port: " << r.raw_err;
        }
        EXPECT_EQ(r.exit_code, 0) << step.command << '\n' << r.raw_err;
        EXPECT_EQ(as_shown(r.raw_err, scratch.dir().string()), as_shown(step.output, ""))
            << step.command;
    }
}

}  // namespace
}  // namespace qcli
