// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli run: firmware on the simulated board's 8051, from upload to the
// port latches, through the built program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_process.h"
#include "quillon_test/param_name.h"

namespace qcli {
namespace {

using testing_support::describe;
using testing_support::ProcessResult;
using testing_support::Scratch;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool s51_installed() {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty() && ::access((folder + "/s51").c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

class CliRun : public testing::Test {
protected:
    Scratch scratch;
};

TEST_F(CliRun, FirmwareRunsShowsItsUartLineAndPortsAndIsReadBack) {
#if !defined(QUILLON_FIRMWARE_A_IHX)
    GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const ProcessResult r = scratch.run({"run", QUILLON_FIRMWARE_A_IHX, "--for", "0.5", "--read",
                                         "4352", scratch.path("after.bin").string()},
                                        {"DLPORTIO_SIM_MCU=s51"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "vandrel firmware A\r\n")) << describe(r);
    EXPECT_TRUE(contains(r.out, "ports: P0=0xFF P1=0x55 P2=0xFF P3=0xFF\n")) << describe(r);
    EXPECT_TRUE(contains(r.out, "read 4352 from RAM")) << describe(r);

    const auto after = scratch.read("after.bin");
    ASSERT_EQ(after.size(), 4352u);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(after[0x1000 + i], i ^ 0x5A) << "at 0x" << std::hex << 0x1000 + i;
    }
    // The layer and the program agree on where the board's log lives.
    std::ifstream log(scratch.path("ram.bin.uart.log"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "vandrel firmware A\r\n");
#endif
}

// A simulated board that cannot run firmware must not pass for one that ran it.
TEST_F(CliRun, NoFirmwareRunsWithoutTheSimulatorAndSaysWhy) {
    scratch.set_ram({});
    scratch.write("one.bin", {0x80, 0xFE});  // sjmp $
    const ProcessResult plain =
        scratch.run({"run", scratch.path("one.bin").string(), "--for", "0"});
    EXPECT_EQ(plain.exit_code, 1) << describe(plain);
    EXPECT_TRUE(contains(plain.err,
                         "quillon-cli: no firmware can run: the simulated board runs "
                         "no firmware without DLPORTIO_SIM_MCU=s51\n"))
        << describe(plain);

    const ProcessResult missing = scratch.run({"run", scratch.path("one.bin").string()},
                                              {"DLPORTIO_SIM_MCU=s51", "PATH=/nonexistent"});
    EXPECT_EQ(missing.exit_code, 1) << describe(missing);
    EXPECT_TRUE(contains(missing.err,
                         "quillon-cli: no firmware can run: DLPORTIO_SIM_MCU=s51, "
                         "but s51 is not installed"))
        << describe(missing);
    EXPECT_EQ(scratch.ram()[1], 0x00) << "nothing is uploaded for a run that cannot happen";
}

TEST_F(CliRun, ReadNeedsItsOutputFileAndTheOtherWayRound) {
    scratch.set_ram({});
    scratch.write("one.bin", {0x80, 0xFE});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"run", "one.bin", "--read", "16"},
             {"run", "one.bin", "out.bin"},
             {"run", "one.bin", "--read", "0", "out.bin"},
             {"run", "one.bin", "--for", "-1"},
             {"run", "one.bin", "--for", "two"},
             {"run", "one.bin", "--cycles", "0"},
             {"run", "one.bin", "--cycles", "1e6"},
             {"run", "one.bin", "--cycles", "10000000001"},
             {"run", "one.bin", "--sim-time", "0"},
             {"run", "one.bin", "--sim-time", "nan"},
             {"run", "one.bin", "--cycles", "9", "--sim-time", "1"},
             {"run", "one.bin", "--until-uart", ""},
             {"run", "one.bin", "--fail-uart", ""}}) {
        const ProcessResult r = scratch.run(args);
        EXPECT_EQ(r.exit_code, 2) << args.back() << "\n" << describe(r);
        EXPECT_TRUE(contains(r.err, "quillon-cli: ")) << describe(r);
    }
    EXPECT_EQ(scratch.ram()[1], 0x00) << "a refused run must not upload";
}

#if defined(QUILLON_PASS_IHX)
struct Outcome {
    std::vector<std::string> args;  // after "run IMAGE"
    const char* image;
    int exit_code;
    const char* says;
};

class CliRunOutcome : public CliRun, public testing::WithParamInterface<Outcome> {};

TEST_P(CliRunOutcome, ExitCodeTellsHowTheRunEnded) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    std::vector<std::string> args{"run", GetParam().image};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const ProcessResult r = scratch.run(args, {"DLPORTIO_SIM_MCU=s51"});
    EXPECT_EQ(r.exit_code, GetParam().exit_code) << describe(r);
    EXPECT_TRUE(contains(r.out, GetParam().says)) << describe(r);
    EXPECT_TRUE(contains(r.out, "\n8051: ")) << "the timing line\n" << describe(r);
}

