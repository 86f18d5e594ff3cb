// Every option of quillon-cli, one row each: parsing, the check of which
// command takes it, the usage lines and the help all come from here. A new
// option is a row here and, when it carries a value, a field in Options.
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
    OptionSpec{"--port", "", "P", "", "{ports} (default: the program's setting)",
               "--port takes {port-choices}", port},
    OptionSpec{"--delay", "", "D", "", "signal delay 1..255 (default: the program's setting)",
               "--delay takes a number from 1 to 255", number<&Options::delay, 1, 255>},
    OptionSpec{"--quiet", "-q", "", "", "no progress line and no confirmations; errors still show",
               "", flag<&Options::quiet>},
    OptionSpec{"--format", "", "F", "upload verify checksum dump run download",
               "raw or ihex; otherwise .hex/.ihx and the file's content decide",
               "--format takes raw or ihex", format},
    OptionSpec{"--fill", "", "N", "upload verify checksum dump run",
               "byte for the gaps of a HEX image (default 0xFF)",
               "--fill takes a byte value from 0 to 255 (or 0x00 to 0xFF)",
               number<&Options::fill, 0, 255>},
    OptionSpec{"--no-verify", "", "", "upload", "upload without reading the image back", "",
               flag<&Options::no_verify>},
    OptionSpec{"--no-reset", "", "", "upload download verify dump probe",
               "leave the board held in reset after a transfer", "", flag<&Options::no_reset>},
    OptionSpec{"--board", "", "", "dump", "dump: SIZE bytes of the board's RAM instead of a file",
               "", flag<&Options::board>},
    OptionSpec{"--hold", "", "S", "linetest",
               "linetest: seconds each line stays inverted (default 1)",
               "--hold takes a number of seconds from 0 to 3600", seconds<&Options::hold_seconds>},
    OptionSpec{"--all", "", "", "linetest",
               "linetest: step the write strobe too (it stores a byte in RAM)", "",
               flag<&Options::all>},
    OptionSpec{"--for", "", "S", "run",
               "run: wall-clock seconds before the board is taken back (default 2; with a budget, "
               "none)",
               "--for takes a number of seconds from 0 to 3600, not '{}'",
               seconds<&Options::run_seconds>},
    OptionSpec{"--read", "", "N", "run",
               "run: then download N bytes into OUTFILE (default: one byte, dropped)",
               "--read takes a size from 1 to 32768, not '{}'",
               number<&Options::read_size, 1, 0x8000>},
    OptionSpec{"--size", "", "N", "calibrate", "calibrate: bytes of the test pattern (default 256)",
               "--size takes a size from 1 to 32768, not '{}'",
               number<&Options::calibrate_size, 1, 0x8000>},
    OptionSpec{"--rounds", "", "R", "calibrate",
               "calibrate: rounds that must come back intact at one delay (default 3)",
               "--rounds takes a number from 1 to 1000, not '{}'",
               number<&Options::calibrate_rounds, 1, 1000>},
    OptionSpec{"--save", "", "", "calibrate",
               "calibrate: write the delay found into the program's profile", "",
               flag<&Options::save>},
    OptionSpec{"--cycles", "", "N", "run",
               "run: stop the simulated 8051 after N machine cycles (exit 6 if it gets there)",
               "--cycles takes a number of machine cycles from 1 to 10000000000, not '{}'",
               number<&Options::cycles, 1, 10'000'000'000UL>},
    OptionSpec{
        "--sim-time", "", "S", "run", "run: the same budget in simulated seconds at 11.0592 MHz",
        "--sim-time takes a number of simulated seconds above 0, up to 3600, not '{}'", sim_time},
    OptionSpec{"--until-uart", "", "TEXT", "run",
               "run: stop with exit 0 when the UART output shows TEXT",
               "--until-uart takes a text that is not empty", text<&Options::until_uart>},
    OptionSpec{"--fail-uart", "", "TEXT", "run",
               "run: stop with exit 5 when the UART output shows TEXT",
               "--fail-uart takes a text that is not empty", text<&Options::fail_uart>},
    OptionSpec{"--uart-in", "", "FILE", "run",
               "run: feed FILE (- for standard input) to the 8051's UART at its baud rate",
               "--uart-in takes a file name, or - for standard input", text<&Options::uart_in>},
    OptionSpec{"--help", "-h", "", "", "this text", "", flag<&Options::help>},
    OptionSpec{"--version", "-V", "", "", "program and library versions", "",
               flag<&Options::version>},
};

}  // namespace

std::span<const OptionSpec> option_table() {
    return kOptions;
}

}  // namespace qcli
