/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// What the protocol server needs of the program it runs in: a board set up
// from an editor's launch request, its engine and UART, and its end with the
// exit status the program gives. `quillon-cli debug --dap` provides it over
// the simulated board.
#pragma once

#include <debug_engine.h>
#include <debug_target.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dap {

struct Launch {
    std::string program;  // the image built with sdcc --debug
    std::vector<std::string> source_dirs;
    std::uint64_t cycles = 0;  // the budget, 0 for none
    std::string uart_in;       // a file fed to the UART, "" for none
};

// A launched board: the 8051 paused at its reset.
class Board {
public:
    virtual ~Board() = default;
    virtual debugger::Engine& engine() = 0;
    virtual debugger::Target& target() = 0;
    // The UART's bytes that came since the last look, as they came.
    virtual std::string new_uart_text() = 0;
    // Takes the board back; the exit status of the run's end. `early`: the
    // session ends before the firmware's result, which is told and is not
    // a success.
    virtual int finish(bool early) = 0;
};

class Host {
public:
    virtual ~Host() = default;
    // The board with the image loaded, or null: `error` says why (may be
    // empty when the host told it already) and `code` is the exit status.
    virtual std::unique_ptr<Board> launch(const Launch& launch, std::string& error, int& code) = 0;
    // What the host printed since the last look: status lines and errors.
    virtual std::string take_console() = 0;
    virtual std::string take_errors() = 0;
    // A message for the user on standard error, as the program's own.
    virtual void complain(const std::string& message) = 0;
};

}  // namespace dap
