// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli debug: scripted sessions on firmware built with sdcc --debug,
// on the simulated board's own 8051, through the built program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "cli_process.h"

namespace qcli {
namespace {

using testing_support::describe;
using testing_support::ProcessResult;
using testing_support::Scratch;

#if defined(QUILLON_DEBUG_IHX)
constexpr const char* kSource = "debug_firmware.c";

// The line of the firmware's source that holds `marker`.
unsigned line_of(const std::string& marker) {
    std::ifstream in(std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/" + kSource);
    unsigned number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find(marker) != std::string::npos) {
            return number;
        }
    }
    ADD_FAILURE() << "no line with " << marker;
    return 0;
}

std::string at(const std::string& marker) {
    return std::string(kSource) + ":" + std::to_string(line_of(marker));
}
#endif

class CliDebug : public testing::Test {
protected:
    void SetUp() override {
#if !defined(QUILLON_DEBUG_IHX)
        GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
        if (::access("/usr/bin/s51", X_OK) != 0) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
#endif
    }

    // A scripted session on this folder's board.
    ProcessResult session(const Scratch& board, const std::string& script,
                          std::vector<std::string> more = {}) const {
        board.write_text("session.gdb", script);
        std::vector<std::string> args{
            "-q",           "debug",     image(), "--batch", board.path("session.gdb").string(),
            "--source-dir", source_dir()};
        args.insert(args.end(), more.begin(), more.end());
        return board.run(args, {"DLPORTIO_SIM_MCU=s51"});
    }
    static std::string image() {
#if defined(QUILLON_DEBUG_IHX)
        return QUILLON_DEBUG_IHX;
#else
        return {};
#endif
    }
    static std::string source_dir() {
#if defined(QUILLON_FIRMWARE_SOURCE_DIR)
        return QUILLON_FIRMWARE_SOURCE_DIR;
#else
        return {};
#endif
    }

