// What every command sees, and the table entry that makes a command known.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "options.h"

namespace qcli {

// Exit codes scripts rely on.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,          // refused by the library, or a file could not be read or written
    kExitUsage = 2,           // bad command line
    kExitMismatch = 3,        // the board's RAM differs from the image
    kExitNoBoard = 4,         // no board answers on the port
    kExitFirmwareFailed = 5,  // run: the firmware reported a failure
    kExitNoOutcome = 6,       // run: the budget or the time ran out without the result waited for
};

struct Context {
    const Options& options;
    std::ostream& out;  // results
    std::ostream& err;  // messages, always prefixed with the program's name
    // Set when the image goes to standard output: confirmations go to err then.
    bool image_on_stdout = false;

    // Status lines that confirm success; -q silences them, results stay.
    std::ostream& info();
    // The one way a command fails: "quillon-cli: <message>" on err, and the exit code.
    int fail(std::string_view message, int code = kExitFailed);
    // Reports the library's last-error text as it stands.
    int library_failure();
    // Lets the board run again after a transfer, unless --no-reset.
    void finish_transfer();
};

// Whether a command reaches the board: those that do are refused up front when
// the port-access layer has no back end for the port, since a transfer there
// would run to its end on a data input that reads high and look like success.
enum class BoardUse { none, always, with_board_option };

struct Command {
    std::string_view name;
    // Its arguments for the usage line, e.g. "SIZE FILE". The options it takes
    // are added from the option table, unless named here already.
    std::string_view arguments;
    std::string_view summary;
    std::size_t min_args;
    std::size_t max_args;
    int (*run)(Context&);
    BoardUse board = BoardUse::none;
};

std::span<const Command> commands();
const Command* find_command(std::string_view name);

// "upload FILE [--format F] [--fill N] [--no-verify] [--no-reset]"
std::string usage_line(const Command& command);

// "quillon-cli: <message>" on err; returns code.
int fail(std::ostream& err, std::string_view message, int code);

inline constexpr std::string_view kProgramName = "quillon-cli";

}  // namespace qcli
