// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The wall time of the shortest firmware test there is: quillon-cli run on a
// firmware that calls vandrel_sim_exit(0) at once, alone and 32 of them side
// by side with as many at a time as the machine has cores (as xargs -P$(nproc)
// or ctest -j$(nproc) would run them), each on a board of its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path& scratch() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "quillon-bench-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()));
    }();
    return folder;
}

// Starts one run on the board `board`; returns its process id.
pid_t start_run(int board) {
    std::vector<std::string> env;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::string_view(*variable).rfind("DLPORTIO_", 0) != 0) {
            env.emplace_back(*variable);
        }
    }
    env.insert(env.end(), {"DLPORTIO_BACKEND=sim", "DLPORTIO_SIM_MCU=s51",
                           "DLPORTIO_SIM_RAM=" +
                               (scratch() / ("board" + std::to_string(board) + ".ram")).string()});
    std::vector<std::string> args{QUILLON_CLI,         "-q",       "run",
                                  QUILLON_TRIVIAL_IHX, "--cycles", "1000000"};
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    for (auto& variable : env) {
        envp.push_back(variable.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawn(&pid, QUILLON_CLI, &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs `count` tests, at most `at_once` at a time; true when all passed.
bool run_tests(int count, int at_once) {
    int started = 0;
    int running = 0;
    bool passed = true;
    while (started < count || running > 0) {
        while (started < count && running < at_once) {
            if (start_run(started++) < 0) {
                return false;
            }
            ++running;
        }
        int status = 0;
        if (::wait(&status) < 0) {
            return false;
        }
        --running;
        passed = passed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return passed;
}

void measure(benchmark::State& state, int count, int at_once) {
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!run_tests(count, at_once)) {
            state.SkipWithError("a run failed (is s51 installed?)");
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        wall += seconds;
    }
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
    // The goal: 0.3 s a test, spread over the cores.
    state.counters["goal_s"] = 0.3 * count / at_once;
}

void BM_TrivialFirmwareRun(benchmark::State& state) {
    measure(state, 1, 1);
}

void BM_TrivialFirmwareRuns32SideBySide(benchmark::State& state) {
    measure(state, 32, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}

}  // namespace

BENCHMARK(BM_TrivialFirmwareRun)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrivialFirmwareRuns32SideBySide)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    return 0;
}
