// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The s51 runner's console and run files against the real simulator.
#include "s51_cpu.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "child_process.h"
#include "quillon_test/child_processes.h"
#include "quillon_test/firmware_files.h"
#include "quillon_test/scratch_folder.h"

namespace {

using quillon_test::ScratchFolder;

using sim::S51Cpu;
using sim::S51Settings;

constexpr std::size_t kPattern = 0x1000;

class S51CpuTest : public testing::Test {
protected:
    void SetUp() override {
#if !defined(QUILLON_FIRMWARE_A_IHX)
        GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
        program_ = sim::find_on_path("s51", std::getenv("PATH") ? std::getenv("PATH") : "");
        if (program_.empty()) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
        ASSERT_TRUE(load_firmware(QUILLON_FIRMWARE_A_IHX, ram_));
#endif
    }

    S51Settings settings() const {
        S51Settings settings;
        settings.program = program_;
        settings.uart_log = (folder_ / "state/uart.log").string();
        settings.ports_file = (folder_ / "state/ports.txt").string();
        return settings;
    }

    ScratchFolder folder_;
    std::string program_;
    std::array<std::uint8_t, 0x8000> ram_{};
};

TEST_F(S51CpuTest, FirmwareRunsAndItsWritesComeBackWithTheRam) {
    folder_.put("state/uart.log", "earlier output\n");
    S51Cpu cpu(settings());
    cpu.run(ram_);
    ASSERT_EQ(children_named("s51").size(), 1u);
    ASSERT_TRUE(wait_for_text(folder_ / "state/uart.log", "vandrel firmware A\r\n"));
    cpu.hold(ram_);

    EXPECT_TRUE(children_named("s51").empty());
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ram_[kPattern + i], i ^ 0x5A) << "at 0x" << std::hex << kPattern + i;
    }
    EXPECT_EQ(ram_[kPattern + 256], 0x00);  // the firmware wrote nothing beyond
    EXPECT_EQ(read_text(folder_ / "state/uart.log"), "earlier output\nvandrel firmware A\r\n");
    EXPECT_EQ(read_text(folder_ / "state/ports.txt"), "P0=0xFF\nP1=0x55\nP2=0xFF\nP3=0xFF\n");
}

TEST_F(S51CpuTest, SecondRunStartsOnTheNewImage) {
    S51Cpu cpu(settings());
    cpu.run(ram_);
    ASSERT_TRUE(wait_for_text(folder_ / "state/uart.log", "firmware A"));
    cpu.hold(ram_);

#if defined(QUILLON_FIRMWARE_B_IHX)
    std::array<std::uint8_t, 0x8000> second{};
    ASSERT_TRUE(load_firmware(QUILLON_FIRMWARE_B_IHX, second));
    // Keep what firmware A wrote outside the code, as the board's RAM would.
    std::copy(second.begin(), second.begin() + kPattern, ram_.begin());
    cpu.run(ram_);
    ASSERT_TRUE(wait_for_text(folder_ / "state/uart.log", "vandrel firmware B\r\n"));
    cpu.hold(ram_);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ram_[kPattern + i], i ^ 0xC3) << "at 0x" << std::hex << kPattern + i;
    }
    EXPECT_EQ(read_text(folder_ / "state/uart.log"),
              "vandrel firmware A\r\nvandrel firmware B\r\n");
    EXPECT_EQ(read_text(folder_ / "state/ports.txt"), "P0=0xFF\nP1=0xAA\nP2=0xFF\nP3=0xFF\n");
    EXPECT_TRUE(children_named("s51").empty());
#endif
}

TEST_F(S51CpuTest, SimulatorEndsWithTheBoardWhileTheFirmwareRuns) {
    {
        S51Cpu cpu(settings());
        cpu.run(ram_);
        ASSERT_EQ(children_named("s51").size(), 1u);
    }
    EXPECT_TRUE(children_named("s51").empty());
}

