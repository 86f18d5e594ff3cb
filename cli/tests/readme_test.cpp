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

std::string readme() {
    std::stringstream text;
    text << std::ifstream(std::filesystem::path(QUILLON_SOURCE_DIR) / "README.md").rdbuf();
    return text.str();
}

// The first code block of the section `heading` whose fence is followed by
// `opening` ("\n" for any, "c\n" for C, "\n$ " for commands).
std::string block(const std::string& text, const std::string& heading,
                  const std::string& opening = "\n") {
    const auto from = text.find("\n```" + opening, text.find("\n## " + heading + "\n"));
    const auto start = text.find('\n', from + 1) + 1;
    return text.substr(start, text.find("\n```\n", start) - start + 1);
}

// The "$ " lines of a block, each with what follows it.
std::vector<std::pair<std::string, std::string>> steps_of(const std::string& text) {
    std::istringstream lines(text);
    std::vector<std::pair<std::string, std::string>> steps;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("$ ")) {
            steps.emplace_back(line.substr(2), "");
        } else if (!steps.empty()) {
            steps.back().second += line + '\n';
        }
    }
    return steps;
}

TEST(ReadmeQuickStart, PrintsWhatTheProgramPrints) {
    const auto steps = steps_of(block(readme(), "Quick start: quillon-cli"));
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

#if defined(QUILLON_DEBUG_IHX)
TEST(ReadmeQuickStart, DebuggingSessionPrintsWhatTheProgramPrints) {
    const std::string text = readme();
    const auto steps = steps_of(block(text, "Quick start: debugging firmware", "\n$ "));
    ASSERT_EQ(steps.size(), 3u) << "no debugging quick start in the README";
    testing_support::Scratch scratch;
    scratch.write_text("main.c",
                       block(text, "Quick start: firmware on the simulated board", "c\n"));
    // Here the firmware's header is in the source tree, not installed: a
    // vandrel.pc of the scratch folder names it. tests/packaging runs the
    // example against an installed tree.
    scratch.write_text("vandrel.pc",
                       "firmwareincludedir=" + std::string(QUILLON_SOURCE_DIR) +
                           "/simboard/include\nName: vandrel\nDescription: -\nVersion: 1.2\n");
    for (const auto& [command, output] : steps) {
        const auto r = scratch.run(
            {}, {"DLPORTIO_SIM_RAM=", "PKG_CONFIG_PATH=" + scratch.dir().string()}, true,
            "/dev/null", {"/bin/sh", "-c", "cd \"$HOME\" && PATH=\"${0%/*}:$PATH\" && " + command},
            true);
        EXPECT_EQ(r.exit_code, 0) << command << '\n' << r.raw_err;
        EXPECT_EQ(as_shown(r.raw_err, scratch.dir().string()), as_shown(output, "")) << command;
    }
}
#endif

}  // namespace
}  // namespace qcli
