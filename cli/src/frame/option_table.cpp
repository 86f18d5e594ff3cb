// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Every option of quillon-cli, one row each: parsing, the usage lines, the help
// and the bash completion all come from here. A new option is an id in
// options.h, a row here, its id in the rows of the commands that take it
// (command_table.cpp) and, when it carries a value, a field in Options. A row's
// text says what the option does; the whole help puts the names of the commands
// that take it in front, so the row names none.
#include <array>
#include <cmath>
#include <string>

#include "options.h"

namespace qcli {
namespace {

template <typename T>
void assign(std::optional<T>& field, auto value) {
    field = static_cast<T>(value);
}
template <typename T>
void assign(T& field, auto value) {
    field = static_cast<T>(value);
}

template <bool Options::*field>
bool flag(Options& o, std::string_view) {
    o.*field = true;
    return true;
}

template <auto field, unsigned long low, unsigned long high>
bool number(Options& o, std::string_view text) {
    const auto value = parse_number(text, low, high);
    if (value) {
        assign(o.*field, *value);
    }
    return value.has_value();
}

template <double Options::*field>
bool seconds(Options& o, std::string_view text) {
    const auto value = parse_seconds(text);
    if (value) {
        o.*field = *value;
    }
    return value.has_value();
}

template <std::string Options::*field>
bool text(Options& o, std::string_view value) {
    o.*field = value;
    return !value.empty();
}

// The board's 8051 runs 11059200 / 12 machine cycles a second.
bool sim_time(Options& o, std::string_view text) {
    const auto value = parse_seconds(text);
    const double cycles = value ? std::round(*value * (11059200.0 / 12)) : 0;
    if (cycles >= 1) {
        o.cycles = static_cast<std::uint64_t>(cycles);
    }
    return cycles >= 1;
}

bool source_dir(Options& o, std::string_view text) {
    o.source_dirs.emplace_back(text);
    return !text.empty();
}

bool port(Options& o, std::string_view text) {
    o.port_index = parse_port(text);
    return o.port_index.has_value();
}

bool format(Options& o, std::string_view text) {
    if (text == "raw") {
        o.format = ImageFormat::raw;
    } else if (text == "ihex") {
        o.format = ImageFormat::ihex;
    }
    return text == "raw" || text == "ihex";
}

constexpr std::array kOptions{
    OptionSpec{Option::port, "--port", "", "P", "{ports} (default: the program's setting)",
               "--port takes {port-choices}", port, "{port-words}"},
    OptionSpec{Option::delay, "--delay", "", "D",
               "signal delay 1..255 (default: the program's setting)",
               "--delay takes a number from 1 to 255", number<&Options::delay, 1, 255>},
    OptionSpec{Option::quiet, "--quiet", "-q", "",
               "no progress line and no confirmations; errors still show", "",
               flag<&Options::quiet>},
    OptionSpec{Option::format, "--format", "", "F",
               "raw or ihex; otherwise .hex/.ihx and the file's content decide",
               "--format takes raw or ihex", format, "raw ihex"},
    OptionSpec{Option::fill, "--fill", "", "N", "byte for the gaps of a HEX image (default 0xFF)",
               "--fill takes a byte value from 0 to 255 (or 0x00 to 0xFF)",
               number<&Options::fill, 0, 255>},
    OptionSpec{Option::no_verify, "--no-verify", "", "",
               "without comparing; reads back 16 bytes to see a board", "",
               flag<&Options::no_verify>},
    OptionSpec{Option::no_reset, "--no-reset", "", "",
               "leave the board held in reset after a transfer", "", flag<&Options::no_reset>},
    OptionSpec{Option::board, "--board", "", "", "SIZE bytes of the board's RAM instead of a file",
               "", flag<&Options::board>},
    OptionSpec{Option::hold, "--hold", "", "S", "seconds each line stays inverted (default 1)",
               "--hold takes a number of seconds from 0 to 3600", seconds<&Options::hold_seconds>},
    OptionSpec{Option::all, "--all", "", "", "step the write strobe too (it stores a byte in RAM)",
               "", flag<&Options::all>},
    OptionSpec{Option::for_seconds, "--for", "", "S",
               "wall-clock seconds before the board is taken back (default 2; with a budget, "
               "none)",
               "--for takes a number of seconds from 0 to 3600, not '{}'",
               seconds<&Options::run_seconds>},
    OptionSpec{Option::read, "--read", "", "N",
               "then download N bytes into OUTFILE (default: one byte, dropped)",
               "--read takes a size from 1 to 32768, not '{}'",
               number<&Options::read_size, 1, 0x8000>},
    OptionSpec{Option::size, "--size", "", "N", "bytes of the test pattern (default 256)",
               "--size takes a size from 1 to 32768, not '{}'",
               number<&Options::calibrate_size, 1, 0x8000>},
    OptionSpec{Option::rounds, "--rounds", "", "R",
               "rounds that must come back intact at one delay (default 3)",
               "--rounds takes a number from 1 to 1000, not '{}'",
               number<&Options::calibrate_rounds, 1, 1000>},
    OptionSpec{Option::save, "--save", "", "", "write the delay found into the program's profile",
               "", flag<&Options::save>},
    OptionSpec{Option::cycles, "--cycles", "", "N",
               "stop the simulated 8051 after N machine cycles (exit 6 if it gets "
               "there)",
               "--cycles takes a number of machine cycles from 1 to 10000000000, not '{}'",
               number<&Options::cycles, 1, 10'000'000'000UL>},
    OptionSpec{Option::sim_time, "--sim-time", "", "S",
               "the same budget in simulated seconds at 11.0592 MHz",
               "--sim-time takes a number of simulated seconds above 0, up to 3600, not '{}'",
               sim_time},
    OptionSpec{Option::until_uart, "--until-uart", "", "TEXT",
               "stop with exit 0 as the firmware sends the last byte of TEXT",
               "--until-uart takes a text that is not empty", text<&Options::until_uart>},
    OptionSpec{Option::fail_uart, "--fail-uart", "", "TEXT",
               "stop with exit 5 as the firmware sends the last byte of TEXT",
               "--fail-uart takes a text that is not empty", text<&Options::fail_uart>},
    OptionSpec{Option::uart_in, "--uart-in", "", "FILE",
               "feed FILE (- for standard input) to the 8051's UART as it reads",
               "--uart-in takes a file name, or - for standard input", text<&Options::uart_in>},
    OptionSpec{Option::batch, "--batch", "", "FILE",
               "read the commands from FILE (- for standard input), exit as run does",
               "--batch takes a file name, or - for standard input", text<&Options::batch>},
    OptionSpec{Option::fullname, "--fullname", "", "",
               "mark each stop as \\032\\032file:line for Emacs and other front ends", "",
               flag<&Options::fullname>},
    OptionSpec{Option::source_dir, "--source-dir", "", "DIR",
               "look for the C sources in DIR too (may be given again)",
               "--source-dir takes a folder", source_dir},
    OptionSpec{Option::dap, "--dap", "", "",
               "speak the Debug Adapter Protocol on standard input and output", "",
               flag<&Options::dap>},
    OptionSpec{Option::help, "--help", "-h", "", "this text", "", flag<&Options::help>},
    OptionSpec{Option::version, "--version", "-V", "", "program and library versions", "",
               flag<&Options::version>},
};

// Row i is option i, so an id finds its row without a search.
constexpr bool rows_in_id_order() {
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        if (kOptions[i].id != static_cast<Option>(i)) {
            return false;
        }
    }
    return kOptions.size() == kOptionCount;
}
static_assert(rows_in_id_order(), "one row per Option, in the order of its ids");

}  // namespace

std::span<const OptionSpec> option_table() {
    return kOptions;
}

}  // namespace qcli
