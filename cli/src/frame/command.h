/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// What every command sees, and the table entry that makes a command known.
#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "options.h"

namespace qcli {

// Exit codes scripts rely on, numbered from 0 in this order; the help explains
// each one as kExitMeanings says.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed,
    kExitUsage,
    kExitMismatch,
    kExitNoBoard,
    kExitFirmwareFailed,
    kExitNoOutcome,
};

struct ExitMeaning {
    ExitCode code;
    std::string_view meaning;
};

inline constexpr std::array kExitMeanings{
    ExitMeaning{kExitOk, "success"},
    ExitMeaning{kExitFailed, "refused by the library or a file error"},
    ExitMeaning{kExitUsage, "usage"},
    ExitMeaning{kExitMismatch, "the board's RAM differs from the image"},
    ExitMeaning{kExitNoBoard, "no board answers"},
    ExitMeaning{kExitFirmwareFailed, "run: the firmware reported a failure"},
    ExitMeaning{kExitNoOutcome,
                "run: the budget or the time ran out without the result waited for"},
};
static_assert(
    [] {
        for (std::size_t i = 0; i < kExitMeanings.size(); ++i) {
            if (kExitMeanings[i].code != static_cast<int>(i)) {
                return false;
            }
        }
        return true;
    }(),
    "one meaning per exit code, in the order of the codes");

struct Context {
    const Options& options;
    std::ostream& out;  // results
    std::ostream& err;  // messages, always prefixed with the program's name
    // Set when the image goes to standard output: confirmations go to err then.
    bool image_on_stdout = false;
    // Standard output was closed when the program started: results written to
    // `out` count as lost, and status lines have nowhere to go.
    bool out_closed = false;

    // Status lines that confirm success; -q silences them, results stay.
    std::ostream& info();
    // The one way a command fails: "quillon-cli: <message>" on err, and the exit code.
    int fail(std::string_view message, int code = kExitFailed);
    // Reports the library's last-error text as it stands.
    int library_failure();
    // Lets the board run again after a transfer, unless --no-reset.
    void finish_transfer();
    // After a transfer: kExitOk, or exit 4 with the system's reason when a
    // port access failed since the port was opened; its bytes are worthless.
    int check_port();
    // Set once check_port has told a failure.
    bool port_failure_told = false;
};

// Whether a command reaches the board: those that do are refused up front when
// the port-access layer has no back end for the port, since a transfer there
// would run to its end on a data input that reads high and look like success.
enum class BoardUse { none, always, with_board_option };

struct Command {
    std::string_view name;
    // Its arguments for the usage line, e.g. "SIZE FILE". The options it takes
    // follow in the order of the option table, unless named here already.
    std::string_view arguments = {};
    std::string_view summary;
    std::size_t min_args;
    std::size_t max_args;
    int (*run)(Context&);
    BoardUse board = BoardUse::none;
    // The options it takes besides kGlobalOptions.
    OptionSet options = {};
    // Which arguments name files, argument i as bit i: bash completion offers
    // file names there (none with --board for a command that takes it).
    unsigned file_arguments = 0;
    // Its arguments name commands: bash completion offers the command names there.
    bool command_arguments = false;
    // A paragraph of the help about it, or empty.
    std::string_view notes = {};
    // A command line that shows it at work, without the program's name: its
    // own help and its entry in the manual page show it.
    std::string_view example = {};
};

// max_args of a command that takes any number of arguments.
inline constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

std::span<const Command> commands();
const Command* find_command(std::string_view name);

// "upload FILE [--format F] [--fill N] [--no-verify] [--no-reset]"
std::string usage_line(const Command& command);

// "quillon-cli: <message>" on err; returns code.
int fail(std::ostream& err, std::string_view message, int code);

inline constexpr std::string_view kProgramName = "quillon-cli";

// Why results that belong on standard output are lost when it was closed.
inline constexpr std::string_view kStdoutClosed = "cannot write to standard output: it is closed";

}  // namespace qcli
