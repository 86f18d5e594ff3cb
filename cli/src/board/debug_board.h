/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The simulated board set up for a debug session: the image uploaded through
// the library as `run` uploads it, its 8051 started paused, and at the end
// the board taken back with the verdict `run` would give.
#pragma once

#include <debug_engine.h>
#include <firmware_run.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board_target.h"
#include "command.h"
#include "uart_echo.h"

namespace qcli {

struct DebugSetup {
    std::string image;
    std::vector<std::string> source_dirs;
    std::uint64_t cycles = 0;  // the budget, 0 for none
    std::string uart_in;       // "-" for standard input
};

class DebugBoard {
public:
    // Checks that the port reaches the simulated 8051, reads the image and
    // its debug information, uploads the image and starts the 8051 paused.
    // Null on failure: `error` says why and `code` is the exit status.
    static std::unique_ptr<DebugBoard> start(Context& ctx, const DebugSetup& setup,
                                             std::string& error, int& code);
    ~DebugBoard();

    debugger::Engine& engine() { return *engine_; }
    debugger::Target& target() { return *target_; }
    const debugger::Program& program() const { return *program_; }
    UartEcho& uart() { return *echo_; }
    // The UART output that came since the last look, also for the terminal.
    std::string new_uart_text() { return output_->new_uart_text(); }

    // Takes the board back (the 8051 stops, its RAM is the board's again),
    // with the firmware's writes in the RAM file. The exit status the end of
    // the run gives, as `run` gives it; `ended_early` for a session that
    // ended before the firmware did. `tell` gets the closing lines.
    int finish(Context& ctx, bool early_is_failure);
    // The board's reset for a new run in the same session: the image
    // uploaded again and the 8051 started paused at its reset. False, with
    // `error`, when that fails.
    bool restart(Context& ctx, std::string& error);

private:
    DebugBoard() = default;

    std::uint16_t base_ = 0;
    DebugSetup setup_;
    std::unique_ptr<board_query::SimulatedCpu> cpu_;
    std::unique_ptr<BoardTarget> target_;
    std::optional<debugger::Program> program_;
    std::unique_ptr<debugger::Engine> engine_;
    std::unique_ptr<board_query::RunOutput> output_;
    std::unique_ptr<UartEcho> echo_;
    bool taken_back_ = false;
};

}  // namespace qcli
