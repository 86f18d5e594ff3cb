/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The simulated 8051's UART output copied to the terminal as it comes.
#pragma once

#include <firmware_run.h>

#include <ostream>
#include <string>

namespace qcli {

// Copies the UART output as it comes, and remembers whether any came and
// whether it ended inside a line.
class UartEcho {
public:
    explicit UartEcho(board_query::RunOutput& output) : output_(output) {}

    // Copies what came since the last call; returns it.
    std::string copy_new(std::ostream& out);

    bool seen() const { return seen_; }
    // True when the output so far ends inside a line: what follows must start a new one.
    bool line_open() const { return line_open_; }
    // Ends an open line, so that our own text starts on a line of its own.
    void close_line(std::ostream& out);

private:
    board_query::RunOutput& output_;
    bool seen_ = false;
    bool line_open_ = false;
};

}  // namespace qcli
