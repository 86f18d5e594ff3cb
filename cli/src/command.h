// What every command sees, and the table entry that makes a command known.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string_view>

#include "options.h"

namespace qcli {

// Exit codes scripts rely on.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,    // refused by the library, or a file could not be read or written
    kExitUsage = 2,     // bad command line
    kExitMismatch = 3,  // the board's RAM differs from the image
    kExitNoBoard = 4,   // no board answers on the port
};

struct Context {
    const Options& options;
    std::ostream& out;  // results
    std::ostream& err;  // messages, always prefixed with the program's name

    // Status lines that confirm success; -q silences them, results stay.
    std::ostream& info();
    // Prints "quillon-cli: <message>" on err and returns kExitFailed.
    int fail(std::string_view message);
    // Reports the library's last-error text as it stands.
    int library_failure();
    // Lets the board run again after a transfer, unless --no-reset.
    void finish_transfer();
};

struct Command {
    std::string_view name;
    std::string_view arguments;  // for the usage text, e.g. "FILE [--no-verify] [--no-reset]"
    std::string_view summary;
    unsigned accepted_flags;  // OptionFlag bits
    std::size_t min_args;
    std::size_t max_args;
    int (*run)(Context&);
    // Options only this command takes; they land in Options::extra.
    std::span<const ExtraOption> extra_options = {};
};

std::span<const Command> commands();
const Command* find_command(std::string_view name);

inline constexpr std::string_view kProgramName = "quillon-cli";

}  // namespace qcli
