/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Which board a port reaches, and if none, why: the programs' one question to
// the port-access layer, with the port's own lines for a wiring check and the
// trace to write out when a signal ends the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace board_query {

enum class Reach { none, simulated, port };

struct Board {
    Reach reach = Reach::none;
    // What serves the port ("ppdev /dev/parport0"), or why no board can be
    // reached there and what to do.
    std::string text;
    // The I/O address really driven: where DLPORTIO_BASE or DLPORTIO_DEVICE
    // takes the port on a real one, otherwise the port's own.
    unsigned long address = 0;
};

// Sets the back end for this port up the first time (which may open and claim
// a device) and tells what it reaches.
Board board_at(std::uint16_t base);

// A short name of what serves the port, "none: <why>" when nothing does.
std::string access_name(std::uint16_t base);

// quiet: the layer prints nothing on standard error; the program tells.
void set_quiet(bool quiet);
bool quiet();
// The program's standard output ends inside a line: the layer's next line
// on standard error starts a new one.
void set_line_open(bool open);

// Writes out the trace of port accesses (DLPORTIO_TRACE) as far as it went,
// for a program that a signal ends now; safe in a signal handler.
void flush_trace() noexcept;

// One byte to the data register, one from the status register, by address.
void write_port(unsigned long port, unsigned char value);
unsigned char read_port(unsigned long port);
// The data register read back (on most ports the levels on its pins), or
// nothing where the port can't read it back.
std::optional<unsigned char> read_data_lines(unsigned long port);

// Port accesses that failed since the port's back end was opened: a device
// that went away in the middle of a transfer (ENODEV, EIO). The bytes of a
// transfer during which the count grew are worthless.
struct AccessFailures {
    unsigned long count = 0;
    int last_error = 0;  // errno of the last one
};
AccessFailures failed_accesses(std::uint16_t base);

// Null while no more than `before` accesses have failed at the port; then
// what the programs say instead of the transfer's result, with the system's
// reason: "the port stopped answering: No such device".
std::optional<std::string> failure_since(std::uint16_t base, unsigned long before = 0);

}  // namespace board_query
