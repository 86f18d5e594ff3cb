// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// run FILE [--cycles N | --sim-time S] [--for S] [--until-uart TEXT] [--fail-uart TEXT]
//     [--uart-in FILE] [--read N OUTFILE]
// Uploads FILE and lets the board's 8051 run it, showing its UART output as it
// comes, until the firmware ends the run, a cycle budget runs out, an expected
// UART text appears or S seconds of wall time pass; then takes the board back
// with a download and shows the port latches the firmware left and how it
// ended. The firmware runs on the simulated board with DLPORTIO_SIM_MCU=s51; a
// real board just runs for S seconds.
#include <board_query.h>
#include <fcntl.h>
#include <firmware_run.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "command.h"
#include "image_file.h"
#include "pause.h"
#include "progress.h"
#include "status_text.h"
#include "uart_echo.h"

namespace qcli {
namespace {

namespace fs = std::filesystem;

// One wait at most, so a budget without --for still notices a broken simulator.
constexpr std::chrono::milliseconds kLongestWait{1000};
// The board's 8051: 11.0592 MHz, twelve clocks a machine cycle.
constexpr double kCyclesPerSecond = 11059200.0 / 12;

bool needs_simulator(const Options& options) {
    return options.cycles > 0 || !options.until_uart.empty() || !options.fail_uart.empty() ||
           !options.uart_in.empty();
}

// Refuses what a run cannot use before it uploads anything: a UART input
// that is missing, a folder or unreadable (checked without opening it, since
// a FIFO gives its bytes to one open only), and a UART log that is no regular
// file or can't be written, as the firmware's text reaches the screen through it.
std::optional<std::string> unusable_files(const std::string& uart_in, const fs::path& log,
                                          bool uses_log) {
    struct stat info {};
    if (!uart_in.empty()) {
        if (::stat(uart_in.c_str(), &info) != 0 || ::access(uart_in.c_str(), R_OK) != 0) {
            return "cannot read " + uart_in + ": " + std::strerror(errno);
        }
        if (S_ISDIR(info.st_mode)) {
            return "cannot read " + uart_in + ": " + std::strerror(EISDIR);
        }
    }
    if (!uses_log || log.empty()) {
        return std::nullopt;
    }
    if (::stat(log.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;  // the layer creates it, with its folder
        }
        return "cannot write the UART log " + log.string() + ": " + std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return "the UART log " + log.string() + " is no regular file: the run shows the " +
               "firmware's output by following it";
    }
    if (::faccessat(AT_FDCWD, log.c_str(), W_OK, AT_EACCESS) != 0) {
        return "cannot write the UART log " + log.string() + ": " + std::strerror(errno);
    }
    return std::nullopt;
}

// How the run ended, in the order in which the outcomes count.
enum class Outcome { failure_text, firmware, expected_text, budget, wall_time, broken };

std::string format_seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// What the command line asks for, checked before the board is touched.
struct Plan {
    bool cpu = false;  // the board's 8051 is the simulated one, which reports how it ran
    std::unique_ptr<board_query::SimulatedCpu> board;  // that 8051
    std::string uart_in;
    unsigned read_size = 0;
    std::optional<double> wall;  // the wall time that ends the run, if any
};

// What the run showed while it was watched. The texts are the board's to
// find: it stops the 8051 at the write to SBUF that completes one, and the
// UART log may not hold that byte yet.
struct Watch {
    explicit Watch(board_query::RunOutput& output) : uart(output) {}

    void feed(std::ostream& out) { uart.copy_new(out); }

