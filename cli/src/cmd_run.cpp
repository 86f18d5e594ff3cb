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
#include <dlportio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "command.h"
#include "image_file.h"
#include "pause.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {
namespace {

namespace fs = std::filesystem;

// One wait at most, so a budget without --for still notices a broken simulator.
constexpr std::chrono::milliseconds kLongestWait{1000};
// The board's 8051: 11.0592 MHz, twelve clocks a machine cycle.
constexpr double kCyclesPerSecond = 11059200.0 / 12;

// Follows the log from where it ended when the firmware started.
class LogFollower {
public:
    explicit LogFollower(fs::path path) : path_(std::move(path)) {
        std::error_code ec;
        const auto size = fs::file_size(path_, ec);
        offset_ = ec ? 0 : size;
    }

    // Copies what was appended since the last call; returns it.
    std::string copy_new(std::ostream& out) {
        std::error_code ec;
        if (!fs::is_regular_file(path_, ec)) {
            return {};  // a folder or a device has no end to follow
        }
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            return {};
        }
        in.seekg(0, std::ios::end);
        const std::streamoff end = in.tellg();
        if (end < static_cast<std::streamoff>(offset_)) {
            offset_ = 0;  // the log was truncated or replaced
        }
        if (end <= static_cast<std::streamoff>(offset_)) {
            return {};
        }
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string text(static_cast<std::size_t>(end) - offset_, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        offset_ += text.size();
        out << text << std::flush;
        if (!text.empty()) {
            seen_ = true;
            line_open_ = text.back() != '\n';
        }
        return text;
    }

    bool seen() const { return seen_; }
    // True when the output so far ends inside a line: what follows must start a new one.
    bool line_open() const { return line_open_; }

private:
    fs::path path_;
    std::uintmax_t offset_ = 0;
    bool seen_ = false;
    bool line_open_ = false;
};

// Looks for a text in a stream that arrives in pieces.
class TextWatch {
public:
    explicit TextWatch(std::string text) : text_(std::move(text)) {}
    bool wanted() const { return !text_.empty(); }
    bool found() const { return found_; }
    const std::string& text() const { return text_; }

    void feed(const std::string& piece) {
        if (!wanted() || found_) {
            return;
        }
        tail_ += piece;
        found_ = tail_.find(text_) != std::string::npos;
        if (tail_.size() >= text_.size()) {
            tail_.erase(0, tail_.size() - (text_.size() - 1));
        }
    }

private:
    std::string text_;
    std::string tail_;  // the end of the stream, one byte shorter than the text
    bool found_ = false;
};

// The latches the layer wrote when it stopped the 8051, if this run wrote them.
std::optional<std::string> fresh_port_latches(const fs::path& file,
                                              std::optional<fs::file_time_type> before) {
    std::error_code ec;
    const auto written = fs::last_write_time(file, ec);
    if (ec || (before && written == *before)) {
        return std::nullopt;
    }
    std::ifstream in(file);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            text += (text.empty() ? "" : " ") + line;
        }
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

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

}  // namespace