TEST_F(CliRun, QuietRunKeepsStandardErrorEmpty) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const ProcessResult r = scratch.run({"-q", "run", QUILLON_PASS_IHX, "--cycles", "100000"},
                                        {"DLPORTIO_SIM_MCU=s51"});
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.err, "") << describe(r);
    EXPECT_EQ(r.out, "PASS\r\nports: P0=0xFF P1=0x3C P2=0xFF P3=0xFF\nfirmware result 0\n");
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, CliRunOutcome,
    testing::Values(
        Outcome{{"--cycles", "2000000"},
                QUILLON_PASS_IHX,
                0,
                "PASS\r\nports: P0=0xFF P1=0x3C P2=0xFF P3=0xFF\n"},
        Outcome{{"--cycles", "2000000"}, QUILLON_PASS_IHX, 0, "firmware result 0\n"},
        Outcome{{"--sim-time", "0.5"}, QUILLON_PASS_IHX, 0, "firmware result 0\n"},
        Outcome{{}, QUILLON_PASS_IHX, 0, "firmware result 0\n"},
        Outcome{{"--cycles", "2000000"}, QUILLON_FAIL_IHX, 5, "firmware result 3\n"},
        Outcome{{"--cycles", "200000"},
                QUILLON_CYCLES_IHX,
                6,
                "budget of 200000 cycles ran out without a result from the firmware\n"},
        Outcome{{"--sim-time", "0.1"}, QUILLON_CYCLES_IHX, 6, "budget of 92160 cycles ran out"},
        // A run its budget cuts still shows the latches the firmware left.
        Outcome{{"--cycles", "300000"}, QUILLON_CYCLES_IHX, 6, "\nports: P0=0x"},
        Outcome{{"--fail-uart", "00000200", "--for", "30"},
                QUILLON_CYCLES_IHX,
                5,
                "UART output has '00000200'\n"},
        Outcome{{"--until-uart", "00000200", "--for", "30"},
                QUILLON_CYCLES_IHX,
                0,
                "00000200\nports: "},
        Outcome{{"--until-uart", "never printed", "--cycles", "100000"},
                QUILLON_CYCLES_IHX,
                6,
                "budget of 100000 cycles ran out"}),
    // The firmware, the options and the start of what the run says.
    quillon_test::name_from([](const Outcome& o) {
        std::istringstream says(o.says);
        std::string text =
            std::filesystem::path(o.image).stem().string() + " " + quillon_test::joined(o.args);
        std::string word;
        for (int i = 0; i < 3 && says >> word; ++i) {
            text += " " + word;
        }
        return text;
    }));

