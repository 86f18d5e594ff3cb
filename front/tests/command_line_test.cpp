// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The built program answers --version and --help without a display, as quillon-cli does.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Case {
    const char* program;
    const char* args;
    std::string out;  // how it starts
    int exit_code;
};

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, AnswersWithoutAWindow) {
    // No display, and the toolkit's X11 plugin: a window would fail to open.
    const std::string line = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ") +
                             GetParam().program + " " + GetParam().args;
    FILE* pipe = ::popen(line.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        out += chunk.data();
    }
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, GetParam().exit_code) << out;
    EXPECT_EQ(out.substr(0, GetParam().out.size()), GetParam().out);
}

#define VERSIONS " " QUILLON_VERSION " (libvandrel 1.02.000)\n"

INSTANTIATE_TEST_SUITE_P(
    Programs, CommandLine,
    ::testing::Values(Case{QUILLON_PATH, "--version", "quillon" VERSIONS, 0},
                      Case{QUILLON_CLI_PATH, "--version", "quillon-cli" VERSIONS, 0},
                      Case{QUILLON_PATH, "-V", "quillon" VERSIONS, 0},
                      Case{QUILLON_PATH, "-platform offscreen -h", "Usage: quillon ", 0},
                      Case{QUILLON_PATH, "--version >&-", "", 1}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