    UartEcho uart;
    board_query::RunState state;
};

int check(Context& ctx, Plan& plan) {
    const Options& options = ctx.options;
    if (options.read_size.has_value() != (options.args.size() == 2)) {
        return ctx.fail(
            "usage: " + std::string(kProgramName) + " " + usage_line(*find_command("run")),
            kExitUsage);
    }
    if (options.gave(Option::cycles) && options.gave(Option::sim_time)) {
        return ctx.fail("--cycles and --sim-time both set the budget: give one of them",
                        kExitUsage);
    }
    plan.uart_in = options.uart_in == "-" ? "/dev/stdin" : options.uart_in;
    plan.read_size = options.read_size.value_or(0);
    // Firmware runs only on a board with an 8051: on the simulated board that
    // is s51, which may be missing (told here, once); a real board is taken as it is.
    const board_query::FirmwareBoard board =
        board_query::firmware_board(set_Port(VANDREL_PORT_QUERY));
    plan.cpu = board.cpu;
    plan.board = std::make_unique<board_query::SimulatedCpu>(set_Port(VANDREL_PORT_QUERY));
    if (board.simulated && !plan.cpu) {
        return ctx.fail("no firmware can run: " + board.why);
    }
    if (!plan.cpu && needs_simulator(options)) {
        return ctx.fail(
            "--cycles, --sim-time, --until-uart, --fail-uart and --uart-in need the simulated "
            "board's 8051 (DLPORTIO_BACKEND=sim DLPORTIO_SIM_MCU=s51)",
            kExitUsage);
    }
    if (const auto problem = unusable_files(plan.uart_in, plan.board->file("uart"), plan.cpu)) {
        return ctx.fail(*problem);
    }
    if (options.args.size() == 2 && options.args[1] == "-") {
        // Standard output carries the UART's text.
        return ctx.fail("run writes its OUTFILE to a file, not to '-'", kExitUsage);
    }
    // Without a budget the wall clock ends the run, by default after 2 s.
    if (options.gave(Option::for_seconds) || options.cycles == 0) {
        plan.wall = options.run_seconds;
    }
    return kExitOk;
}

// Uploads the firmware and lets the 8051 run it; `output` follows what it
// leaves from then on.
int start(Context& ctx, const Plan& plan, std::optional<board_query::RunOutput>& output) {
    const Options& options = ctx.options;
    if (const int rc = load_image(ctx, options.args[0]); rc != kExitOk) {
        return rc;
    }
    const std::uint16_t size = get_bufsize();
    const std::uint16_t checksum = get_chsum();
    progress_begin("upload");
    if (write_ram() == 0) {
        return ctx.library_failure();
    }
    ctx.info() << write_ram_text(size, checksum) << '\n';
    output.emplace(*plan.board);
    if (plan.cpu) {
        plan.board->plan(options.cycles, plan.uart_in, false, options.until_uart,
                         options.fail_uart);
    }
    reset();  // the 8051 runs from here
    std::ostringstream what;
    if (options.cycles > 0) {
        what << "running for " << options.cycles << " cycles";
        if (plan.wall) {
            what << " (at most " << *plan.wall << " s)";
        }
    } else {
        what << "running for " << *plan.wall << " s";
    }
    ctx.info() << what.str() << "; UART output (" << output->uart_path().string() << "):\n"
               << std::flush;
    return kExitOk;
}

// Shows the UART output until the run ends, then takes the board back with a
// download and shows what the firmware left.
int watch(Context& ctx, const Plan& plan, const board_query::RunOutput& output, Watch& run) {
    // Woken by the 8051's output and by its stop, not by a clock tick: a
    // short run ends as soon as it is over.
    using Clock = std::chrono::steady_clock;
    const auto deadline = plan.wall ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                         std::chrono::duration<double>(*plan.wall))
                                    : Clock::time_point::max();
    while (true) {
        run.feed(ctx.out);
        if (plan.cpu) {
            run.state = plan.board->state();
            if (!run.state.running && run.state.end != SIMBOARD_NOT_ENDED) {
                break;  // the firmware ended the run, the budget ran out, or it broke down
            }
        }
        const auto left =
            plan.wall ? std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())
                      : kLongestWait;
        if (left.count() <= 0) {
            break;
        }
        if (plan.cpu) {
            plan.board->wait(std::min(left, kLongestWait));
        } else {
            pause_ms(static_cast<unsigned>(std::min(left, kLongestWait).count()));
        }
    }
    // A download raises the reset line: the 8051 stops and the RAM is the PC's again.
    progress_begin("download");
    const auto take_back = static_cast<std::uint16_t>(plan.read_size > 0 ? plan.read_size : 1);
    const bool taken_back = read_ram(take_back) != 0;
    run.feed(ctx.out);             // what came between the last look and the stop
    run.uart.close_line(ctx.out);  // what follows is ours, not the firmware's
    if (!taken_back) {
        return ctx.library_failure();
    }
    if (plan.read_size > 0) {
        if (const int rc = save_image(ctx, ctx.options.args[1]); rc != kExitOk) {
            return rc;
        }
        ctx.info() << read_ram_text(get_bufsize(), get_chsum()) << '\n';
    }
    if (!run.uart.seen()) {
        ctx.info() << "(no UART output)\n";
    }
    if (const auto latches = output.port_latches()) {
        ctx.out << "ports: " << *latches << '\n';
    } else if (plan.cpu) {
        ctx.info() << "no port latches: the 8051 did not stop as told\n";
    }
    return kExitOk;
}