// Threads that spin for the time they live (at most 60 s): a loaded machine.
class Load {
public:
    explicit Load(unsigned threads = 2) {
        for (unsigned i = 0; i < threads; ++i) {
            threads_.emplace_back([this] {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                volatile unsigned long spin = 0;
                while (!stop_ && std::chrono::steady_clock::now() < until) {
                    spin = spin + 1;
                }
            });
        }
    }
    ~Load() {
        stop_ = true;
        for (auto& thread : threads_) {
            thread.join();
        }
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// "8051: N cycles", or "" without it.
std::string cycles_line(const std::string& out) {
    const auto from = out.find("8051: ");
    return from == std::string::npos ? "" : out.substr(from, out.find(',', from) - from);
}

// The same firmware and budget give the same RAM and UART output, however
// loaded the machine is.
TEST_F(CliRun, SameBudgetSameRamAndUartOnALoadedMachine) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const auto budget_run = [this](const std::string& out_file) {
        return scratch.run({"run", QUILLON_CYCLES_IHX, "--cycles", "1000000", "--read", "8192",
                            scratch.path(out_file).string()},
                           {"DLPORTIO_SIM_MCU=s51"});
    };
    // --until-uart stops at the write of the text's last byte: at the same
    // cycle, with the same output, however loaded the machine is.
    const auto until_run = [this] {
        const ProcessResult r =
            scratch.run({"run", QUILLON_CYCLES_IHX, "--until-uart", "00000400", "--for", "60"},
                        {"DLPORTIO_SIM_MCU=s51"});
        const auto from = r.out.find("):\n");
        const auto to = r.out.find("00000400");
        return r.exit_code == 0 && from < to && to != std::string::npos &&
                       contains(r.out, "UART output has '00000400'\n")
                   ? r.out.substr(from + 3, to + 8 - (from + 3)) + "; " + cycles_line(r.out)
                   : describe(r);
    };
    const ProcessResult idle = budget_run("idle.bin");
    const std::string idle_until = until_run();
    ProcessResult loaded;
    std::string loaded_until;
    {
        const Load load(std::max(2u, std::thread::hardware_concurrency()));
        loaded = budget_run("loaded.bin");
        loaded_until = until_run();
    }
    ASSERT_EQ(idle.exit_code, 6) << describe(idle);
    ASSERT_EQ(loaded.exit_code, 6) << describe(loaded);
    const auto uart_of = [](const std::string& out) {
        const auto from = out.find("):\n");
        const auto to = out.find("read 8192 from RAM");
        return out.substr(from, to - from);
    };
    EXPECT_EQ(uart_of(loaded.out), uart_of(idle.out));
    EXPECT_GT(uart_of(idle.out).size(), 100u);
    EXPECT_TRUE(scratch.read("loaded.bin") == scratch.read("idle.bin"));
    EXPECT_EQ(loaded_until, idle_until);
    EXPECT_TRUE(idle_until.starts_with("00000100\r\n00000200\r\n00000300\r\n00000400; 8051: "))
        << idle_until;
}

#if defined(QUILLON_TEXT_PASS_IHX)
// A run ended by a text stops at the instruction that writes the text's last
// byte to SBUF: the RAM, the ports and the cycles read back are those of that
// moment, idle or loaded, and what the firmware would do after it (here its
// own verdict) does not happen.
struct TextStop {
    const char* image;
    std::vector<std::string> args;
    int exit_code;
    const char* says;
};

class CliRunTextStop : public CliRun, public testing::WithParamInterface<TextStop> {};

TEST_P(CliRunTextStop, RamPortsAndVerdictAreThoseOfTheStop) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const auto run = [this](const std::string& out_file) {
        std::vector<std::string> args{"run", GetParam().image};
        args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
        args.insert(args.end(),
                    {"--for", "30", "--read", "0x1200", scratch.path(out_file).string()});
        return scratch.run(args, {"DLPORTIO_SIM_MCU=s51"});
    };
    const ProcessResult idle = run("idle.bin");
    ProcessResult loaded;
    {
        const Load load;
        loaded = run("loaded.bin");
    }
    for (const ProcessResult* r : std::array<const ProcessResult*, 2>{&idle, &loaded}) {
        EXPECT_EQ(r->exit_code, GetParam().exit_code) << describe(*r);
        EXPECT_TRUE(contains(r->out, GetParam().says)) << describe(*r);
        EXPECT_TRUE(contains(r->out, "ports: P0=0xFF P1=0x42 P2=0xFF P3=0xFF\n")) << describe(*r);
    }
    const auto after = scratch.read("idle.bin");
    ASSERT_EQ(after.size(), 0x1200u);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(after[0x1100 + i], i ^ 0xA5) << "at 0x" << std::hex << 0x1100 + i;
    }
    EXPECT_TRUE(scratch.read("loaded.bin") == after);
    EXPECT_NE(cycles_line(idle.out), "") << describe(idle);
    EXPECT_EQ(cycles_line(loaded.out), cycles_line(idle.out));
}

