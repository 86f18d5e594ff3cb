/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// What the board says to s51 on its console: the set-up of a run, the
// questions asked when the 8051 stops, breakpoints and memory commands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ram_image.h"

namespace sim {

// Von Neumann wiring: the firmware's external data memory is the same 32 KB
// that holds its code.
inline constexpr std::string_view kMapDataOntoCode =
    "memory create addressdecoder xram 0 0x7fff rom_chip 0";
// Every cycle, not now and then: bytes then arrive at the baud rate the
// firmware set, in simulated time.
inline constexpr std::string_view kUartInputEveryCycle = "expression uart0_check_often=1";
// The receiver takes the next byte of the input only once the firmware has
// read the last one from SBUF: a file's bytes wait for a slow reader instead
// of overrunning it.
inline constexpr std::string_view kUartInputPaced = "expression uart0_flowctrl=1";
// The UART's transmit register: a write is the firmware sending a byte.
inline constexpr unsigned kSbuf = 0x99;

// The answer that closes the questions of a stop.
inline constexpr std::string_view kStopAnswered = "7340031";
// What a paused 8051 is like: its clocks, internal RAM and special function
// registers, in this order.
inline constexpr std::string_view kSnapshot = "state;dump /i iram 0x0 0x7f;dump /i sfr 0x80 0xff";

// A command string of ';'-separated commands as console lines.
std::vector<std::string> as_lines(std::string_view commands);

// The budget as a value-change file the simulator replays: its one event, half
// a machine cycle before the budget's end, sets the variable the budget's
// breakpoint watches at the first instruction boundary at or past it.
std::string budget_events(std::uint64_t cycles);

// The set-up lines of a run: the memory map, the board's RAM (the fill, then
// the image of the rest, then a look at its holes to learn how the simulator
// counts them), the breakpoints that end it (the firmware's exit, the budget
// when `events` names its file) with the questions of `after_stop` (a file)
// attached, so the simulator answers as it stops and never idles first.
// With `watch_sent`, every write to SBUF stops it too, telling the byte.
std::vector<std::string> run_setup(const RamLayout& layout, const std::string& image,
                                   const std::string& after_stop, const std::string& events,
                                   bool watch_sent = false);

// The questions of a stop, for their file: the clocks, the special function
// registers, the holes of the fill, the kept ranges, then kStopAnswered.
std::string after_stop_script(const RamLayout& layout);

// "exec \"file\"".
std::string exec_command(const std::string& file);

// "dump /i rom A B" for each range.
std::vector<std::string> dump_commands(const std::vector<Range>& ranges);

// A breakpoint that pauses at `address`, with kSnapshot attached.
std::vector<std::string> pause_at(unsigned address);

// "dump /i xram 0x1000 0x1003"; empty for an unknown space or an empty range.
std::string dump_command(int space, unsigned address, unsigned size);
// "set memory xram 0x1000 0x01 0x02".
std::string set_command(int space, unsigned address, std::span<const std::uint8_t> bytes);

// Lines for the console in one piece. The simulator reads its console 99 bytes
// at a time and takes a line cut by that boundary as two, and pauses before
// the second: a line that would cross it starts on it instead, the line before
// padded with blanks.
std::string console_script(const std::vector<std::string>& lines);

// Words ucsim's strings take as they stand: no quote or backslash to escape.
bool plain_path(const std::string& path);

}  // namespace sim
