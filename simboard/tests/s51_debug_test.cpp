// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Exchanges with a debugged s51: every answer whole and taken for its own
// question, and a paused simulator at rest.
#include <gtest/gtest.h>
#include <simboard.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "quillon_test/child_processes.h"
#include "quillon_test/firmware_files.h"
#include "s51_cpu.h"

namespace {

using Ram = std::array<std::uint8_t, 0x8000>;
using Bytes = std::vector<std::uint8_t>;

// Waits for the run to pause or end.
sim::RunReport settle(sim::S51Cpu& cpu) {
    sim::RunReport report = cpu.poll();
    for (int i = 0; i < 500 && report.running; ++i) {
        cpu.wait(std::chrono::milliseconds(10));
        report = cpu.poll();
    }
    return report;
}

Bytes read(sim::S51Cpu& cpu, int space, unsigned address, std::size_t size) {
    Bytes bytes(size);
    EXPECT_TRUE(cpu.read(space, address, bytes)) << "space " << space << " at " << address;
    return bytes;
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
    }
    return bytes;
}

// The first instruction the 8051 runs is the jump at its reset; where it
// leads is its second.
unsigned after_reset(const Ram& image) {
    return static_cast<unsigned>(image[1] << 8 | image[2]);
}

// Runs on by one instruction, so that what is read next comes from the
// simulator, not from what was known before.
void step_past_reset(sim::S51Cpu& cpu, const Ram& image) {
    const std::array<unsigned, 1> once{after_reset(image)};
    ASSERT_TRUE(cpu.resume(once));
    const sim::RunReport report = settle(cpu);
    ASSERT_TRUE(report.paused);
    ASSERT_EQ(report.pc, after_reset(image));
}

struct Exchange {
    const char* label;
    const char* firmware;
    std::function<void(sim::S51Cpu&, const Ram&)> check;
};

const Exchange kExchanges[] = {
    {"BreakpointStop", "debug",
     [](sim::S51Cpu& cpu, const Ram& image) {
         ASSERT_TRUE(cpu.set_break(after_reset(image)));
         ASSERT_TRUE(cpu.resume({}));
         const sim::RunReport report = settle(cpu);
         ASSERT_TRUE(report.paused);
         EXPECT_EQ(report.pc, after_reset(image));
         EXPECT_EQ(report.cycles, 2u) << "one jump of two machine cycles";
         EXPECT_EQ(read(cpu, SIMBOARD_SFR, 0x81, 1), Bytes{0x07}) << "SP as the reset left it";
     }},
    {"ReadOfEverySpace", "debug",
     [](sim::S51Cpu& cpu, const Ram& image) {
         EXPECT_EQ(read(cpu, SIMBOARD_CODE, 0, 64), Bytes(image.begin(), image.begin() + 64));
         EXPECT_EQ(read(cpu, SIMBOARD_XDATA, 0x7FC0, 64), Bytes(image.end() - 64, image.end()));
         EXPECT_EQ(read(cpu, SIMBOARD_IDATA, 0, 0x80).size(), 0x80u);
         // SP, then P1 and P2 as the reset leaves them.
         EXPECT_EQ(read(cpu, SIMBOARD_SFR, 0x81, 1), Bytes{0x07});
         EXPECT_EQ(read(cpu, SIMBOARD_SFR, 0x90, 1), Bytes{0xFF});
         EXPECT_EQ(read(cpu, SIMBOARD_SFR, 0xA0, 1), Bytes{0xFF});
     }},
    {"WriteReadBack", "debug",
     [](sim::S51Cpu& cpu, const Ram& image) {
         ASSERT_TRUE(cpu.write(SIMBOARD_XDATA, 0x7000, pattern(16, 1)));
         ASSERT_TRUE(cpu.write(SIMBOARD_IDATA, 0x30, pattern(16, 2)));
         ASSERT_TRUE(cpu.write(SIMBOARD_SFR, 0xF0, Bytes{0xA5}));  // B
         step_past_reset(cpu, image);
         EXPECT_EQ(read(cpu, SIMBOARD_XDATA, 0x7000, 16), pattern(16, 1));
         EXPECT_EQ(read(cpu, SIMBOARD_IDATA, 0x30, 16), pattern(16, 2));
         EXPECT_EQ(read(cpu, SIMBOARD_SFR, 0xF0, 1), Bytes{0xA5});
     }},
    {"LongExchangeInWrites", "debug",
     [](sim::S51Cpu& cpu, const Ram& image) {
         // Some 200 console lines: several writes, each answered in turn.
         ASSERT_TRUE(cpu.write(SIMBOARD_XDATA, 0x6000, pattern(3000, 3)));
         for (unsigned address = 0x100; address < 0x100 + 300; ++address) {
             ASSERT_TRUE(cpu.set_break(address));
         }
         step_past_reset(cpu, image);
         EXPECT_EQ(read(cpu, SIMBOARD_XDATA, 0x6000, 3000), pattern(3000, 3));
         for (unsigned address = 0x100; address < 0x100 + 300; ++address) {
             ASSERT_TRUE(cpu.clear_break(address));
         }
         ASSERT_TRUE(cpu.write(SIMBOARD_IDATA, 0x40, Bytes{0x5A}));
         EXPECT_EQ(read(cpu, SIMBOARD_IDATA, 0x40, 1), Bytes{0x5A});
     }},
    {"AsManyBreakpointsAsTheSimulatorTakes", "debug",
     [](sim::S51Cpu& cpu, const Ram& image) {
         // More than about 8190 break s51 4.2.0 (its heap is corrupted).
         unsigned address = 0x100;
         while (address < 0x100 + 9000 && cpu.set_break(address)) {
             ++address;
         }
         EXPECT_EQ(address - 0x100, 7000u);
         step_past_reset(cpu, image);
         EXPECT_EQ(read(cpu, SIMBOARD_CODE, 0, 16), Bytes(image.begin(), image.begin() + 16));
     }},
    {"PauseWhileRunning", "idle",
     [](sim::S51Cpu& cpu, const Ram& image) {
         ASSERT_TRUE(cpu.resume({}));
         std::this_thread::sleep_for(std::chrono::milliseconds(50));
         EXPECT_TRUE(cpu.poll().running);
         cpu.pause();
         const sim::RunReport report = settle(cpu);
         ASSERT_TRUE(report.paused);
         EXPECT_GT(report.cycles, 1000u);
         EXPECT_EQ(read(cpu, SIMBOARD_CODE, 0, 16), Bytes(image.begin(), image.begin() + 16));
         ASSERT_TRUE(cpu.write(SIMBOARD_IDATA, 0x50, Bytes{0x3C}));
         EXPECT_EQ(read(cpu, SIMBOARD_IDATA, 0x50, 1), Bytes{0x3C});
     }},
};