INSTANTIATE_TEST_SUITE_P(
    Firmware, CliRunTextStop,
    testing::Values(
        TextStop{QUILLON_TEXT_PASS_IHX, {"--until-uart", "DONE"}, 0, "):\nhello DONE\nread 4608 "},
        // The text comes first: the firmware's exit(3) after it never runs.
        TextStop{QUILLON_TEXT_FAIL_IHX, {"--until-uart", "DONE"}, 0, "UART output has 'DONE'"},
        TextStop{QUILLON_TEXT_PASS_IHX, {"--fail-uart", "DONE"}, 5, "UART output has 'DONE'\n"},
        TextStop{QUILLON_TEXT_FAIL_IHX,
                 {"--until-uart", "hello", "--fail-uart", "DONE"},
                 0,
                 "):\nhello\nread 4608 "},
        // Both texts end with the same byte: the failure counts.
        TextStop{QUILLON_TEXT_PASS_IHX,
                 {"--until-uart", "DONE", "--fail-uart", "ONE"},
                 5,
                 "UART output has 'ONE'\n"},
        TextStop{QUILLON_TEXT_FAIL_IHX, {"--cycles", "100000"}, 5, "firmware result 3\n"}),
    quillon_test::numbered_from([](const TextStop& stop) {
        return quillon_test::joined(stop.args);
    }));

// A file fed to the UART waits for the firmware to read each byte: a reader
// slower than the line loses none.
TEST_F(CliRun, UartInputWaitsForASlowReader) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    std::string input;
    for (int i = 0; i < 199; ++i) {
        input += static_cast<char>('0' + i % 64);
    }
    input += '.';
    scratch.write_text("in.txt", input);
    const ProcessResult r = scratch.run(
        {"-q", "run", QUILLON_SLOW_ECHO_IHX, "--uart-in", scratch.path("in.txt").string(),
         "--cycles", "5000000", "--read", "0x1100", scratch.path("out.bin").string()},
        {"DLPORTIO_SIM_MCU=s51"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, input + "\nports: ")) << describe(r);
    const auto after = scratch.read("out.bin");
    ASSERT_EQ(after.size(), 0x1100u);
    EXPECT_EQ(after[0x10FF], 200) << "bytes the firmware received";
    EXPECT_EQ(std::string(after.begin() + 0x1000, after.begin() + 0x1000 + 200), input);
}
#endif

// Runs started together, each on a board of its own (its RAM file), see only
// their own UART text and port latches, and end with their own verdicts.
TEST_F(CliRun, RunsSideBySideKeepToTheirOwnBoards) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    scratch.write_text("alpha.txt", "alpha one.");
    scratch.write_text("bravo.txt", "bravo two.");
    const struct {
        std::vector<std::string> args;
        int exit_code;
        std::string says, not_seen;
    } boards[] = {{{QUILLON_ECHO_IHX, "--uart-in", scratch.path("alpha.txt").string()},
                   0,
                   "):\nalpha one.",
                   "bravo"},
                  {{QUILLON_ECHO_IHX, "--uart-in", scratch.path("bravo.txt").string()},
                   0,
                   "):\nbravo two.",
                   "alpha"},
                  {{QUILLON_FIRMWARE_A_IHX, "--until-uart", "A"},
                   0,
                   "A\nports: P0=0xFF P1=0x55",
                   "firmware B"},
                  {{QUILLON_FIRMWARE_B_IHX, "--fail-uart", "B"},
                   5,
                   "B\nports: P0=0xFF P1=0xAA",
                   "firmware A"}};
    std::vector<ProcessResult> results(std::size(boards));
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < std::size(boards); ++i) {
        runs.emplace_back([&, i] {
            std::vector<std::string> args{"run"};
            args.insert(args.end(), boards[i].args.begin(), boards[i].args.end());
            args.insert(args.end(), {"--cycles", "3000000"});
            const auto ram = scratch.path("board" + std::to_string(i) + ".ram").string();
            results[i] = scratch.run(args, {"DLPORTIO_SIM_MCU=s51", "DLPORTIO_SIM_RAM=" + ram});
        });
    }
    for (std::size_t i = 0; i < std::size(boards); ++i) {
        runs[i].join();
        EXPECT_EQ(results[i].exit_code, boards[i].exit_code) << describe(results[i]);
        EXPECT_TRUE(contains(results[i].out, boards[i].says)) << describe(results[i]);
        EXPECT_FALSE(contains(results[i].out, boards[i].not_seen)) << describe(results[i]);
    }
}