int run_run(Context& ctx) {
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
    const std::string uart_in = options.uart_in == "-" ? "/dev/stdin" : options.uart_in;
    const unsigned read_size = options.read_size.value_or(0);
    // Firmware runs only on a board with an 8051: on the simulated board that
    // is s51, which may be missing; a real board is taken as it is.
    const unsigned long base = set_Port(VANDREL_PORT_QUERY);
    const char* why = nullptr;
    dlportio_quiet(1);  // a missing simulator is told below, once
    const bool simulated = dlportio_setup(base, nullptr) == DLPORTIO_SIMULATED;
    const bool cpu = dlportio_sim_cpu(base, &why) != 0;
    dlportio_quiet(options.quiet ? 1 : 0);
    if (simulated && !cpu) {
        return ctx.fail(std::string("no firmware can run: ") + (why != nullptr ? why : "?"));
    }
    if (!cpu && needs_simulator(options)) {
        return ctx.fail(
            "--cycles, --sim-time, --until-uart, --fail-uart and --uart-in need the simulated "
            "board's 8051 (DLPORTIO_BACKEND=sim DLPORTIO_SIM_MCU=s51)",
            kExitUsage);
    }
    if (const auto problem = unusable_files(uart_in, dlportio_path("uart"), cpu)) {
        return ctx.fail(*problem);
    }
    if (options.args.size() == 2 && options.args[1] == "-") {
        // Standard output carries the UART's text.
        return ctx.fail("run writes its OUTFILE to a file, not to '-'", kExitUsage);
    }

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

    // The port-access layer's own files: the simulated UART's output and the latches.
    const fs::path log = dlportio_path("uart");
    const fs::path ports = dlportio_path("ports");
    std::error_code ec;
    std::optional<fs::file_time_type> ports_before;
    if (const auto time = fs::last_write_time(ports, ec); !ec) {
        ports_before = time;
    }
    LogFollower uart(log);
    TextWatch until(options.until_uart);
    TextWatch failure(options.fail_uart);

    // Without a budget the wall clock ends the run, by default after 2 s.
    const std::optional<double> wall = options.gave(Option::for_seconds) || options.cycles == 0
                                           ? std::optional<double>(options.run_seconds)
                                           : std::nullopt;
    if (cpu) {
        dlportio_sim_plan(options.cycles, uart_in.empty() ? nullptr : uart_in.c_str());
    }
    reset();  // the 8051 runs from here
    {
        std::ostringstream what;
        if (options.cycles > 0) {
            what << "running for " << options.cycles << " cycles";
            if (wall) {
                what << " (at most " << *wall << " s)";
            }
        } else {
            what << "running for " << *wall << " s";
        }
        ctx.info() << what.str() << "; UART output (" << log.string() << "):\n" << std::flush;
    }
    // Woken by the 8051's output and by its stop, not by a clock tick: a
    // short run ends as soon as it is over.
    using Clock = std::chrono::steady_clock;
    const auto deadline = wall ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(*wall))
                               : Clock::time_point::max();
    dlportio_sim_run state{};
    while (true) {
        const std::string piece = uart.copy_new(ctx.out);
        until.feed(piece);
        failure.feed(piece);
        if (until.found() || failure.found()) {
            break;
        }
        if (cpu) {
            dlportio_sim_poll(&state);
            if (!state.running && state.end != DLPORTIO_SIM_NOT_ENDED) {
                break;  // the firmware ended the run, the budget ran out, or it broke down
            }
        }
        const auto left =
            wall ? std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())
                 : kLongestWait;
        if (left.count() <= 0) {
            break;
        }
        if (cpu) {
            dlportio_sim_wait(static_cast<unsigned long>(std::min(left, kLongestWait).count()));
        } else {
            pause_ms(static_cast<unsigned>(std::min(left, kLongestWait).count()));
        }
    }

    // A download raises the reset line: the 8051 stops and the RAM is the PC's again.
    progress_begin("download");
    const auto take_back = static_cast<std::uint16_t>(read_size > 0 ? read_size : 1);
    const bool taken_back = read_ram(take_back) != 0;
    {
        const std::string piece =
            uart.copy_new(ctx.out);  // what came between the last look and the stop
        until.feed(piece);
        failure.feed(piece);
    }
    if (uart.line_open()) {
        ctx.out << '\n';  // what follows is ours, not the firmware's
    }
    if (!taken_back) {
        return ctx.library_failure();
    }
    if (read_size > 0) {
        if (const int rc = save_image(ctx, options.args[1]); rc != kExitOk) {
            return rc;
        }
        ctx.info() << read_ram_text(get_bufsize(), get_chsum()) << '\n';
    }
    if (!uart.seen()) {
        ctx.info() << "(no UART output)\n";
    }
    if (const auto latches = fresh_port_latches(ports, ports_before)) {
        ctx.out << "ports: " << *latches << '\n';
    } else if (cpu) {
        ctx.info() << "no port latches: the 8051 did not stop as told\n";
    }
    if (!cpu) {
        return kExitOk;  // a real board: it ran for its time
    }

    dlportio_sim_poll(&state);
    if (state.end != DLPORTIO_SIM_FAILED && state.cycles > 0) {
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

    Outcome outcome = Outcome::wall_time;
    if (failure.found()) {
        outcome = Outcome::failure_text;
    } else if (state.end == DLPORTIO_SIM_EXITED) {
        outcome = Outcome::firmware;
    } else if (until.found()) {
        outcome = Outcome::expected_text;
    } else if (state.end == DLPORTIO_SIM_BUDGET) {
        outcome = Outcome::budget;
    } else if (state.end == DLPORTIO_SIM_FAILED) {
        outcome = Outcome::broken;
    }
    switch (outcome) {
        case Outcome::failure_text:
            ctx.out << "UART output has '" << failure.text() << "'\n";
            return kExitFirmwareFailed;
        case Outcome::firmware:
            ctx.out << "firmware result " << state.result << '\n';
            return state.result == 0 ? kExitOk : kExitFirmwareFailed;
        case Outcome::expected_text:
            ctx.info() << "UART output has '" << until.text() << "'\n";
            return kExitOk;
        case Outcome::budget:
            ctx.out << "budget of " << options.cycles
                    << " cycles ran out without a result from the firmware\n";
            return kExitNoOutcome;
        case Outcome::broken:
            return ctx.fail(state.text != nullptr ? state.text : "the 8051 stopped");
        case Outcome::wall_time:
            break;
    }
    if (options.cycles > 0 || until.wanted()) {
        ctx.out << "--for " << *wall << " s of wall time ran out without a result from the "
                << "firmware\n";
        return kExitNoOutcome;
    }
    return kExitOk;
}

}  // namespace qcli
