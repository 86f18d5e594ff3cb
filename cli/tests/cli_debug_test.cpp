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
#include "quillon_test/child_processes.h"

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
        // gdb leaves out one NUL at a char array's end, its terminator.
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

// A script that ends before the firmware's result: the board keeps what the
// firmware wrote up to there, and its simulator is gone.
TEST_F(CliDebug, SessionEndedEarlyKeepsWhatTheFirmwareWroteAndEndsTheSimulator) {
    const std::string mark = "QUILLON_TEST_SESSION=" + scratch.dir().string();
    scratch.write_text("session.gdb", "break " + at("after the loop") + "\nrun\nprint/x samples\n");
    const ProcessResult r =
        scratch.run({"-q", "debug", image(), "--batch", scratch.path("session.gdb").string(),
                     "--source-dir", source_dir()},
                    {"DLPORTIO_SIM_MCU=s51", mark});
    EXPECT_EQ(r.exit_code, 6) << describe(r);
    EXPECT_NE(r.out.find("$1 = {0x1, 0x2, 0x3, 0x4}\n"), std::string::npos) << describe(r);
    EXPECT_EQ(r.err.find("did not stop"), std::string::npos) << describe(r);
    const auto ram = scratch.ram();
    EXPECT_EQ(std::vector<std::uint8_t>(ram.begin() + 0x1800, ram.begin() + 0x1804),
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(processes_with("s51", mark).empty()) << "a simulator outlived its session";
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

// gdb's commands in scripts, with what gdb prints for the same C built for
// the host (the 8051's addresses aside), each part in the order given.
struct Script {
    const char* label;
    const char* lines;  // {at:MARKER} is FILE:LINE of the marker, {line:MARKER} its line
    std::vector<const char*> says;
};

std::string with_lines(std::string text) {
    for (const std::string key : {"{at:", "{line:"}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
            const std::size_t end = text.find('}', at);
            const std::string marker = text.substr(at + key.size(), end - at - key.size());
            text.replace(at, end - at + 1,
                         key == "{at:" ? qcli::at(marker) : std::to_string(line_of(marker)));
        }
    }
    return text;
}

class CliDebugScript : public CliDebug, public testing::WithParamInterface<Script> {};

TEST_P(CliDebugScript, AnswersAsGdb) {
    const ProcessResult r = session(scratch, with_lines(GetParam().lines));
    std::size_t from = 0;
    for (const char* says : GetParam().says) {
        const std::size_t found = r.out.find(with_lines(says), from);
        ASSERT_NE(found, std::string::npos) << "missing, in order: " << with_lines(says) << "\n"
                                            << describe(r);
        from = found;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliDebugScript,
    testing::Values(
        Script{"watchpoints_conditions_ignore",
               "break\ntbreak main\nrun\nwatch sum\nawatch samples[1]\nrwatch last.value\n"
               "continue\ncontinue\ndelete\nbreak {at:scaled body} if sum == 4\n"
               "info breakpoints\ncontinue\nprint sum\ncondition 5\nignore 5 1\ncontinue\n",
               {"No default breakpoint address now.\n", "Temporary breakpoint 1 at 0x",
                "\nTemporary breakpoint 1, main () at debug_firmware.c:",
                "Hardware watchpoint 2: sum\n",
                "Hardware access (read/write) watchpoint 3: samples[1]\n",
                "Hardware read watchpoint 4: last.value\n",
                "\nHardware watchpoint 2: sum\n\nOld value = 0\nNew value = 1\n"
                "main () at debug_firmware.c:{line:the call}\n",
                "\nHardware access (read/write) watchpoint 3: samples[1]\n\n"
                "Old value = 0 '\\000'\nNew value = 2 '\\002'\n",
                "\tstop only if sum == 4\n", "\nBreakpoint 5, scaled () at {at:scaled body}\n",
                "$1 = 4\n", "Breakpoint 5 now unconditional.\n",
                "Will ignore next crossing of breakpoint 5.\n", "firmware result 0\n"}},
        Script{"frames_memory_types_sources",
               "break {at:scaled body}\nrun\nup\nprint samples\nprint &samples[1]\n"
               "print *&samples[0] + 1\ndown\ndown\nframe 5\nx/4xb &samples\nx/2i $pc\n"
               "whatis last\nptype last\nprint &last\nprint scaled\nprint sizeof(last)\n"
               "display sum\ndisplay/x last.value\ninfo display\nnext\nundisplay 1\n"
               "list {line:scaled body},{line:scaled body}\ninfo line {line:scaled body}\n"
               "complete info b\ncomplete print sa\nhelp advance\n",
               {"#1  0x",
                " in main () at {at:the call}\n",
                "$1 = \"\\001\\000\\000\"\n",
                "$2 = 0x1801 <samples+1> \"\"\n",
                "$3 = 2\n",
                "#0  scaled () at {at:scaled body}\n",
                "Bottom (innermost) frame selected; you cannot go down.\n",
                "No frame at level 5.\n",
                "0x1800 <samples>:\t0x01\t0x00\t0x00\t0x00\n",
                "=> 0x",
                "type = struct reading\n",
                "type = struct reading {\n    int value;\n    unsigned char channel;\n}\n",
                "(struct reading *) 0x",
                " <last>\n",
                "{int (void)} 0x",
                " <scaled>\n",
                "$6 = 3\n",
                "Num Enb Expression\n1:   y  sum\n2:   y  /x last.value\n",
                "1: sum = 0\n2: /x last.value = 0x0\n",
                "{line:scaled body}\t",
                "Line {line:scaled body} of \"debug_firmware.c\" starts at address 0x",
                "info breakpoints\n",
                "print samples\nprint say\n",
                "Continue the firmware up to the given location"}},
        Script{"kill_and_run_again_advance",
               "set pagination off\nset confirm off\nbreak {at:after the loop}\nrun\n"
               "set var sum = 7\nkill\nprint sum\nrun\n"
               "print sum\nadvance {line:last.channel = 3}\nprint sum == 16 ? 'y' : 'n'\n"
               "continue\n",
               {"Breakpoint 1 at 0x",
                "[Inferior 1 (process 1) killed]\nThe program is not being run.\n",
                "Starting program: ", "\nBreakpoint 1, main () at {at:after the loop}\n",
                "$1 = 16\n", "$2 = 121 'y'\n", "firmware result 0\n"}}),
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
