// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// debug IMAGE [--batch FILE] [--fullname] [--source-dir DIR] [--cycles N | --sim-time S]
//       [--for S] [--uart-in FILE] | debug --dap
// Uploads IMAGE as run does and lets the simulated board's 8051 wait at its
// reset; then gdb's commands, typed or from FILE, set breakpoints at C lines
// (the .cdb beside IMAGE tells where), run, step and show variables. The UART
// output appears as it comes; the firmware's result ends the session with
// the exit status run gives.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "command.h"
#include "dap_server.h"
#include "debug_board.h"
#include "gdb_session.h"

namespace qcli {

namespace {

volatile sig_atomic_t g_interrupted = 0;

void note_interrupt(int) {
    g_interrupted = 1;
}

// While the session lasts, Ctrl+C pauses the firmware instead of ending the
// program; the program's own handler is back afterwards.
class InterruptPauses {
public:
    explicit InterruptPauses(bool active) : active_(active) {
        if (active_) {
            struct sigaction pause_on_it {};
            pause_on_it.sa_handler = note_interrupt;
            sigemptyset(&pause_on_it.sa_mask);
            ::sigaction(SIGINT, &pause_on_it, &before_);
        }
    }
    ~InterruptPauses() {
        if (active_) {
            ::sigaction(SIGINT, &before_, nullptr);
        }
    }
    InterruptPauses(const InterruptPauses&) = delete;
    InterruptPauses& operator=(const InterruptPauses&) = delete;

private:
    bool active_;
    struct sigaction before_ {};
};

// The protocol server's view of the simulated board: a DebugBoard set up
// as the console's session sets it up, its texts kept for the editor.
class DapBoard : public dap::Board {
public:
    DapBoard(std::unique_ptr<DebugBoard> board, Context& ctx)
        : board_(std::move(board)), ctx_(ctx) {}
    debugger::Engine& engine() override { return board_->engine(); }
    debugger::Target& target() override { return board_->target(); }
    std::string new_uart_text() override { return board_->new_uart_text(); }
    int finish(bool early) override { return board_->finish(ctx_, early); }

private:
    std::unique_ptr<DebugBoard> board_;
    Context& ctx_;
};

class DapHost : public dap::Host {
public:
    DapHost(const Options& options, std::ostream& err) : options_(options), err_(err) {}
    std::unique_ptr<dap::Board> launch(const dap::Launch& launch, std::string& error,
                                       int& code) override {
        const DebugSetup setup{launch.program, launch.source_dirs, launch.cycles, launch.uart_in};
        code = kExitOk;
        auto board = DebugBoard::start(ctx_, setup, error, code);
        if (!board) {
            return nullptr;
        }
        return std::make_unique<DapBoard>(std::move(board), ctx_);
    }
    std::string take_console() override { return take(console_); }
    std::string take_errors() override { return take(errors_); }
    void complain(const std::string& message) override {
        err_ << kProgramName << ": " << message << '\n';
    }

private:
    static std::string take(std::ostringstream& stream) {
        std::string text = stream.str();
        stream.str({});
        return text;
    }

    Options options_;
    std::ostringstream console_;
    std::ostringstream errors_;
    Context ctx_{options_, console_, errors_};
    std::ostream& err_;
};

}  // namespace

int run_debug(Context& ctx) {
    const Options& options = ctx.options;
    if (options.gave(Option::cycles) && options.gave(Option::sim_time)) {
        return ctx.fail("--cycles and --sim-time both set the budget: give one of them",
                        kExitUsage);
    }
    if (options.dap) {
        if (!options.args.empty() || options.gave(Option::batch)) {
            return ctx.fail(
                "--dap takes the image from the editor's launch request, and no --batch",
                kExitUsage);
        }
        DapHost host(options, ctx.err);
        return dap::serve(host, STDIN_FILENO, STDOUT_FILENO);
    }
    if (options.args.size() != 1) {
        return ctx.fail(
            "usage: " + std::string(kProgramName) + " " + usage_line(*find_command("debug")),
            kExitUsage);
    }
    const bool batch = options.gave(Option::batch);
    std::ifstream script;
    if (batch && options.batch != "-") {
        script.open(options.batch);
        if (!script) {
            return ctx.fail("cannot read " + options.batch + ": " + std::strerror(errno));
        }
    }
    const DebugSetup setup{options.args[0], options.source_dirs, options.cycles, options.uart_in};
    std::string error;
    int code = kExitOk;
    const auto board = DebugBoard::start(ctx, setup, error, code);
    if (!board) {
        return error.empty() ? code : ctx.fail(error, code);
    }
    // A session from a file must end on its own: without a budget, the wall
    // clock of --for (2 s unless given) ends a run that goes on.
    using Clock = std::chrono::steady_clock;
    const bool timed = batch && (options.cycles == 0 || options.gave(Option::for_seconds));
    const auto limit = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options.run_seconds));
    bool timed_out = false;
    Clock::time_point run_began{};
    bool in_run = false;
    const bool interactive = !batch && ::isatty(STDIN_FILENO) != 0;
    SessionIo io{ctx.out, ctx.err, interactive, options.fullname, options.args[0], {}, {},
                 {},      {},      {}};
    io.over = [&timed_out] { return timed_out; };
    // The UART's bytes reach its log through a relay: at a stop after the
    // firmware printed, the last of them may still be on the way. They are
    // let in until the log has been still for a moment, so that a report
    // never cuts a line of the firmware's in two.
    bool printed = false;
    io.before_output = [&board, &ctx, &in_run, &printed] {
        in_run = false;
        if (!board->uart().copy_new(ctx.out).empty() || printed) {
            using namespace std::chrono_literals;
            const auto until = std::chrono::steady_clock::now() + 300ms;
            for (int still = 0; still < 3 && std::chrono::steady_clock::now() < until;) {
                std::this_thread::sleep_for(10ms);
                still = board->uart().copy_new(ctx.out).empty() ? still + 1 : 0;
            }
            printed = false;
        }
        board->uart().copy_new(ctx.out);
        board->uart().close_line(ctx.out);
    };
    io.watch = [&] {
        if (!in_run) {
            in_run = true;
            run_began = Clock::now();
        }
        if (!board->uart().copy_new(ctx.out).empty()) {
            printed = true;
        }
        if (g_interrupted != 0) {
            g_interrupted = 0;
            return true;
        }
        if (timed && Clock::now() - run_began > limit) {
            timed_out = true;
            return true;
        }
        return false;
    };
    io.interrupted = [] {
        if (g_interrupted == 0) {
            return false;
        }
        g_interrupted = 0;
        std::clearerr(stdin);  // the read that Ctrl+C broke; the next one goes on
        return true;
    };
    io.restart = [&board, &ctx](std::string& error) { return board->restart(ctx, error); };
    GdbSession session(board->engine(), io);
    {
        const InterruptPauses interrupt(interactive);
        session.run(batch && options.batch != "-" ? script : std::cin);
    }
    if (timed_out) {
        ctx.out << "--for " << options.run_seconds
                << " s of wall time ran out without a result from the firmware\n";
        board->finish(ctx, false);
        return kExitNoOutcome;
    }
    return board->finish(ctx, batch);
}

}  // namespace qcli
