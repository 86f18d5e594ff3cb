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

// Without a display and with the toolkit's X11 plugin: opening a window would fail.
ProgramRun run_without_display(const std::string& program, const std::string& args) {
    const std::string line =
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" + program + "' " + args;
    ProgramRun run;
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        run.out += chunk.data();
    }
    const int status = ::pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Case {
    const char* args;
    const char* starts;
};

class QuillonCommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(QuillonCommandLine, AnswersWithoutAWindow) {
    const ProgramRun run = run_without_display(QUILLON_PATH, GetParam().args);
    EXPECT_EQ(run.exit_code, 0) << run.out;
    EXPECT_EQ(run.out.rfind(GetParam().starts, 0), 0u) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Options, QuillonCommandLine,
    ::testing::Values(Case{"--version", "quillon " QUILLON_VERSION " (libvandrel 1.02.000)\n"},
                      Case{"-V", "quillon " QUILLON_VERSION " (libvandrel 1.02.000)\n"},
                      Case{"--help", "Usage: quillon [--version]\n"},
                      Case{"-platform offscreen -h", "Usage: quillon [--version]\n"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(QuillonCommandLine, VersionLineIsQuillonClisWithTheProgramsName) {
    const ProgramRun gui = run_without_display(QUILLON_PATH, "--version");
    const ProgramRun cli = run_without_display(QUILLON_CLI_PATH, "--version");
    ASSERT_EQ(cli.exit_code, 0);
    EXPECT_EQ("quillon-cli" + gui.out.substr(std::string("quillon").size()), cli.out);
    EXPECT_EQ(gui.out.find('\n'), gui.out.size() - 1) << "one line";
}

TEST(QuillonCommandLine, ClosedStandardOutputIsAFailure) {
    EXPECT_EQ(run_without_display(QUILLON_PATH, "--version >&-").exit_code, 1);
}

}  // namespace
