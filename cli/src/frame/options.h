/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The command line: global settings, the command's name, its arguments and
// options. Every option is one id below and one row of the option table
// (option_table.cpp): its names, its value, its help line, where it goes. The
// commands that take it list its id in the command table (command_table.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qcli {

enum class ImageFormat { raw, ihex };

// Every option, in the order of the option table and of the help.
enum class Option : std::uint8_t {
    port,
    delay,
    quiet,
    format,
    fill,
    no_verify,
    no_reset,
    board,
    hold,
    all,
    for_seconds,
    read,
    size,
    rounds,
    save,
    cycles,
    sim_time,
    until_uart,
    fail_uart,
    uart_in,
    batch,
    fullname,
    source_dir,
    dap,
    help,
    version,
};
inline constexpr std::size_t kOptionCount = static_cast<std::size_t>(Option::version) + 1;

// A set of options, made at compile time.
class OptionSet {
public:
    constexpr OptionSet() = default;
    constexpr OptionSet(std::initializer_list<Option> options) {
        for (const Option option : options) {
            bits_ |= bit(option);
        }
    }
    constexpr bool contains(Option option) const { return (bits_ & bit(option)) != 0; }
    constexpr OptionSet operator|(OptionSet other) const { return OptionSet(bits_ | other.bits_); }
    constexpr OptionSet operator&(OptionSet other) const { return OptionSet(bits_ & other.bits_); }
    constexpr bool operator==(const OptionSet&) const = default;
    constexpr bool empty() const { return bits_ == 0; }

    static constexpr OptionSet all() { return OptionSet((std::uint32_t{1} << kOptionCount) - 1); }

private:
    constexpr explicit OptionSet(std::uint32_t bits) : bits_(bits) {}
    static constexpr std::uint32_t bit(Option option) {
        return std::uint32_t{1} << static_cast<unsigned>(option);
    }
    std::uint32_t bits_ = 0;
};
static_assert(kOptionCount <= 32, "an OptionSet holds 32 options");

// The options every command takes; every other one belongs to the commands
// that list it.
inline constexpr OptionSet kGlobalOptions{Option::port, Option::delay, Option::quiet, Option::help,
                                          Option::version};

struct Options {
    std::optional<std::uint8_t> port_index;  // 0, 1, 2 as the library numbers the ports
    std::optional<std::uint8_t> delay;       // 1..255
    bool quiet = false;
    bool help = false;
    bool version = false;

    bool no_verify = false;
    bool no_reset = false;
    bool board = false;
    bool all = false;
    std::optional<ImageFormat> format;
    std::uint8_t fill = 0xFF;
    double hold_seconds = 1.0;
    double run_seconds = 2.0;
    std::optional<std::uint16_t> read_size;
    std::uint16_t calibrate_size = 256;  // calibrate: test pattern bytes
    unsigned calibrate_rounds = 3;       // calibrate: intact rounds needed at one delay
    bool save = false;                   // calibrate: keep the delay in the profile
    std::uint64_t cycles = 0;            // run: the budget in machine cycles, 0 for none
    std::string until_uart;              // run: ends with success when the UART prints it
    std::string fail_uart;               // run: ends with failure when the UART prints it
    std::string uart_in;    // run: file for the UART's receive side, "-" for standard input
    std::string batch;      // debug: the file of commands, "-" for standard input
    bool fullname = false;  // debug: gdb's file:line markers for editors
    std::vector<std::string> source_dirs;  // debug: where else the sources are
    bool dap = false;                      // debug: the Debug Adapter Protocol on stdin/stdout

    // Options that only some commands take, in command-line order.
    std::vector<Option> given;
    bool gave(Option option) const;

    std::string command;
    std::vector<std::string> args;
};

struct OptionSpec {
    Option id;
    std::string_view name;        // "--port"
    std::string_view short_name;  // "-q", or empty
    std::string_view value;       // what the value is called in the help ("P"); empty for a flag
    std::string_view help;
    // The message for a bad value; "{}" stands for the value. {ports} and
    // {port-choices} stand for the port list, in help and message alike.
    std::string_view bad;
    // Stores the value (empty for a flag); false when it is not one this option takes.
    bool (*set)(Options&, std::string_view value);
    // The words bash completion offers for the value, "{port-words}" for the
    // port list; none for a FILE, which completes as a file name.
    std::string_view choices = {};
};

std::span<const OptionSpec> option_table();
const OptionSpec& option_spec(Option id);

// The text of a table entry with its placeholders filled in.
std::string expand(std::string_view text, std::string_view value = {});

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is well formed

    bool ok() const { return error.empty(); }
};

// Options may stand before or after the command; "--" ends them. Values go as
// "--port 1" or "--port=1". Which command takes which option is the caller's
// to check, through Options::given.
ParseResult parse_options(const std::vector<std::string>& argv,
                          std::span<const OptionSpec> table = option_table());

// "0", "1", "2" or a base address "0x278", "0x378", "0x3BC" (any case).
std::optional<std::uint8_t> parse_port(std::string_view text);
// A decimal or 0x-prefixed number within [low, high].
std::optional<unsigned long> parse_number(std::string_view text, unsigned long low,
                                          unsigned long high);
// Seconds as a decimal number, with fraction and exponent, from 0 to 3600.
// Hexadecimal and values too small or too large to hold are refused.
std::optional<double> parse_seconds(std::string_view text);

}  // namespace qcli
