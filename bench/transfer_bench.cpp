// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A 32768-byte upload and download through the board link library at the
// shortest delay on the simulated board, against the floor: the same number of
// port accesses made in a plain loop on the same back end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dlportio.h"
#include "sleep_ms.h"
#include "vandrel.h"
#include "vandrel_board.h"

// The 500 ms pause and the reset pulse are not what is measured.
void vandrel::sleep_ms(std::uint32_t) {}

namespace {

namespace board = vandrel::board;

constexpr std::uint16_t kSize = board::kRamSize;
constexpr unsigned long kData = board::kPortBases[board::kPortIndexAtLoad];
constexpr unsigned long kStatus = kData + board::kStatusOffset;

struct Accesses {
    long writes;
    long reads;
};

// What one transfer of n bytes costs on the port at delay 1: the start sequence
// (53 writes, 70 reads), each byte, and the high address byte once per 256.
constexpr Accesses transfer_accesses(long n, bool download) {
    const long high_changes = (n - 1) / 256;
    const long writes = 53 + (download ? 54 : 52) * n + 26 * high_changes;
    const long reads = 70 + (download ? 74 + 8 : 70) * n + 35 * high_changes;
    return {writes, reads};
}

void count(benchmark::State& state, Accesses a) {
    state.counters["accesses/s"] = benchmark::Counter(
        static_cast<double>(a.writes + a.reads), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Upload(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(write_ram());
    }
    count(state, transfer_accesses(kSize, false));
}

void BM_Download(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_ram(kSize));
    }
    count(state, transfer_accesses(kSize, true));
}

// The same calls, interleaved about as a transfer interleaves them, with the
// clock line toggling so that the board sees edges.
void floor_loop(benchmark::State& state, Accesses a) {
    for (auto _ : state) {
        unsigned char status = 0;
        const long longest = a.writes > a.reads ? a.writes : a.reads;
        for (long k = 0; k < longest; ++k) {
            if (k < a.writes) {
                DlPortWritePortUchar(kData, (k & 1) != 0 ? 0xCA : 0xC8);
            }
            if (k < a.reads) {
                status ^= DlPortReadPortUchar(kStatus);
            }
        }
        benchmark::DoNotOptimize(status);
    }
    count(state, a);
}

void BM_UploadFloor(benchmark::State& state) {
    floor_loop(state, transfer_accesses(kSize, false));
}
void BM_DownloadFloor(benchmark::State& state) {
    floor_loop(state, transfer_accesses(kSize, true));
}

BENCHMARK(BM_Upload)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Download)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadFloor)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps the CPU time of each benchmark (the median when
// repeated), for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times_[name] = run.GetAdjustedCPUTime();
                from_median_[name] = true;
            } else if (run.run_type == Run::RT_Iteration && !from_median_[name]) {
                times_[name] = run.GetAdjustedCPUTime();
            }
        }
    }
    void print_ratios() const {
        for (const char* transfer : {"BM_Upload", "BM_Download"}) {
            const auto t = times_.find(transfer);
            const auto f = times_.find(std::string(transfer) + "Floor");
            if (t != times_.end() && f != times_.end() && f->second > 0) {
                std::printf("%s / floor: %.3f (goal: at most 1.10)\n", transfer + 3,
                            t->second / f->second);
            }
        }
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> from_median_;
};

}  // namespace

int main(int argc, char** argv) {
    // Always the simulated board, on a RAM file of our own.
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("quillon-bench-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(folder);
    const std::string ram = folder + "/board.ram";
    const std::string image = folder + "/image.bin";
    ::setenv("DLPORTIO_BACKEND", "sim", 1);
    ::setenv("DLPORTIO_SIM_RAM", ram.c_str(), 1);
    ::unsetenv("DLPORTIO_TRACE");
    ::unsetenv("DLPORTIO_SIM_FAULT");
    {
        std::vector<char> bytes(kSize);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 131 + 7);
        }
        std::ofstream(image, std::ios::binary).write(bytes.data(), kSize);
    }
    if (set_delay(1) != 1 || read_file(image.c_str()) != kSize) {
        std::fprintf(stderr, "transfer_bench: cannot load the image: %s\n", get_LastError());
        return 1;
    }
    std::printf("back end: %s\n", dlportio_backend_name(kData));

    // Five repetitions by default: the machine may be busy with other work.
    // Interleaved, so that a change of load in the middle of the run falls on
    // the transfers and their floors alike instead of skewing their ratio.
    std::vector<char*> arguments{argv[0]};
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    arguments.push_back(repetitions.data());
    arguments.push_back(aggregates.data());
    arguments.push_back(interleaving.data());
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    int argument_count = static_cast<int>(arguments.size());
    benchmark::Initialize(&argument_count, arguments.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
