// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// How fast a debugger drives the simulated 8051: one exchange with the paused
// simulator, a `next` over a one-line statement, a run to a breakpoint, the
// start to the first pause, and breakpoints set and cleared by the thousand,
// each beside s51 alone stepping the same image from a script (vs_s51_step:
// how many of its steps one of ours costs).
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "child_process.h"
#include "debug_engine.h"
#include "debug_target.h"
#include "intel_hex_image.h"
#include "program.h"
#include "s51_cpu.h"
#include "simboard.h"

namespace {

using Ram = std::array<std::uint8_t, 0x8000>;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string s51() {
    return sim::find_on_path("s51", std::getenv("PATH") ? std::getenv("PATH") : "");
}

bool load(const char* ihx, Ram& ram) {
    std::ifstream in(ihx, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const auto stored = sim::parse_intel_hex(text, ram);
    return stored && *stored > 0;
}

unsigned line_of(const std::string& marker) {
    std::ifstream in(std::string(QUILLON_FIRMWARE_SOURCE_DIR) + "/debug_firmware.c");
    std::string line;
    for (unsigned number = 1; std::getline(in, line); ++number) {
        if (line.find(marker) != std::string::npos) {
            return number;
        }
    }
    return 0;
}

// The simulated 8051 as the debugger's target, without the port between.
class CpuTarget final : public debugger::Target {
public:
    explicit CpuTarget(sim::S51Cpu& cpu) : cpu_(cpu) {}
    bool read(debugger::Space space, unsigned address, std::span<std::uint8_t> bytes) override {
        return cpu_.read(board(space), address, bytes);
    }
    bool write(debugger::Space space, unsigned address,
               std::span<const std::uint8_t> bytes) override {
        return cpu_.write(board(space), address, bytes);
    }
    bool set_break(unsigned address) override { return cpu_.set_break(address); }
    bool clear_break(unsigned address) override { return cpu_.clear_break(address); }
    bool resume(std::span<const unsigned> once) override { return cpu_.resume(once); }
    void pause() override { cpu_.pause(); }
    void wait(std::chrono::milliseconds most) override { cpu_.wait(most); }
    debugger::TargetState state() override {
        const sim::RunReport report = cpu_.poll();
        debugger::TargetState state;
        using K = debugger::TargetState::Kind;
        state.pc = report.pc;
        state.cycles = report.cycles;
        state.result = report.result;
        state.text = report.text;
        state.kind = report.end == SIMBOARD_EXITED      ? K::exited
                     : report.end != SIMBOARD_NOT_ENDED ? K::failed
                     : report.paused                    ? K::paused
                     : report.running                   ? K::running
                                                        : K::failed;
        return state;
    }

private:
    static int board(debugger::Space space) {
        switch (space) {
            case debugger::Space::code:
                return SIMBOARD_CODE;
            case debugger::Space::xdata:
                return SIMBOARD_XDATA;
            case debugger::Space::idata:
                return SIMBOARD_IDATA;
            case debugger::Space::sfr:
                break;
        }
        return SIMBOARD_SFR;
    }
    sim::S51Cpu& cpu_;
};

// One debugged run of the debugger's test firmware, paused at its start.
struct Session {
    Ram ram{};
    sim::S51Cpu cpu;
    CpuTarget target{cpu};
    std::optional<debugger::Program> program;
    std::unique_ptr<debugger::Engine> engine;

    explicit Session(const sim::S51Settings& settings) : cpu(settings) {}

    // Starts the 8051 and returns when it waits at its reset.
    bool launch(const Ram& image) {
        ram = image;
        cpu.plan({0, "", true});
        cpu.run(ram);
        return cpu.poll().paused;
    }
    bool debug() {
        std::string error;
        program = debugger::Program::load(QUILLON_DEBUG_IHX, {ram.begin(), ram.end()},
                                          {QUILLON_FIRMWARE_SOURCE_DIR}, error);
        if (!program) {
            return false;
        }
        engine = std::make_unique<debugger::Engine>(*program, target);
        return true;
    }
    ~Session() { cpu.hold(ram); }
};

struct Fixture {
    sim::S51Settings settings;
    Ram image{};
    bool ok = false;
};

const Fixture& fixture() {
    static const Fixture made = [] {
        Fixture f;
        f.settings.program = s51();
        f.ok = !f.settings.program.empty() && load(QUILLON_DEBUG_IHX, f.image);
        return f;
    }();
    return made;
}

// Seconds s51 takes for one `step` of the same image, read from a script on
// its standard input: a script of many steps against one of none.
double s51_step_seconds() {
    static const double seconds = [] {
        const auto folder = std::filesystem::temp_directory_path() / "quillon-step-bench";
        std::filesystem::create_directories(folder);
        auto script_time = [&](int steps) {
            const auto script = folder / ("steps" + std::to_string(steps));
            {
                std::ofstream out(script);
                for (int i = 0; i < steps; ++i) {
                    out << "step\n";
                }
                out << "quit\n";
            }
            const std::string command = fixture().settings.program + " -t 8051 -X 11.0592M " +
                                        QUILLON_DEBUG_IHX + " < " + script.string() +
                                        " > /dev/null 2>&1";
            double best = 1e9;
            for (int round = 0; round < 3; ++round) {
                const auto start = Clock::now();
                if (std::system(command.c_str()) != 0) {
                    return 0.0;
                }
                best = std::min(best, seconds_since(start));
            }
            return best;
        };
        constexpr int kSteps = 2000;
        const double stepped = script_time(kSteps) - script_time(0);
        std::filesystem::remove_all(folder);
        return stepped > 0 ? stepped / kSteps : 0.0;
    }();
    return seconds;
}

void note_ratio(benchmark::State& state, double seconds, std::int64_t count) {
    const double step = s51_step_seconds();
    if (step > 0 && count > 0) {
        state.counters["vs_s51_step"] = seconds / static_cast<double>(count) / step;
    }
}

bool usable(benchmark::State& state) {
    if (!fixture().ok) {
        state.SkipWithError("s51 or the debugger's test firmware is missing");
        return false;
    }
    return true;
}

void BM_S51AloneStep(benchmark::State& state) {
    if (!usable(state)) {
        return;
    }
    for (auto _ : state) {
        state.SetIterationTime(s51_step_seconds());
    }
}

// A write of one byte to the paused 8051's memory: a question and its answer.
void BM_Exchange(benchmark::State& state) {
    if (!usable(state)) {
        return;
    }
    Session session(fixture().settings);
    if (!session.launch(fixture().image)) {
        state.SkipWithError("the 8051 did not start");
        return;
    }
    double total = 0;
    std::uint8_t byte = 0;
    for (auto _ : state) {
        const std::array<std::uint8_t, 1> bytes{++byte};
        const auto start = Clock::now();
        if (!session.cpu.write(SIMBOARD_XDATA, 0x7FFF, bytes)) {
            state.SkipWithError("the write was refused");
            break;
        }
        const double seconds = seconds_since(start);
        total += seconds;
        state.SetIterationTime(seconds);
    }
    note_ratio(state, total, state.iterations());
}

// From the start of the simulator to the 8051 waiting at its reset.
void BM_LaunchToFirstStop(benchmark::State& state) {
    if (!usable(state)) {
        return;
    }
    double total = 0;
    for (auto _ : state) {
        Session session(fixture().settings);
        const auto start = Clock::now();
        if (!session.launch(fixture().image)) {
            state.SkipWithError("the 8051 did not start");
            break;
        }
        const double seconds = seconds_since(start);
        total += seconds;
        state.SetIterationTime(seconds);
    }
    note_ratio(state, total, state.iterations());
}

// Paused at the loop's body, each time round: the timed part is what `what`
// does from there (a `next`, or a run round the loop to the breakpoint).
template <typename Timed>
void from_loop_body(benchmark::State& state, Timed what) {
    if (!usable(state)) {
        return;
    }
    const std::string place = "debug_firmware.c:" + std::to_string(line_of("loop body"));
    std::unique_ptr<Session> session;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (session && session->engine->last_stop().reason != debugger::Stop::Reason::breakpoint) {
            session->engine->go({});  // round the loop to the breakpoint, or to the end
        }
        if (!session || session->engine->last_stop().ended()) {
            session = std::make_unique<Session>(fixture().settings);
            if (!session->launch(fixture().image) || !session->debug() ||
                !std::holds_alternative<debugger::Breakpoint>(
                    session->engine->add_breakpoint(place, false)) ||
                session->engine->go({}).reason != debugger::Stop::Reason::breakpoint) {
                state.SkipWithError("the 8051 did not stop at the loop's body");
                break;
            }
        }
        state.ResumeTiming();
        const auto start = Clock::now();
        const debugger::Stop stop = what(*session);
        const double seconds = seconds_since(start);
        if (stop.reason == debugger::Stop::Reason::failed) {
            state.SkipWithError(stop.text.c_str());
            break;
        }
        total += seconds;
        state.SetIterationTime(seconds);
    }
    note_ratio(state, total, state.iterations());
}

void BM_NextOverOneLine(benchmark::State& state) {
    from_loop_body(state, [](Session& session) { return session.engine->next({}); });
}

void BM_ContinueToBreakpoint(benchmark::State& state) {
    from_loop_body(state, [](Session& session) { return session.engine->go({}); });
}

// A run to the breakpoint and the first reads of the external RAM after it:
// an array of four bytes (array_ms), as `print samples` needs, then the rest
// of the RAM (rest_ms).
void BM_ContinueAndReadTheRam(benchmark::State& state) {
    std::array<std::uint8_t, 0x8000> bytes{};
    double array = 0;
    double rest = 0;
    int reads = 0;
    from_loop_body(state, [&](Session& session) {
        debugger::Stop stop = session.engine->go({});
        if (stop.reason == debugger::Stop::Reason::breakpoint) {
            auto start = Clock::now();
            const bool read = session.cpu.read(SIMBOARD_XDATA, 0x1800, std::span(bytes).first(4));
            array += seconds_since(start);
            start = Clock::now();
            if (!read || !session.cpu.read(SIMBOARD_XDATA, 0, bytes)) {
                stop.reason = debugger::Stop::Reason::failed;
                stop.text = "the read was refused";
            }
            rest += seconds_since(start);
            ++reads;
        }
        return stop;
    });
    if (reads > 0) {
        state.counters["array_ms"] = array * 1000 / reads;
        state.counters["rest_ms"] = rest * 1000 / reads;
    }
}

// From asking a running 8051 to pause to its pause, on a firmware that loops
// for ever: a running simulator looks at its console only now and then.
void BM_PauseWhileRunning(benchmark::State& state) {
    Ram idle{};
    if (!usable(state) || !load(QUILLON_IDLE_IHX, idle)) {
        state.SkipWithError("the busy-loop firmware is missing");
        return;
    }
    Session session(fixture().settings);
    if (!session.launch(idle)) {
        state.SkipWithError("the 8051 did not start");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        if (!session.cpu.resume({})) {
            state.SkipWithError("the 8051 did not run on");
            break;
        }
        session.cpu.wait(std::chrono::milliseconds(20));
        const auto start = Clock::now();
        session.cpu.pause();
        sim::RunReport report = session.cpu.poll();
        while (report.running) {
            session.cpu.wait(std::chrono::milliseconds(100));
            report = session.cpu.poll();
        }
        const double seconds = seconds_since(start);
        if (!report.paused) {
            state.SkipWithError("the 8051 did not pause");
            break;
        }
        total += seconds;
        state.SetIterationTime(seconds);
    }
    note_ratio(state, total, state.iterations());
}

// Breakpoints at `count` addresses set, then cleared, on the paused 8051, each
// time up to the simulator's answer.
void BM_BreakpointsSetAndCleared(benchmark::State& state) {
    if (!usable(state)) {
        return;
    }
    const auto count = static_cast<unsigned>(state.range(0));
    Session session(fixture().settings);
    if (!session.launch(fixture().image)) {
        state.SkipWithError("the 8051 did not start");
        return;
    }
    double set = 0;
    double cleared = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (unsigned address = 0; address < count; ++address) {
            if (!session.cpu.set_break(address)) {
                state.SkipWithError("a breakpoint was refused");
                return;
            }
        }
        // Until the simulator has them: the exchange that follows carries them.
        const std::array<std::uint8_t, 1> byte{0};
        if (!session.cpu.write(SIMBOARD_XDATA, 0x7FFF, byte)) {
            state.SkipWithError("the simulator did not take the breakpoints");
            return;
        }
        set += seconds_since(start);
        start = Clock::now();
        for (unsigned address = 0; address < count; ++address) {
            session.cpu.clear_break(address);
        }
        if (!session.cpu.write(SIMBOARD_XDATA, 0x7FFF, byte)) {
            state.SkipWithError("the simulator did not clear the breakpoints");
            return;
        }
        cleared += seconds_since(start);
        state.SetIterationTime(seconds_since(start) + set);
    }
    const auto rounds = static_cast<double>(state.iterations());
    state.counters["set_s"] = set / rounds;
    state.counters["cleared_s"] = cleared / rounds;
}

BENCHMARK(BM_S51AloneStep)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Exchange)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextOverOneLine)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContinueToBreakpoint)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContinueAndReadTheRam)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PauseWhileRunning)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LaunchToFirstStop)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreakpointsSetAndCleared)
    ->UseManualTime()
    ->Arg(100)
    ->Arg(1000)
    ->Arg(7000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
