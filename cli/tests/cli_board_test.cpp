// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The built program and the board it can or cannot reach: calibrate on the
// simulated board, fast and slow; commands refused when no back end reaches a
// board; -q that keeps standard error empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "calibrate.h"
#include "cli_process.h"
#include "quillon_test/param_name.h"

namespace qcli {
namespace {

using testing_support::describe;
using testing_support::ProcessResult;
using testing_support::Scratch;

// A port the layer cannot reach: ppdev asked for, and a device that isn't there.
const std::vector<std::string> kNoBoard{"DLPORTIO_BACKEND=ppdev",
                                        "DLPORTIO_DEVICE=/nonexistent/parport9"};

class Calibrate : public testing::Test {
protected:
    Scratch scratch;
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(0x8000, 0x3C);

    void SetUp() override { scratch.set_ram(ram); }
};

TEST_F(Calibrate, AGoodBoardTakesDelay1AndKeepsTheLastPattern) {
    const auto r = scratch.run({"calibrate"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.out, "delay 1: intact in 3 rounds\ndelay 1\n");
    EXPECT_EQ(r.err,
              "quillon-cli: calibrate overwrites the first 256 bytes of the board's RAM and "
              "leaves the board held in reset\n");
    // The third round's pattern in the first 256 bytes, nothing beyond them touched.
    const auto last = calibration_pattern(1, 2, 256);
    std::copy(last.begin(), last.end(), ram.begin());
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Calibrate, SizeAndRoundsChangeWhatIsSent) {
    const auto r = scratch.run({"calibrate", "--size", "1000", "--rounds", "2"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.out, "delay 1: intact in 2 rounds\ndelay 1\n");
    const auto last = calibration_pattern(1, 1, 1000);
    std::copy(last.begin(), last.end(), ram.begin());
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Calibrate, ASlowBoardNeedsFiftyReadsBeforeEachClockEdge) {
    // 2 x d x d reads come before every rising clock edge: 32 at delay 4, 50 at 5.
    const auto r = scratch.run({"calibrate"}, {"DLPORTIO_SIM_FAULT=slow=50"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    const std::string prefix = r.out.substr(0, r.out.rfind("delay 5: intact"));
    for (const char* failing : {"delay 1: ", "delay 2: ", "delay 3: ", "delay 4: "}) {
        const auto at = prefix.find(failing);
        ASSERT_NE(at, std::string::npos) << failing << '\n' << describe(r);
        EXPECT_NE(prefix.find("wrong in round 1", at), std::string::npos) << describe(r);
    }
    EXPECT_TRUE(r.out.ends_with("delay 5: intact in 3 rounds\ndelay 5\n")) << describe(r);
}

TEST_F(Calibrate, SaveChangesOnlyTheDelayLineOfTheProfile) {
    const std::string before =
        "; written by hand\r\n[Other]\r\nDelay=77\r\n[section]\r\nPort=2\r\ndelay=10\r\n"
        "Extra=keep me\r\n";
    scratch.set_profile(before);
    const auto r =
        scratch.run({"calibrate", "--save", "--port", "1"}, {"DLPORTIO_SIM_FAULT=slow=18"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(r.out.ends_with("delay 3\n")) << describe(r);
    EXPECT_EQ(scratch.profile(),
              "; written by hand\r\n[Other]\r\nDelay=77\r\n[section]\r\nPort=2\r\ndelay=3\r\n"
              "Extra=keep me\r\n");
}

TEST_F(Calibrate, SaveCreatesTheProfileWhenThereIsNone) {
    std::filesystem::remove(scratch.profile_path());
    const auto r = scratch.run({"calibrate", "--save", "-q"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(scratch.profile(), "[section]\nDelay=1\n");
}

TEST_F(Calibrate, WithoutSaveTheProfileIsNotWritten) {
    scratch.set_profile("[section]\nDelay=10\n");
    const auto r = scratch.run({"calibrate", "-q"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(scratch.profile(), "[section]\nDelay=10\n");
}

// The slow board itself: an upload at delay 4 stores nothing and reads back
// FF, as where no board answers; one at delay 5 verifies, which is why
// calibrate answers 5.
class SlowBoardUpload : public testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(SlowBoardUpload, VerifiesOnlyFromDelay5) {
    Scratch scratch;
    const std::vector<std::uint8_t> image{0x02, 0x00, 0x0A, 0x75, 0x81, 0x07, 0xA5, 0x5A};
    scratch.write("fw.bin", image);
    const auto [delay, code] = GetParam();
    const auto r = scratch.run({"upload", "--delay", delay, scratch.path("fw.bin").string()},
                               {"DLPORTIO_SIM_FAULT=slow=50"});
    EXPECT_EQ(r.exit_code, code) << describe(r);
    EXPECT_EQ(r.err.find("or a larger delay than 4: quillon-cli calibrate)") != std::string::npos,
              code == 4)
        << "a slow board is not told to check its cable only: " << describe(r);
    const auto ram = scratch.ram();
    EXPECT_EQ(std::equal(image.begin(), image.end(), ram.begin()), code == 0);
}

INSTANTIATE_TEST_SUITE_P(Delays, SlowBoardUpload,
                         testing::Values(std::pair{"4", 4}, std::pair{"5", 0}),
                         quillon_test::name_from([](const auto& c) {
                             return std::string("delay ") + c.first;
                         }));

TEST_F(Calibrate, QuietPrintsOnlyTheAnswer) {
    const auto r = scratch.run({"-q", "calibrate"}, {"DLPORTIO_SIM_FAULT=slow=8"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.out, "delay 2\n");
    EXPECT_EQ(r.raw_err, "");
}

TEST_F(Calibrate, NothingAnsweringEndsWithExit4AndNoDelaySaved) {
    scratch.set_profile("[section]\nDelay=3\n");
    const auto r = scratch.run({"-q", "calibrate", "--size", "1", "--rounds", "1", "--save"},
                               {"DLPORTIO_SIM_FAULT=no-board"});
    EXPECT_EQ(r.exit_code, 4) << describe(r);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "quillon-cli: no board answers at 0x378: every byte read back FF at delays 1 to 8 "
              "and 32 (check the cable and the board's power)\n");
    EXPECT_EQ(scratch.profile(), "[section]\nDelay=3\n");
}

// Nothing stores what is sent: the read-back is one level, and the upload
// says that no board answers, with or without the full verify; an image of
// FF alone reads back the same from an empty port, with nothing to tell.
class EmptyUpload
    : public testing::TestWithParam<std::tuple<const char*, const char*, std::uint8_t, int>> {};

TEST_P(EmptyUpload, IsNoSuccessAndNoMismatch) {
    const auto [fault, option, image_byte, code] = GetParam();
    Scratch scratch;
    std::vector<std::uint8_t> image(64, image_byte);
    if (code == 4) {
        image[7] ^= 0x5A;  // not of one byte alone
    }
    scratch.write("fw.bin", image);
    const auto r = scratch.run({"upload", option, scratch.path("fw.bin").string()},
                               {std::string("DLPORTIO_SIM_FAULT=") + fault});
    EXPECT_EQ(r.exit_code, code) << describe(r);
    const std::string said = std::string(
                                 "quillon-cli: no board answers at 0x378: every byte read "
                                 "back ") +
                             (fault[0] == 'n' ? "FF" : "00") +
                             " (check the cable and the board's power, or a larger delay than "
                             "1: quillon-cli calibrate)\n";
    EXPECT_EQ(r.err.find(said) != std::string::npos, code == 4) << describe(r);
}

INSTANTIATE_TEST_SUITE_P(Faults, EmptyUpload,
                         testing::Values(std::tuple{"no-board", "--no-reset", 0x00, 4},
                                         std::tuple{"no-board", "--no-verify", 0x00, 4},
                                         std::tuple{"stuck-low", "--no-verify", 0xFF, 4},
                                         std::tuple{"stuck-low", "--no-reset", 0x00, 0}),
                         quillon_test::name_from([](const auto& c) {
                             return std::string(std::get<0>(c)) + " " + std::get<1>(c) + " image " +
                                    std::to_string(std::get<2>(c));
                         }));

class CalibrateUsage : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CalibrateUsage, IsRefusedBeforeTheBoardIsTouched) {
    Scratch scratch;
    const std::vector<std::uint8_t> ram(0x8000, 0x5A);
    scratch.set_ram(ram);
    auto args = GetParam();
    args.insert(args.begin(), "calibrate");
    const auto r = scratch.run(args);
    EXPECT_EQ(r.exit_code, 2) << describe(r);
    EXPECT_EQ(scratch.ram(), ram);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CalibrateUsage,
                         testing::Values(std::vector<std::string>{"--size", "0"},
                                         std::vector<std::string>{"--size", "32769"},
                                         std::vector<std::string>{"--rounds", "0"},
                                         std::vector<std::string>{"--rounds", "1001"},
                                         std::vector<std::string>{"--size", "12x"},
                                         std::vector<std::string>{"extra"}),
                         quillon_test::name_from(quillon_test::joined));

// Every command that reaches the board, with no board to reach.
class NoBoard : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(NoBoard, IsRefusedWithExit4AndNoFileWritten) {
    Scratch scratch;
    scratch.write("in.bin", {1, 2, 3, 4});
    auto args = GetParam();
    for (auto& arg : args) {
        if (arg.ends_with(".bin") || arg.ends_with(".hex")) {
            arg = scratch.path(arg).string();
        }
    }
    const std::vector<std::uint8_t> ram(0x8000, 0x77);
    scratch.set_ram(ram);
    scratch.set_profile("[section]\nDelay=9\n");
    const auto r = scratch.run(args, kNoBoard);
    EXPECT_EQ(r.exit_code, 4) << describe(r);
    EXPECT_EQ(r.out, "");
    // The layer's reason, told once by quillon-cli.
    EXPECT_NE(r.raw_err.find("quillon-cli: "), std::string::npos) << describe(r);
    EXPECT_NE(r.raw_err.find("/nonexistent/parport9"), std::string::npos) << describe(r);
    EXPECT_FALSE(std::filesystem::exists(scratch.path("out.bin")));
    EXPECT_FALSE(std::filesystem::exists(scratch.path("out.hex")));
    EXPECT_EQ(scratch.profile(), "[section]\nDelay=9\n");
    EXPECT_EQ(scratch.ram(), ram);
}

INSTANTIATE_TEST_SUITE_P(Commands, NoBoard,
                         testing::Values(std::vector<std::string>{"download", "4", "out.bin"},
                                         std::vector<std::string>{"-q", "download", "4", "out.hex"},
                                         std::vector<std::string>{"upload", "in.bin"},
                                         std::vector<std::string>{"verify", "in.bin"},
                                         std::vector<std::string>{"dump", "--board", "16"},
                                         std::vector<std::string>{"reset"},
                                         std::vector<std::string>{"probe"},
                                         std::vector<std::string>{"linetest", "--hold", "0"},
                                         std::vector<std::string>{"run", "in.bin", "--for", "0"},
                                         std::vector<std::string>{"calibrate", "--save"}),
                         quillon_test::name_from(quillon_test::joined));

// A port whose accesses fail with ENODEV from the Nth on (fake_ppdev_calls.cpp):
// exit 4 with the system's reason and no file; the port that never fails works.
class PortFailure
    : public testing::TestWithParam<std::tuple<std::vector<std::string>, const char*, int>> {};

TEST_P(PortFailure, IsNoSuccessAndWritesNoFile) {
    const auto& [args, fail_after, code] = GetParam();
    Scratch scratch;
    scratch.write("in.bin", std::vector<std::uint8_t>(64, 0x5A));
    std::vector<std::string> line{"--delay", "1"};
    for (const std::string& arg : args) {
        line.push_back(arg.find('.') != std::string::npos ? scratch.path(arg).string() : arg);
    }
    const char* asan = std::getenv("ASAN_OPTIONS");  // its runtime after the preloaded fake
    const auto r = scratch.run(line, {"DLPORTIO_BACKEND=ppdev", "DLPORTIO_DEVICE=/fake/parport0",
                                      std::string("FAKE_PPDEV_FAIL_AFTER=") + fail_after,
                                      std::string("LD_PRELOAD=") + QUILLON_FAKE_PPDEV,
                                      "ASAN_OPTIONS=verify_asan_link_order=0:" +
                                          std::string(asan != nullptr ? asan : "")});
    EXPECT_EQ(r.exit_code, code) << describe(r);
    EXPECT_EQ(r.err.find("quillon-cli: the port stopped answering: No such device\n") !=
                  std::string::npos,
              code == 4)
        << describe(r);
    EXPECT_EQ(std::filesystem::exists(scratch.path("out.bin")) ||
                  std::filesystem::exists(scratch.path("out.hex")),
              code == 0);
}

using Args = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Commands, PortFailure,
    testing::Values(std::tuple{Args{"download", "64", "out.bin"}, "3000", 4},
                    std::tuple{Args{"download", "64", "out.hex"}, "3000", 4},
                    std::tuple{Args{"download", "64", "out.bin"}, "999999999", 0},
                    std::tuple{Args{"upload", "--no-verify", "in.bin"}, "3000", 4},
                    std::tuple{Args{"verify", "in.bin"}, "3000", 4},
                    std::tuple{Args{"probe"}, "100", 4}, std::tuple{Args{"calibrate"}, "2000", 4}));

TEST(NoBoardInfo, StillAnswersAndGivesTheReason) {
    Scratch scratch;
    const auto r = scratch.run({"info"}, kNoBoard);
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_NE(r.out.find("port access:"), std::string::npos) << describe(r);
    EXPECT_NE(r.out.find("/nonexistent/parport9"), std::string::npos) << describe(r);
}

TEST(NoBoardFileCommands, WorkWithoutABoard) {
    Scratch scratch;
    scratch.write("in.bin", {1, 2, 3, 4});
    const auto r = scratch.run({"checksum", scratch.path("in.bin").string()}, kNoBoard);
    EXPECT_EQ(r.exit_code, 0) << describe(r);
}

// -q: nothing at all on standard error when everything works, the layer's
// back-end line included.
class Quiet : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Quiet, LeavesStandardErrorEmpty) {
    Scratch scratch;
    scratch.write("in.bin", {9, 8, 7, 6, 5});
    scratch.set_ram({9, 8, 7, 6, 5});  // so that verify finds its image
    auto args = GetParam();
    for (auto& arg : args) {
        if (arg.ends_with(".bin")) {
            arg = scratch.path(arg).string();
        }
    }
    args.insert(args.begin(), "-q");
    const auto r = scratch.run(args, {}, /*stderr_on_tty=*/true);
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.raw_err, "");
}

INSTANTIATE_TEST_SUITE_P(Commands, Quiet,
                         testing::Values(std::vector<std::string>{"upload", "in.bin"},
                                         std::vector<std::string>{"download", "5", "out.bin"},
                                         std::vector<std::string>{"verify", "in.bin"},
                                         std::vector<std::string>{"reset"},
                                         std::vector<std::string>{"probe"},
                                         std::vector<std::string>{"calibrate", "--size", "8"}),
                         quillon_test::name_from(quillon_test::joined));

TEST(Loud, WithoutQuietTheLayerStillNamesItsBackEnd) {
    Scratch scratch;
    const auto r = scratch.run({"reset"});
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_NE(r.raw_err.find("dlportio: "), std::string::npos) << describe(r);
}

// Ctrl+C or kill: the trace still holds the accesses made until then, which
// sat in the layer's buffer when the signal came.
TEST(Killed, TraceHoldsTheAccessesMadeBeforeSigterm) {
    Scratch scratch;
    const auto trace = scratch.path("trace.txt");
    scratch.end_next_run_after(std::chrono::milliseconds(3000));
    const auto r = scratch.run({"linetest", "--hold", "30"}, {"DLPORTIO_TRACE=" + trace.string()});
    EXPECT_EQ(r.exit_code, 128 + SIGTERM) << "ends by its signal: " << describe(r);
    std::ifstream in(trace);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text.rfind("# dlportio trace, process ", 0), 0u) << text;
    EXPECT_NE(text.find("\nW 0378 C8\n"), std::string::npos) << "the board held first: " << text;
}

}  // namespace
}  // namespace qcli
