// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The commands quillon-cli knows: adding one is a file with its run function
// (commands/cmd_<name>.cpp) and one row here, which lists the options it takes.
#include <algorithm>
#include <array>

#include "command.h"

namespace qcli {

int run_upload(Context&);
int run_download(Context&);
int run_verify(Context&);
int run_checksum(Context&);
int run_dump(Context&);
int run_reset(Context&);
int run_probe(Context&);
int run_linetest(Context&);
int run_info(Context&);
int run_run(Context&);
int run_calibrate(Context&);
int run_debug(Context&);
int run_help(Context&);

namespace {

constexpr BoardUse kBoard = BoardUse::always;
using O = Option;

constexpr std::array kCommands{
    Command{.name = "upload",
            .arguments = "FILE",
            .summary = "load FILE, upload it, read it back and compare, reset the board",
            .min_args = 1,
            .max_args = 1,
            .run = run_upload,
            .board = kBoard,
            .options = {O::format, O::fill, O::no_verify, O::no_reset},
            .file_arguments = 0b1,
            .example = "upload firmware.ihx"},
    Command{.name = "download",
            .arguments = "SIZE FILE",
            .summary = "download SIZE bytes (1..32768) from address 0 and save them",
            .min_args = 2,
            .max_args = 2,
            .run = run_download,
            .board = kBoard,
            .options = {O::format, O::no_reset},
            .file_arguments = 0b10,
            .example = "download 4096 ram.bin"},
    Command{.name = "verify",
            .arguments = "FILE",
            .summary = "download as many bytes as FILE holds and compare",
            .min_args = 1,
            .max_args = 1,
            .run = run_verify,
            .board = kBoard,
            .options = {O::format, O::fill, O::no_reset},
            .file_arguments = 0b1,
            .example = "verify firmware.ihx"},
    Command{.name = "checksum",
            .arguments = "FILE",
            .summary = "print size and image checksum as the program shows them",
            .min_args = 1,
            .max_args = 1,
            .run = run_checksum,
            .options = {O::format, O::fill},
            .file_arguments = 0b1,
            .example = "checksum firmware.ihx"},
    Command{.name = "dump",
            .arguments = "FILE | dump --board SIZE",
            .summary = "hexadecimal and character dump, 16 bytes a line",
            .min_args = 1,
            .max_args = 1,
            .run = run_dump,
            .board = BoardUse::with_board_option,
            .options = {O::format, O::fill, O::no_reset, O::board},
            .file_arguments = 0b1,
            .example = "dump --board 64"},
    Command{.name = "reset",
            .summary = "pulse the board's reset line",
            .min_args = 0,
            .max_args = 0,
            .run = run_reset,
            .board = kBoard,
            .example = "reset"},
    Command{.name = "probe",
            .summary = "tell whether a board answers",
            .min_args = 0,
            .max_args = 0,
            .run = run_probe,
            .board = kBoard,
            .options = {O::no_reset},
            .notes = R"(probe works on address 0, the only one a one-byte transfer reaches: it reads
the byte twice, and when it is 00 or FF addresses 0 to 255 twice as well;
unless the reads agree and show both a 0 and a 1 bit, it writes nothing and
exits 4. Then it writes the complement and reads it back; only when that
shows the complement does it write the original back and read that again.
Otherwise it writes nothing more and exits 4: address 0 holds its byte still
when the original read back, and may hold the complement when anything else
did.)",
            .example = "probe"},
    Command{.name = "linetest",
            .summary = "step each data line for wiring checks",
            .min_args = 0,
            .max_args = 0,
            .run = run_linetest,
            .board = kBoard,
            .options = {O::hold, O::all},
            .example = "linetest --hold 5"},
    Command{.name = "info",
            .summary = "library version, port address, delay, port-access back end",
            .min_args = 0,
            .max_args = 0,
            .run = run_info,
            .example = "info"},
    Command{.name = "run",
            .arguments = "FILE [--read N OUTFILE]",
            .summary =
                "upload FILE, let the 8051 run it showing its UART output, show the ports and the "
                "firmware's result",
            .min_args = 1,
            .max_args = 2,
            .run = run_run,
            .board = kBoard,
            .options = {O::format, O::fill, O::for_seconds, O::read, O::cycles, O::sim_time,
                        O::until_uart, O::fail_uart, O::uart_in},
            .file_arguments = 0b11,
            .example = "run firmware.ihx --read 0x4100 after.bin"},
    Command{
        .name = "debug",
        .arguments = "IMAGE",
        .summary = "upload IMAGE and debug its C source on the simulated 8051 with gdb's commands",
        .min_args = 0,
        .max_args = 1,
        .run = run_debug,
        .options = {O::format, O::fill, O::for_seconds, O::cycles, O::sim_time, O::uart_in,
                    O::batch, O::fullname, O::source_dir, O::dap},
        .file_arguments = 0b1,
        .notes = R"(debug reads IMAGE.cdb beside IMAGE for the C lines and variables, and the
sources beside it or in --source-dir. Commands: break (b), tbreak, delete (d),
info breakpoints|registers|locals|ports, run (r), continue (c), next (n),
step (s), finish, print (p), set var, backtrace (bt), list, quit (q). The
firmware's result ends the session with the exit status run gives; --batch
FILE reads the commands from FILE and, without a budget, ends a run that goes
on for --for seconds (default 2) with exit 6.)",
        .example = "debug firmware.ihx --batch session.gdb --cycles 2000000"},
    Command{.name = "calibrate",
            .summary = "find the smallest delay at which a test pattern comes back intact",
            .min_args = 0,
            .max_args = 0,
            .run = run_calibrate,
            .board = kBoard,
            .options = {O::size, O::rounds, O::save},
            .notes = R"(calibrate sends a test pattern of --size bytes and reads it back --rounds
times at delays 1, 2, 3 and so on; the first delay at which every round comes
back intact is printed last, as "delay D". It overwrites the start of the
board's RAM without asking, and leaves the board held in reset.)",
            .example = "calibrate --save"},
    Command{.name = "help",
            .arguments = "[COMMAND...]",
            .summary = "this text, or each command's own: its usage, options and an example",
            .min_args = 0,
            .max_args = kAnyNumber,
            .run = run_help,
            .command_arguments = true,
            .example = "help upload"},
};

// Every option is global or taken by some command, never both.
constexpr bool options_belong_once() {
    OptionSet taken;
    for (const Command& command : kCommands) {
        if (!(command.options & kGlobalOptions).empty()) {
            return false;
        }
        taken = taken | command.options;
    }
    return (taken | kGlobalOptions) == OptionSet::all();
}
static_assert(options_belong_once(), "an option no command takes, or a global one listed");

static_assert(std::ranges::none_of(kCommands, [](const Command& c) { return c.example.empty(); }),
              "every command shows an example in its help");

}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

const Command* find_command(std::string_view name) {
    const auto command = std::ranges::find(kCommands, name, &Command::name);
    return command != kCommands.end() ? &*command : nullptr;
}

std::string usage_line(const Command& command) {
    std::string line(command.name);
    if (!command.arguments.empty()) {
        line += ' ';
        line += command.arguments;
    }
    for (const OptionSpec& option : option_table()) {
        if (!command.options.contains(option.id) ||
            command.arguments.find(option.name) != std::string_view::npos) {
            continue;
        }
        line += " [";
        line += option.name;
        if (!option.value.empty()) {
            line += ' ';
            line += option.value;
        }
        line += ']';
    }
    return line;
}

}  // namespace qcli