    Scratch scratch;
};

#if defined(QUILLON_DEBUG_IHX)
TEST_F(CliDebug, BatchSessionBreaksPrintsStepsSetsAndEndsWithTheVerdict) {
    const unsigned body = line_of("loop body");
    const ProcessResult r = session(scratch, "break " + at("loop body") +
                                                 "\n"
                                                 "run\n"
                                                 "print i\n"
                                                 "print sum\n"
                                                 "next\n"
                                                 "next\n"
                                                 "continue\n"
                                                 "print i\n"
                                                 "print sum\n"
                                                 "print samples\n"
                                                 "step\n"
                                                 "step\n"
                                                 "bt\n"
                                                 "finish\n"
                                                 "set var sum = 100\n"
                                                 "print sum\n"
                                                 "delete\n"
                                                 "continue\n");
    EXPECT_EQ(r.exit_code, 5) << "the firmware's verdict on the changed sum\n" << describe(r);
    const std::string expected =
        "Breakpoint 1 at 0x[0-9a-f]+: file debug_firmware.c, line " + std::to_string(body) +
        "\\.\n"
        "Starting program: .*\n\n"
        "Breakpoint 1, main \\(\\) at debug_firmware.c:" +
        std::to_string(body) + "\n" + std::to_string(body) +
        "\t        samples\\[i\\] = i \\+ 1;.*\n"
        "\\$1 = 0 '\\\\000'\n"
        "\\$2 = 0\n" +
        std::to_string(line_of("the call")) + "\t.*\n" + std::to_string(line_of("for (i = 0")) +
        "\t.*\n"
        "Continuing.\n\n"
        "Breakpoint 1, main \\(\\) at debug_firmware.c:" +
        std::to_string(body) +
        "\n.*\n"
        "\\$3 = 1 '\\\\001'\n"
        "\\$4 = 1\n"
        "\\$5 = \"\\\\001\\\\000\\\\000\"\n" +
        std::to_string(line_of("the call")) +
        "\t.*\n"
        "scaled \\(\\) at debug_firmware.c:" +
        std::to_string(line_of("scaled body")) +
        "\n.*\n"
        "#0  scaled \\(\\) at debug_firmware.c:" +
        std::to_string(line_of("scaled body")) +
        "\n"
        "#1  0x[0-9a-f]+ in main \\(\\) at debug_firmware.c:" +
        std::to_string(line_of("the call")) +
        "\n"
        "Run till exit from #0  scaled \\(\\) at debug_firmware.c:" +
        std::to_string(line_of("scaled body")) +
        "\n"
        "0x[0-9a-f]+ in main \\(\\) at debug_firmware.c:" +
        std::to_string(line_of("the call")) +
        "\n.*\n"
        "Value returned is \\$6 = 3\n"
        "\\$7 = 100\n"
        "Continuing.\n"
        "ok\n"
        "firmware result 1\n";
    EXPECT_TRUE(testing::internal::RE::FullMatch(r.out, testing::internal::RE(expected)))
        << describe(r) << "\nexpected:\n"
        << expected;
    // The board stays the board: the RAM file holds what the firmware left.
    const auto ram = scratch.ram();
    EXPECT_EQ(std::vector<std::uint8_t>(ram.begin() + 0x1800, ram.begin() + 0x1804),
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(CliDebug, TwoSessionsOnTwoBoardsSeeOnlyTheirOwn) {
    Scratch other;
    const std::string script =
        "break " + at("after the loop") + "\nrun\nset var sum = {}\nprint sum\ncontinue\n";
    const auto with = [](std::string text, const std::string& value) {
        return text.replace(text.find("{}"), 2, value);
    };
    auto first =
        std::async(std::launch::async, [&] { return session(scratch, with(script, "16")); });
    auto second = std::async(std::launch::async, [&] { return session(other, with(script, "7")); });
    const ProcessResult a = first.get();
    const ProcessResult b = second.get();
    EXPECT_EQ(a.exit_code, 0) << describe(a);
    EXPECT_NE(a.out.find("$1 = 16\n"), std::string::npos) << describe(a);
    EXPECT_NE(a.out.find("firmware result 0\n"), std::string::npos) << describe(a);
    EXPECT_EQ(b.exit_code, 5) << describe(b);
    EXPECT_NE(b.out.find("$1 = 7\n"), std::string::npos) << describe(b);
    EXPECT_NE(b.out.find("firmware result 1\n"), std::string::npos) << describe(b);
}

TEST_F(CliDebug, FullnameMarksEachStopForEditors) {
    const ProcessResult r =
        session(scratch, "break " + at("scaled body") + "\nrun\nquit\n", {"--fullname"});
    EXPECT_EQ(r.exit_code, 6) << "a script that ends before the firmware\n" << describe(r);
    // gdb's marker holds the character offset of the line's start, as Emacs reads it.
    std::ifstream in(std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/" + kSource);
    std::size_t offset = 0;
    std::string text;
    for (unsigned n = 1; n < line_of("scaled body") && std::getline(in, text); ++n) {
        offset += text.size() + 1;
    }
    const std::string marker = "\032\032" + source_dir() + "/" + kSource + ":" +
                               std::to_string(line_of("scaled body")) + ":" +
                               std::to_string(offset) + ":beg:0x";
    EXPECT_NE(r.out.find(marker), std::string::npos) << describe(r);
    EXPECT_NE(r.out.find("the session ended before the firmware's result\n"), std::string::npos);
}

struct BadCase {
    const char* label;
    std::string script;
    const char* says;
};

class CliDebugRefusal : public CliDebug, public testing::WithParamInterface<BadCase> {};

TEST_P(CliDebugRefusal, PlaceWithoutCodeIsToldAndTheSessionGoesOn) {
    const ProcessResult r = session(scratch, GetParam().script + "\nrun\n");
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_NE(r.out.find(GetParam().says), std::string::npos) << describe(r);
    EXPECT_NE(r.out.find("firmware result 0\n"), std::string::npos) << describe(r);
}

INSTANTIATE_TEST_SUITE_P(
    Places, CliDebugRefusal,
    testing::Values(BadCase{"past_the_end", "break debug_firmware.c:999",
                            "No line 999 in file \"debug_firmware.c\"."},
                    BadCase{"before_any_code", "break debug_firmware.c:1",
                            "No line 1 in file \"debug_firmware.c\"."},
                    BadCase{"no_such_file", "break other.c:3", "No source file named other.c."},
                    BadCase{"no_such_function", "break nowhere",
                            "Function \"nowhere\" not defined."},
                    BadCase{"unknown_command", "frobnicate", "Undefined command: \"frobnicate\"."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CliDebug, ImageWithoutFittingDebugInformationIsRefusedAtOnce) {
    const std::filesystem::path copy = scratch.path("fw.ihx");
    std::filesystem::copy_file(image(), copy);
    ProcessResult r =
        scratch.run({"debug", copy.string(), "--batch", "/dev/null"}, {"DLPORTIO_SIM_MCU=s51"});
    EXPECT_EQ(r.exit_code, 1) << describe(r);
    EXPECT_NE(r.err.find("cannot read " + scratch.path("fw.cdb").string() +
                         ": No such file or directory (build the image with sdcc --debug)"),
              std::string::npos)
        << describe(r);

    // Debug information of this firmware beside another image.
    std::filesystem::copy_file(std::filesystem::path(image()).replace_extension(".cdb"),
                               scratch.path("fw.cdb"));
    std::filesystem::remove(copy);
    std::filesystem::copy_file(QUILLON_PASS_IHX, copy);
    r = scratch.run({"debug", copy.string(), "--batch", "/dev/null"}, {"DLPORTIO_SIM_MCU=s51"});
    EXPECT_EQ(r.exit_code, 1) << describe(r);
    EXPECT_NE(r.err.find("fw.cdb does not fit " + copy.string() + ": function "), std::string::npos)
        << describe(r);
}
#endif

TEST_F(CliDebug, RealBoardHasNoDebugger) {
    const ProcessResult r =
        scratch.run({"debug", image(), "--batch", "/dev/null"}, {"DLPORTIO_BACKEND=ppdev"});
    EXPECT_EQ(r.exit_code, 2) << describe(r);
    EXPECT_NE(r.err.find("debug works on the simulated board's 8051 only"), std::string::npos)
        << describe(r);
}

}  // namespace
}  // namespace qcli
