// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// How much faster than the real board the simulated 8051 runs a busy loop:
// simulated seconds per wall second for a fixed budget of machine cycles,
// start and stop of the simulator included.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "child_process.h"
#include "intel_hex_image.h"
#include "s51_cpu.h"

namespace {

using Ram = std::array<std::uint8_t, 0x8000>;

bool load(const char* ihx, Ram& ram) {
    std::ifstream in(ihx, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const auto stored = sim::parse_intel_hex(text, ram);
    return stored && *stored > 0;
}

void BM_SimulatedBusyLoop(benchmark::State& state) {
    const std::string program =
        sim::find_on_path("s51", std::getenv("PATH") ? std::getenv("PATH") : "");
    Ram image{};
    if (program.empty() || !load(QUILLON_IDLE_IHX, image)) {
        state.SkipWithError("s51 or the busy-loop firmware is missing");
        return;
    }
    const auto cycles = static_cast<std::uint64_t>(state.range(0));
    double simulated = 0;
    double wall = 0;
    for (auto _ : state) {
        Ram ram = image;
        sim::S51Settings settings;
        settings.program = program;
        sim::S51Cpu cpu(settings);
        cpu.plan({cycles, ""});
        const auto start = std::chrono::steady_clock::now();
        cpu.run(ram);
        sim::RunReport report = cpu.poll();
        while (report.running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            report = cpu.poll();
        }
        cpu.hold(ram);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        if (report.end != SIMBOARD_BUDGET) {
            state.SkipWithError("the run did not end at its budget");
            return;
        }
        simulated += static_cast<double>(report.cycles) * sim::kClocksPerCycle /
                     static_cast<double>(sim::kBoardClockHz);
        wall += seconds;
    }
    state.counters["simulated_s"] = simulated / static_cast<double>(state.iterations());
    state.counters["sim/wall"] = simulated / wall;
}

}  // namespace

// 1 s, 10 s and 60 s of the board's time.
BENCHMARK(BM_SimulatedBusyLoop)
    ->Arg(921'600)
    ->Arg(9'216'000)
    ->Arg(55'296'000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