// How the simulated 8051's run ended, as a line and an exit code.
int verdict(Context& ctx, const Plan& plan) {
    const Options& options = ctx.options;
    const board_query::RunState state = plan.board->state();
    if (state.end != SIMBOARD_FAILED && state.cycles > 0) {
        const double simulated_seconds = static_cast<double>(state.cycles) / kCyclesPerSecond;
        std::ostringstream timing;
        timing << "8051: " << state.cycles << " cycles, " << format_seconds(simulated_seconds)
               << " s simulated in " << format_seconds(state.wall_seconds) << " s";
        if (state.wall_seconds > 0) {
            char ratio[32];
            std::snprintf(ratio, sizeof ratio, "%.1f", simulated_seconds / state.wall_seconds);
            timing << ", " << ratio << " times the board's speed";
        }
        ctx.info() << timing.str() << '\n';
    }

    const bool text = state.end == SIMBOARD_UART_TEXT;
    Outcome outcome = Outcome::wall_time;
    if (text && state.uart_text == SIMBOARD_FAIL_TEXT) {
        outcome = Outcome::failure_text;
    } else if (state.end == SIMBOARD_EXITED) {
        outcome = Outcome::firmware;
    } else if (text) {
        outcome = Outcome::expected_text;
    } else if (state.end == SIMBOARD_BUDGET) {
        outcome = Outcome::budget;
    } else if (state.end == SIMBOARD_FAILED) {
        outcome = Outcome::broken;
    }
    switch (outcome) {
        case Outcome::failure_text:
            ctx.out << "UART output has '" << options.fail_uart << "'\n";
            return kExitFirmwareFailed;
        case Outcome::firmware:
            ctx.out << "firmware result " << state.result << '\n';
            return state.result == 0 ? kExitOk : kExitFirmwareFailed;
        case Outcome::expected_text:
            ctx.info() << "UART output has '" << options.until_uart << "'\n";
            return kExitOk;
        case Outcome::budget:
            ctx.out << "budget of " << options.cycles
                    << " cycles ran out without a result from the firmware\n";
            return kExitNoOutcome;
        case Outcome::broken:
            return ctx.fail(!state.text.empty() ? state.text : "the 8051 stopped");
        case Outcome::wall_time:
            break;
    }
    if (options.cycles > 0 || !options.until_uart.empty()) {
        ctx.out << "--for " << plan.wall.value_or(0) << " s of wall time ran out without a "
                << "result from the firmware\n";
        return kExitNoOutcome;
    }
    return kExitOk;
}

}  // namespace

int run_run(Context& ctx) {
    Plan plan;
    if (const int rc = check(ctx, plan); rc != kExitOk) {
        return rc;
    }
    std::optional<board_query::RunOutput> output;
    if (const int rc = start(ctx, plan, output); rc != kExitOk) {
        return rc;
    }
    Watch run(*output);
    if (const int rc = watch(ctx, plan, *output, run); rc != kExitOk) {
        return rc;
    }
    return plan.cpu ? verdict(ctx, plan) : kExitOk;  // a real board ran for its time
}

}  // namespace qcli