TEST_F(S51CpuTest, SimulatorThatDiedIsReportedAndTheRamKept) {
    const auto before = ram_;
    S51Cpu cpu(settings());
    cpu.run(ram_);
    const auto running = children_named("s51");
    ASSERT_EQ(running.size(), 1u);
    ::kill(running[0], SIGKILL);
    for (int i = 0; i < 200 && !children_named("s51").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    testing::internal::CaptureStderr();
    cpu.hold(ram_);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said,
              "dlportio: s51: the simulator had ended by itself; the board's RAM keeps what it "
              "held\n");
    EXPECT_EQ(ram_, before);
}

TEST_F(S51CpuTest, HoldWithoutRunLeavesTheRamAlone) {
    const auto before = ram_;
    S51Cpu cpu(settings());
    cpu.hold(ram_);
    EXPECT_EQ(ram_, before);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "state/ports.txt"));
}

TEST_F(S51CpuTest, MissingSimulatorIsReportedAndTheRamKept) {
    S51Settings broken = settings();
    broken.program = (folder_ / "no-such-s51").string();
    const auto before = ram_;
    S51Cpu cpu(broken);
    testing::internal::CaptureStderr();
    cpu.run(ram_);
    cpu.hold(ram_);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("dlportio: s51: cannot start ", 0), 0u) << said;
    EXPECT_NE(said.find("the 8051 does not run"), std::string::npos) << said;
    EXPECT_EQ(ram_, before);
    EXPECT_TRUE(children_named("s51").empty());
    EXPECT_TRUE(children_named("no-such-s51").empty());
}

TEST_F(S51CpuTest, SimulatorWithoutAConsoleIsEndedAndReported) {
    // A program that opens no console stands in for a broken simulator.
    S51Settings silent = settings();
    silent.program = sim::find_on_path("sleep", "/usr/bin:/bin");
    silent.answer_time = std::chrono::milliseconds(200);
    ASSERT_FALSE(silent.program.empty());
    S51Cpu cpu(silent);
    testing::internal::CaptureStderr();
    cpu.run(ram_);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("did not answer"), std::string::npos) << said;
    EXPECT_TRUE(children_named("sleep").empty());
}

TEST_F(S51CpuTest, SimulatorThatRefusesTheMappingIsReported) {
    // A stand-in console: a prompt, then the usage text an older simulator
    // gives for a command it does not know.
    folder_.put("bin/s51",
                "#!/bin/sh\n"
                "while [ \"$1\" != -c ]; do shift; done\n"
                "exec 3<>\"$2\"\n"
                "printf '\\0' >&3\n"
                "read -r line <&3\n"
                "printf '%s\\nmemory create: unknown subcommand\\n\\0' \"$line\" >&3\n"
                "sleep 30\n");
    std::filesystem::permissions(folder_ / "bin/s51", std::filesystem::perms::owner_all);
    S51Settings old = settings();
    old.program = (folder_ / "bin/s51").string();
    old.answer_time = std::chrono::milliseconds(2000);
    S51Cpu cpu(old);
    testing::internal::CaptureStderr();
    cpu.run(ram_);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said,
              "dlportio: s51: the simulator refused the memory mapping (memory create: unknown "
              "subcommand); the 8051 does not run\n");
    EXPECT_TRUE(children_named("s51").empty());
}

TEST(ChildProcess, GroupIsKilledWhenItDoesNotEndInTime) {
    std::string error;
    const std::string sleep_program = sim::find_on_path("sleep", "/usr/bin:/bin");
    ASSERT_FALSE(sleep_program.empty());
    sim::ChildProcess child(sleep_program, {"30"}, {}, error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_TRUE(child.running());
    EXPECT_FALSE(child.finish(std::chrono::milliseconds(20)));
    EXPECT_FALSE(child.running());
    EXPECT_TRUE(children_named("sleep").empty());
}

}  // namespace
