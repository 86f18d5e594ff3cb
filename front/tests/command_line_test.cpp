// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The built program answers --version and --help without a display, as quillon-cli does.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct ProgramRun {
    std::string out;
    int exit_code = -1;
};

// No display, and the toolkit's X11 plugin: a window would fail to open.
ProgramRun run_without_display(const std::string& program, const std::string& args) {
    const std::string line =
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" + program + "' " + args;
    ProgramRun run;
    FILE* pipe = ::popen(line.c_str(), "r");
    std::array<char, 256> chunk{};
    while (pipe != nullptr && std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        run.out += chunk.data();
    }
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Case {
    const char* args;
    std::string out;
    int exit_code;
};

class QuillonCommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(QuillonCommandLine, AnswersWithoutAWindow) {
    const ProgramRun run = run_without_display(QUILLON_PATH, GetParam().args);
    EXPECT_EQ(run.exit_code, GetParam().exit_code) << run.out;
    EXPECT_EQ(run.out.substr(0, GetParam().out.size()), GetParam().out);
}

const std::string kVersion = "quillon " QUILLON_VERSION " (libvandrel 1.02.000)\n";

INSTANTIATE_TEST_SUITE_P(Options, QuillonCommandLine,
                         ::testing::Values(Case{"--version", kVersion, 0}, Case{"-V", kVersion, 0},
                                           Case{"-platform offscreen -h", "Usage: quillon ", 0},
                                           Case{"--version >&-", "", 1}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(QuillonCommandLine, VersionLineIsQuillonClisWithTheProgramsName) {
    EXPECT_EQ(run_without_display(QUILLON_PATH, "--version").out, kVersion);
    EXPECT_EQ(run_without_display(QUILLON_CLI_PATH, "--version").out,
              "quillon-cli" + kVersion.substr(std::string("quillon").size()));
}

}  // namespace
