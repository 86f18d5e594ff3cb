// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Runs of the simulated 8051 that end on their own (the firmware's exit, the
// cycle budget), UART input, and what a stop writes back, on the real s51.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "posix/fd.h"
#include "quillon_test/firmware_files.h"
#include "quillon_test/param_name.h"
#include "quillon_test/scratch_folder.h"
#include "s51_cpu.h"

namespace {

using quillon_test::ScratchFolder;
using sim::RunReport;
using sim::S51Cpu;
using sim::S51Settings;
using Ram = std::array<std::uint8_t, 0x8000>;

// Keeps every core busy for at most `limit`, so that the simulator competes
// for the processor as on a loaded CI machine.
class BusyCores {
public:
    explicit BusyCores(std::chrono::seconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            threads_.emplace_back([this, until] {
                volatile std::uint64_t spin = 0;
                while (!stop_ && std::chrono::steady_clock::now() < until) {
                    for (int j = 0; j < 100000; ++j) {
                        spin = spin + 1;
                    }
                }
            });
        }
    }
    ~BusyCores() {
        stop_ = true;
        for (auto& thread : threads_) {
            thread.join();
        }
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

class S51RunTest : public testing::Test {
protected:
    void SetUp() override {
#if !defined(QUILLON_PASS_IHX)
        GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
        program_ = sim::find_on_path("s51", std::getenv("PATH") ? std::getenv("PATH") : "");
        if (program_.empty()) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
#endif
    }

    S51Settings settings(const std::string& state = "state") const {
        S51Settings settings;
        settings.program = program_;
        settings.uart_log = (folder_ / state / "uart.log").string();
        settings.ports_file = (folder_ / state / "ports.txt").string();
        return settings;
    }

    // Polls until the 8051 stopped on its own, as the program holding the board does.
    static RunReport wait_for_stop(S51Cpu& cpu) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        RunReport report = cpu.poll();
        while (report.running && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            report = cpu.poll();
        }
        return report;
    }

    ScratchFolder folder_;
    std::string program_;
};

struct ExitCase {
    const char* image;
    std::uint8_t result;
    const char* printed;
};

class S51ExitTest : public S51RunTest, public testing::WithParamInterface<ExitCase> {};

TEST_P(S51ExitTest, FirmwareEndsItsRunWithItsResult) {
    Ram ram{};
    ASSERT_TRUE(load_firmware(GetParam().image, ram));
    S51Cpu cpu(settings());
    cpu.run(ram);
    const RunReport stopped = wait_for_stop(cpu);
    ASSERT_EQ(stopped.end, SIMBOARD_EXITED) << stopped.text;
    EXPECT_FALSE(stopped.running);
    EXPECT_EQ(stopped.result, GetParam().result);
    EXPECT_GT(stopped.cycles, 0u);
    cpu.hold(ram);

    const RunReport held = cpu.poll();
    EXPECT_EQ(held.end, SIMBOARD_EXITED);
    EXPECT_EQ(held.result, GetParam().result);
    EXPECT_EQ(held.cycles, stopped.cycles);
    EXPECT_EQ(ram[0x1000], GetParam().result);
    EXPECT_EQ(read_text(folder_ / "state/uart.log"), GetParam().printed);
    EXPECT_EQ(read_text(folder_ / "state/ports.txt"), "P0=0xFF\nP1=0x3C\nP2=0xFF\nP3=0xFF\n");
}

#if defined(QUILLON_PASS_IHX)
INSTANTIATE_TEST_SUITE_P(PassAndFail, S51ExitTest,
                         testing::Values(ExitCase{QUILLON_PASS_IHX, 0, "PASS\r\n"},
                                         ExitCase{QUILLON_FAIL_IHX, 3, "FAIL\r\n"}),
                         quillon_test::name_from([](const ExitCase& c) { return c.printed; }));
#endif

#if defined(QUILLON_CYCLES_IHX)
// What a run of `cycles` machine cycles of the cycle-counting firmware leaves.
struct BudgetRun {
    RunReport report;
    Ram ram;
    std::string uart;
    std::string ports;
};

TEST_F(S51RunTest, BudgetStopsAtTheSameCycleWithTheSameOutputsUnderLoad) {
    constexpr std::uint64_t kCycles = 1'500'000;
    const auto budget_run = [this](const std::string& state) {
        BudgetRun out{};
        Ram ram{};
        EXPECT_TRUE(load_firmware(QUILLON_CYCLES_IHX, ram));
        S51Cpu cpu(settings(state));
        cpu.plan({kCycles, ""});
        cpu.run(ram);
        out.report = wait_for_stop(cpu);
        cpu.hold(ram);
        out.ram = ram;
        out.uart = read_text(folder_ / state / "uart.log");
        out.ports = read_text(folder_ / state / "ports.txt");
        return out;
    };
    const BudgetRun idle = budget_run("idle");
    BudgetRun loaded{};
    {
        BusyCores busy(std::chrono::seconds(30));
        loaded = budget_run("loaded");
    }

    ASSERT_EQ(idle.report.end, SIMBOARD_BUDGET) << idle.report.text;
    ASSERT_EQ(loaded.report.end, SIMBOARD_BUDGET) << loaded.report.text;
    // The run ends at the first instruction boundary at or past the budget.
    EXPECT_GE(idle.report.cycles, kCycles);
    EXPECT_LE(idle.report.cycles, kCycles + 3);
    EXPECT_EQ(loaded.report.cycles, idle.report.cycles);
    EXPECT_EQ(loaded.uart, idle.uart);
    EXPECT_GT(idle.uart.size(), 100u) << "the firmware prints every 256 turns";
    EXPECT_EQ(loaded.ports, idle.ports);
    EXPECT_TRUE(loaded.ram == idle.ram) << "the RAM differs between the two runs";
    EXPECT_NE(idle.ram[0x1000] | idle.ram[0x1001], 0) << "timer 0 overflowed: it ran";
}

TEST_F(S51RunTest, LongerBudgetRunsFurther) {
    std::array<std::uint64_t, 2> turns{};
    for (std::size_t i = 0; i < turns.size(); ++i) {
        Ram ram{};
        ASSERT_TRUE(load_firmware(QUILLON_CYCLES_IHX, ram));
        S51Cpu cpu(settings());
        cpu.plan({100'000 * (i + 1), ""});
        cpu.run(ram);
        ASSERT_EQ(wait_for_stop(cpu).end, SIMBOARD_BUDGET);
        cpu.hold(ram);
        turns[i] = ram[0x1004] | ram[0x1005] << 8 | ram[0x1006] << 16;
    }
    EXPECT_GT(turns[0], 0u);
    EXPECT_GT(turns[1], turns[0] + turns[0] / 2);
}
#endif

#if defined(QUILLON_ECHO_IHX)
TEST_F(S51RunTest, UartInputIsEchoedAndKept) {
    folder_.put("in.txt", "hello, board.");
    Ram ram{};
    ASSERT_TRUE(load_firmware(QUILLON_ECHO_IHX, ram));
    S51Cpu cpu(settings());
    cpu.plan({5'000'000, (folder_ / "in.txt").string()});
    cpu.run(ram);
    const RunReport stopped = wait_for_stop(cpu);
    ASSERT_EQ(stopped.end, SIMBOARD_EXITED) << stopped.text;
    cpu.hold(ram);
    EXPECT_EQ(read_text(folder_ / "state/uart.log"), "hello, board.");
    EXPECT_EQ(ram[0x10FF], 13);
    EXPECT_EQ(std::string(ram.begin() + 0x1000, ram.begin() + 0x100D), "hello, board.");
    // 13 frames of ten bits at 9600 baud take 13.5 ms: 12 500 machine cycles.
    EXPECT_GT(stopped.cycles, 12'000u);
}

TEST_F(S51RunTest, MissingUartInputIsReportedAndNothingRuns) {
    Ram ram{};
    ASSERT_TRUE(load_firmware(QUILLON_ECHO_IHX, ram));
    S51Cpu cpu(settings());
    cpu.plan({0, (folder_ / "missing.txt").string()});
    testing::internal::CaptureStderr();
    cpu.run(ram);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot open the UART input"), std::string::npos) << said;
    const RunReport report = cpu.poll();
    EXPECT_FALSE(report.running);
    EXPECT_EQ(report.end, SIMBOARD_FAILED);
}

// A terminal program on the UART's pseudo-terminal talks to the firmware.
TEST_F(S51RunTest, UartPseudoTerminalTalksToTheFirmware) {
    Ram ram{};
    ASSERT_TRUE(load_firmware(QUILLON_ECHO_IHX, ram));
    S51Settings with_pty = settings();
    with_pty.uart_link = (folder_ / "state/vandrel-uart").string();
    std::filesystem::path device;
    {
        S51Cpu cpu(with_pty);
        testing::internal::CaptureStderr();
        cpu.run(ram);
        const std::string said = testing::internal::GetCapturedStderr();
        std::error_code ec;
        device = std::filesystem::read_symlink(with_pty.uart_link, ec);
        ASSERT_FALSE(ec) << said;
        EXPECT_EQ(device.string().rfind("/dev/pts/", 0), 0u) << device;
        EXPECT_NE(said.find("the 8051's UART is " + device.string()), std::string::npos) << said;

        const quillon::posix::Fd opened(
            ::open(with_pty.uart_link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        const int terminal = opened.get();
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(::write(terminal, "hi.", 3), 3);
        std::string echoed;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (echoed.size() < 3 && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{terminal, POLLIN, 0};
            if (::poll(&ready, 1, 100) > 0) {
                char chunk[16];
                const ssize_t got = ::read(terminal, chunk, sizeof chunk);
                if (got > 0) {
                    echoed.append(chunk, static_cast<std::size_t>(got));
                }
            }
        }
        EXPECT_EQ(echoed, "hi.");
        EXPECT_EQ(wait_for_stop(cpu).end, SIMBOARD_EXITED);
        cpu.hold(ram);
        EXPECT_EQ(read_text(folder_ / "state/uart.log"), "hi.") << "the log keeps it too";
    }
    EXPECT_FALSE(std::filesystem::is_symlink(with_pty.uart_link)) << "the link goes with the layer";
}
#endif

#if defined(QUILLON_FIRMWARE_A_IHX)
TEST_F(S51RunTest, StopWritesBackOnlyWhatTheFirmwareChanged) {
    Ram ram{};
    ASSERT_TRUE(load_firmware(QUILLON_FIRMWARE_A_IHX, ram));
    S51Cpu cpu(settings());
    cpu.run(ram);
    ASSERT_TRUE(wait_for_text(folder_ / "state/uart.log", "vandrel firmware A\r\n"));
    // Another program uploads into the shared board RAM while the 8051 runs.
    for (std::size_t i = 0x4000; i < 0x6000; ++i) {
        ram[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    cpu.hold(ram);
    EXPECT_EQ(cpu.poll().end, SIMBOARD_HELD);
    for (std::size_t i = 0x4000; i < 0x6000; ++i) {
        ASSERT_EQ(ram[i], static_cast<std::uint8_t>(i * 7 + 1)) << "at 0x" << std::hex << i;
    }
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(ram[0x1000 + i], i ^ 0x5A) << "at 0x" << std::hex << 0x1000 + i;
    }
}
#endif

}  // namespace