TEST_F(CliRun, UartInputReachesTheFirmwareAndPortsStartTheirOwnLine) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    scratch.write_text("in.txt", "abc.");
    const ProcessResult r =
        scratch.run({"run", QUILLON_ECHO_IHX, "--uart-in", scratch.path("in.txt").string(),
                     "--cycles", "1000000", "--read", "4352", scratch.path("after.bin").string()},
                    {"DLPORTIO_SIM_MCU=s51"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    // The echo ends without a newline: the program's lines start on their own.
    EXPECT_TRUE(contains(r.out, "):\nabc.\nread 4352 from RAM")) << describe(r);
    EXPECT_TRUE(contains(r.out, "\nports: P0=0xFF")) << describe(r);
    const auto after = scratch.read("after.bin");
    ASSERT_EQ(after.size(), 4352u);
    EXPECT_EQ(std::string(after.begin() + 0x1000, after.begin() + 0x1004), "abc.");
    EXPECT_EQ(after[0x10FF], 4);
}

TEST_F(CliRun, PortsStartTheirOwnLineAfterUartOutputWithoutALineEnd) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const ProcessResult r =
        scratch.run({"run", QUILLON_PROMPT_IHX, "--for", "1"}, {"DLPORTIO_SIM_MCU=s51"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "ready>\nports: P0=0xFF P1=0x3C P2=0xFF P3=0xFF\n")) << describe(r);
}

TEST_F(CliRun, UartFilesAreCheckedBeforeTheUploadAndAFullLogEndsTheRun) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    scratch.set_ram({});
    const std::string missing = scratch.path("missing.txt");
    const std::string folder = scratch.dir().string();
    for (const auto& [uart_in, log, message] :
         {std::tuple(missing, std::string(),
                     "cannot read " + missing + ": No such file or directory"),
          {folder, "", "cannot read " + folder + ": Is a directory"},
          {"/dev/null", folder, "the UART log " + folder + " is no regular file"},
          {"/dev/null", "/dev/full", "the UART log /dev/full is no regular file"}}) {
        const ProcessResult r = scratch.run({"run", QUILLON_ECHO_IHX, "--uart-in", uart_in},
                                            {"DLPORTIO_SIM_MCU=s51", "DLPORTIO_SIM_UART=" + log});
        EXPECT_EQ(r.exit_code, 1) << describe(r);
        EXPECT_TRUE(contains(r.err, message)) << describe(r);
        EXPECT_EQ(scratch.ram()[0], 0x00);
    }

    // A FIFO is opened once, and what its writer wrote and closed still arrives;
    // a log past the file size limit, as on a full disk, ends the run.
    const std::string log = scratch.path("uart.log");
    std::filesystem::resize_file((std::ofstream(log), log), 300000);
    const auto fifo = [&](const std::string& limit, const std::vector<std::string>& env) {
        return scratch.run({"run", QUILLON_ECHO_IHX, "--uart-in", "in.fifo", "--cycles", "1000000"},
                           env, false, "/dev/null",
                           {"/bin/sh", "-c",
                            "cd \"$HOME\"; rm -f in.fifo; mkfifo in.fifo; " + limit +
                                " echo abc. >in.fifo & exec \"$0\" \"$@\""});
    };
    const ProcessResult r = fifo("", {"DLPORTIO_SIM_MCU=s51"});
    EXPECT_TRUE(r.exit_code == 0 && contains(r.out, "):\nabc.\n")) << describe(r);
    const ProcessResult full =
        fifo("trap '' XFSZ; ulimit -f 400;", {"DLPORTIO_SIM_MCU=s51", "DLPORTIO_SIM_UART=" + log});
    EXPECT_EQ(full.exit_code, 1) << describe(full);
    EXPECT_TRUE(contains(full.err, "cannot write the UART log " + log + ": File too large"))
        << describe(full);
}

// Another program's upload while the firmware runs survives the firmware's stop.
TEST_F(CliRun, UploadDuringARunSurvivesTheStop) {
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    std::vector<std::uint8_t> image(8192);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    scratch.write("8k.bin", image);
    ProcessResult running;
    std::thread run([&] {
        running = scratch.run({"run", QUILLON_IDLE_IHX, "--for", "3"}, {"DLPORTIO_SIM_MCU=s51"});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const ProcessResult upload = scratch.run({"upload", scratch.path("8k.bin").string()});
    run.join();
    ASSERT_EQ(upload.exit_code, 0) << describe(upload);
    ASSERT_EQ(running.exit_code, 0) << describe(running);
    EXPECT_TRUE(contains(running.out, "P1=0x33")) << describe(running);
    const ProcessResult verify = scratch.run({"verify", scratch.path("8k.bin").string()});
    EXPECT_EQ(verify.exit_code, 0) << describe(verify);
}
#endif

}  // namespace
}  // namespace qcli
