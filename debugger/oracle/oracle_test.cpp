// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// gdb as the reference: one script run by gdb on the program built for the
// host and by quillon-cli debug --batch on the same C built by sdcc, in each
// memory model; the answers, their addresses set aside, agree line by line
// but for the few that SDCC's records force, listed here with the reason.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string output_of(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    std::array<char, 4096> chunk{};
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) {
        text.append(chunk.data(), got);
    }
    ::pclose(pipe);
    return text;
}

// Lines only one side prints whatever the program: gdb's thread and exit
// notes, and what quillon-cli says of a command as a terminal's gdb would
// ("Continuing.", "Run till exit from ...") and the firmware's result.
bool chatter(const std::string& line) {
    for (const char* start : {"[", "Using host libthread_db", "Continuing.", "Run till exit from",
                              "firmware result "}) {
        if (line.starts_with(start)) {
            return true;
        }
    }
    return false;
}

// The answers without what two machines cannot share: code addresses, the
// folder the host's compiler was given the source in, the parameters gdb
// lists in a frame (SDCC records no parameter list), and the numbers of the
// value history (a value that cannot be told takes none).
std::vector<std::string> normalised(const std::string& text) {
    static const std::regex breakpoint_at(R"(^((Temporary b|B)reakpoint \d+ at )0x[0-9a-f]+:)");
    static const std::regex frame_address(R"(0x[0-9a-f]+ in )");
    static const std::regex arguments(R"(^(.*\b\w+) \([^)]*\) at )");
    static const std::regex history(R"(\$\d+ = )");
    static const std::regex folder(R"((file | at )[^ :,]*/)");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || chatter(line)) {
            continue;
        }
        line = std::regex_replace(line, breakpoint_at, "$1ADDR:");
        line = std::regex_replace(line, frame_address, "");
        line = std::regex_replace(line, arguments, "$1 () at ");
        line = std::regex_replace(line, folder, "$1");
        line = std::regex_replace(line, history, "$$ = ");
        lines.push_back(line);
    }
    return lines;
}

// Where SDCC's records leave the debugger another answer than gdb's.
struct Forced {
    const char* gdb;
    const char* board;
    const char* why;
};
constexpr std::array kForced{
    // SDCC lists `sum` with no registers (small, medium, stack-auto) or no
    // address (large): the value lives in registers it does not name.
    Forced{"$ = -2", "$ = <optimized out>", "SDCC keeps sum nowhere it records"},
    // x's registers are sum's after line 52 in all but the large model, and
    // SDCC records no live ranges to tell when.
    Forced{"$ = -3",
           "cannot read x: it is kept in r6, r7 only over lines SDCC does not record, and sum "
           "may hold them here",
           "SDCC records no live range for x's registers"},
};

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    return text;
}

class Oracle : public testing::TestWithParam<const char*> {};

TEST_P(Oracle, AnswersAsGdbDoesOnTheSameC) {
    if (::access("/usr/bin/s51", X_OK) != 0) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const fs::path script = fs::path(ORACLE_SOURCES) / "oracle_session.gdb";
    const std::vector<std::string> gdb = normalised(output_of(
        std::string(ORACLE_GDB) + " -nx -batch -x " + script.string() + " " ORACLE_HOST " 2>&1"));

    // The simulated 8051 waits at its reset: gdb's `run` is `continue` there.
    const fs::path scratch = fs::path(::testing::TempDir()) / ("oracle_" + std::string(GetParam()));
    fs::create_directories(scratch);
    {
        std::ifstream in(script);
        std::ofstream out(scratch / "session.gdb");
        for (std::string line; std::getline(in, line);) {
            out << (line == "run" ? "continue" : line) << '\n';
        }
    }
    const std::string image = std::string(ORACLE_IMAGES) + "/" + GetParam() + "/oracle.ihx";
    const std::vector<std::string> board = normalised(output_of(
        "env DLPORTIO_SIM_MCU=s51 XDG_CONFIG_HOME=" + scratch.string() +
        " XDG_STATE_HOME=" + scratch.string() + " " ORACLE_CLI " -q debug " + image + " --batch " +
        (scratch / "session.gdb").string() + " --source-dir " ORACLE_SOURCES " 2>&1"));

    ASSERT_GT(gdb.size(), 30U) << joined(gdb);
    ASSERT_EQ(board.size(), gdb.size()) << "gdb:\n"
                                        << joined(gdb) << "\nquillon-cli:\n"
                                        << joined(board);
    for (std::size_t i = 0; i < gdb.size(); ++i) {
        if (board[i] == gdb[i]) {
            continue;
        }
        const bool forced = std::ranges::any_of(
            kForced, [&](const Forced& f) { return gdb[i] == f.gdb && board[i] == f.board; });
        EXPECT_TRUE(forced) << "line " << i + 1 << ": gdb says\n  " << gdb[i]
                            << "\nquillon-cli says\n  " << board[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Models, Oracle, testing::Values("small", "medium", "large", "stack-auto"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::ranges::replace(name, '-', '_');
                             return name;
                         });

}  // namespace