class S51Debug : public testing::TestWithParam<Exchange> {
protected:
    void SetUp() override {
#if !defined(QUILLON_DEBUG_IHX) || !defined(QUILLON_IDLE_IHX)
        GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
        settings_.program =
            sim::find_on_path("s51", std::getenv("PATH") ? std::getenv("PATH") : "");
        if (settings_.program.empty()) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
        const std::string firmware = GetParam().firmware;
        ASSERT_TRUE(
            load_firmware(firmware == "idle" ? QUILLON_IDLE_IHX : QUILLON_DEBUG_IHX, image_));
#endif
    }

    sim::S51Settings settings_;
    Ram image_{};
};

TEST_P(S51Debug, AnswersAreWholeAndInOrder) {
    sim::S51Cpu cpu(settings_);
    Ram ram = image_;
    cpu.plan({0, "", true});
    cpu.run(ram);
    ASSERT_TRUE(cpu.poll().paused);
    GetParam().check(cpu, image_);
    cpu.hold(ram);
    EXPECT_TRUE(children_named("s51").empty());
}

INSTANTIATE_TEST_SUITE_P(Exchanges, S51Debug, testing::ValuesIn(kExchanges),
                         [](const auto& info) { return std::string(info.param.label); });

// Clock ticks of CPU time a process has used, user and system.
long cpu_ticks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::vector<std::string> after_name{std::istream_iterator<std::string>(fields), {}};
    // Fields 14 and 15 of the line, counted from the state (field 3).
    return after_name.size() > 12 ? std::stol(after_name[11]) + std::stol(after_name[12]) : -1;
}

using S51DebugRest = S51Debug;

// A paused 8051 waits for its next question without burning a core, and
// still answers the moment it comes.
TEST_P(S51DebugRest, PausedSimulatorIsIdleAndAwake) {
    sim::S51Cpu cpu(settings_);
    Ram ram = image_;
    cpu.plan({0, "", true});
    cpu.run(ram);
    ASSERT_TRUE(cpu.poll().paused);
    const auto running = children_named("s51");
    ASSERT_EQ(running.size(), 1u);
    std::ifstream maps("/proc/" + std::to_string(running[0]) + "/maps");
    const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
    EXPECT_NE(mapped.find("libquillon-s51-wake.so"), std::string::npos)
        << "the simulator idles without the library that wakes it";

    const long before = cpu_ticks(running[0]);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long used = cpu_ticks(running[0]) - before;
    EXPECT_LE(used, sysconf(_SC_CLK_TCK) / 50) << "over 2 % of a core at rest";
    ASSERT_TRUE(cpu.write(SIMBOARD_IDATA, 0x30, Bytes{0x99}));
    step_past_reset(cpu, image_);
    EXPECT_EQ(read(cpu, SIMBOARD_IDATA, 0x30, 1), Bytes{0x99});
    cpu.hold(ram);
}

INSTANTIATE_TEST_SUITE_P(Rest, S51DebugRest, testing::Values(kExchanges[0]),
                         [](const auto&) { return std::string("Debug"); });

}  // namespace
