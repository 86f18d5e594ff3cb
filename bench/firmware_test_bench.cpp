// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The wall time of the shortest firmware test there is: quillon-cli run on a
// firmware that calls vandrel_sim_exit(0) at once, against s51 alone on the
// same image with its whole script on its input; and 32 such tests side by
// side, each on a board of its own, from an install tree with
// `ctest -j$(nproc)`, as a firmware project runs its suite.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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

// The wall times of each benchmark's iterations, for the ratio at the end.
std::map<std::string, std::vector<double>> g_times;

double median(std::vector<double> times) {
    if (times.empty()) {
        return 0;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& env,
            const char* input = "/dev/null") {
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    std::vector<std::string> variables = env;
    for (auto& variable : variables) {
        envp.push_back(variable.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool succeeds(pid_t pid) {
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::vector<std::string> environment() {
    std::vector<std::string> env;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        env.emplace_back(*variable);
    }
    return env;
}

// Starts one run on the board `board`; returns its process id.
pid_t start_run(int board) {
    std::vector<std::string> env;
    for (const std::string& variable : environment()) {
        if (!variable.starts_with("DLPORTIO_")) {
            env.push_back(variable);
        }
    }
    env.insert(env.end(), {"DLPORTIO_BACKEND=sim", "DLPORTIO_SIM_MCU=s51",
                           "DLPORTIO_SIM_RAM=" +
                               (scratch() / ("board" + std::to_string(board) + ".ram")).string()});
    return spawn({QUILLON_CLI, "-q", "run", QUILLON_TRIVIAL_IHX, "--cycles", "1000000"}, env);
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

void measure(benchmark::State& state, const char* key, int count, int at_once) {
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
        g_times[key].push_back(seconds);
        wall += seconds;
    }
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
    // The goal: 0.3 s a test, spread over the cores.
    state.counters["goal_s"] = 0.3 * count / at_once;
}

void BM_TrivialFirmwareRun(benchmark::State& state) {
    measure(state, "run", 1, 1);
}

// s51 by itself on the same image: the whole script on its input, which it
// reads as it goes, so it runs and quits without a look at a console.
void BM_S51Alone(benchmark::State& state) {
    const fs::path script = scratch() / "run-and-quit.txt";
    std::ofstream(script) << "run\nquit\n";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!succeeds(spawn({"s51", "-t", "8051", "-X", "11.0592M", "-I", "if=sfr[0xFF]", "-b",
                             QUILLON_TRIVIAL_IHX},
                            environment(), script.c_str()))) {
            state.SkipWithError("s51 did not run (is sdcc-ucsim installed?)");
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        g_times["s51"].push_back(seconds);
    }
}

// The shell commands of one set-up step; false when one failed.
bool shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// 32 tests of a firmware project, from quillon's install tree, with
// ctest -j$(nproc): what a CI job that runs them waits for.
void BM_TrivialSuiteWithCtest(benchmark::State& state) {
    const fs::path install = scratch() / "install";
    const fs::path suite = scratch() / "suite";
    if (!shell("cmake --install " QUILLON_BUILD_DIR " --prefix " + install.string()) ||
        !shell("cmake -S " QUILLON_SUITE_DIR " -B " + suite.string() + " -DCMAKE_PREFIX_PATH=" +
               install.string() + " -DTRIVIAL_IHX=" QUILLON_TRIVIAL_IHX)) {
        state.SkipWithError("the install tree or the suite could not be set up");
        return;
    }
    const std::string jobs = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!succeeds(spawn({"ctest", "--test-dir", suite.string(), "-j", jobs}, environment()))) {
            state.SkipWithError("a test of the suite failed");
            return;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        g_times["suite"].push_back(seconds);
    }
    state.counters["cores"] = std::stod(jobs);
}

void BM_TrivialFirmwareRuns32SideBySide(benchmark::State& state) {
    measure(state, "run32", 32,
            static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}

}  // namespace

BENCHMARK(BM_S51Alone)->UseManualTime()->Iterations(11)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrivialFirmwareRun)->UseManualTime()->Iterations(11)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrivialFirmwareRuns32SideBySide)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrivialSuiteWithCtest)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double alone = median(g_times["s51"]);
    const double run = median(g_times["run"]);
    if (alone > 0 && run > 0) {
        std::printf(
            "trivial run %.1f ms, s51 alone %.1f ms (medians): ratio %.2f (goal: at most 3)\n",
            run * 1000, alone * 1000, run / alone);
    }
    const double suite = median(g_times["suite"]);
    if (suite > 0) {
        std::printf("32 tests with ctest -j%u: %.2f s (median; goal on 2 cores: 1.5 s)\n",
                    std::max(1u, std::thread::hardware_concurrency()), suite);
    }
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    return 0;
}
