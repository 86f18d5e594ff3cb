#include "cli.h"

#include <dlportio.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "command.h"
#include "options.h"
#include "profile/config_folder.h"
#include "profile/settings.h"
#include "progress.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "unknown"
#endif

namespace qcli {
namespace {

int usage_error(std::ostream& err, const std::string& message) {
    fail(err, message, kExitUsage);
    err << "Try '" << kProgramName << " --help' for more information.\n";
    return kExitUsage;
}

// The program's saved port and delay first, the command line over them.
void apply_settings(const Options& options) {
    const quillon::profile::Settings profile =
        quillon::profile::read_settings(quillon::profile::settings_path());
    set_Port(options.port_index.value_or(profile.port_index));
    // A stored delay of 0 is refused and the library keeps its own, as in the program.
    set_delay(options.delay.value_or(profile.delay));
}

// Null when the port-access layer can reach a board at the port in force;
// otherwise the refusal, with the layer's reason and what to do.
std::optional<std::string> unreachable_board() {
    const std::uint16_t base = set_Port(vandrel::board::kPortQuery);
    const char* reason = nullptr;
    if (dlportio_setup(base, &reason) != DLPORTIO_NO_BOARD) {
        return std::nullopt;
    }
    std::array<char, 48> head{};
    std::snprintf(head.data(), head.size(), "no board can be reached at 0x%X: ", unsigned{base});
    return head.data() + std::string(reason != nullptr ? reason : "no back end");
}

}  // namespace

void print_usage(std::ostream& out) {
    out << "Usage: " << kProgramName << " [--port P] [--delay D] [-q] COMMAND [ARGS]\n"
        << "Moves memory images between this PC and the RAM of a vandrel board on the\n"
        << "parallel port.\n\nCommands:\n";
    for (const Command& command : commands()) {
        out << "  " << usage_line(command) << "\n      " << command.summary << '\n';
    }
    out << "\nOptions:\n";
    constexpr std::size_t kHelpColumn = 17;
    for (const OptionSpec& option : option_table()) {
        std::string names = "  ";
        names += option.short_name.empty() ? "" : std::string(option.short_name) + ", ";
        names += option.name;
        names += option.value.empty() ? "" : " " + std::string(option.value);
        names.resize(std::max(names.size() + 1, kHelpColumn), ' ');
        out << names << expand(option.help) << '\n';
    }
    out << R"(
HEX files: record types 00 and 01, with 02 and 04 while every address stays
below 0x8000; the image runs contiguously from address 0 to its highest byte.
download writes HEX when FILE ends in .hex or .ihx.

FILE may be '-' for standard input, and download's FILE '-' for standard
output. download replaces a regular file only once the new one is on the disk.

probe works on address 0, the only one a one-byte transfer reaches, and never
changes RAM it can't put back: it reads the byte twice, and when it is 00 or
FF addresses 0 to 255 twice as well; unless the reads agree and show both a 0
and a 1 bit, it writes nothing and exits 4. Then it writes the complement,
reads it back, writes the original back and reads that again.

The defaults for --port and --delay come from the program's profile,
$XDG_CONFIG_HOME/quillon.INI (~/.config/quillon.INI); without it they are
0x378 and 10. Only calibrate --save writes to it, its Delay line alone.

calibrate sends a test pattern of --size bytes and reads it back --rounds
times at delays 1, 2, 3 and so on; the first delay at which every round comes
back intact is printed last, as "delay D". It overwrites the start of the
board's RAM without asking, and leaves the board held in reset.

Exit status: 0 success, 1 refused by the library or a file error, 2 usage,
3 the board's RAM differs from the image, 4 no board answers, 5 run: the
firmware reported a failure, 6 run: the budget or the time ran out without
the result waited for.
)";
}

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParseResult parsed = parse_options(args);
    if (!parsed.ok()) {
        return usage_error(err, parsed.error);
    }
    const Options& options = parsed.options;
    if (options.help) {
        print_usage(out);
        return kExitOk;
    }
    if (options.version) {
        out << kProgramName << " " << QUILLON_VERSION << " (libvandrel " << get_version() << ")\n";
        return kExitOk;
    }
    if (options.command.empty()) {
        return usage_error(err, "no command given");
    }
    const Command* command = find_command(options.command);
    if (command == nullptr) {
        return usage_error(err, "unknown command '" + options.command + "'");
    }
    for (const OptionSpec* option : options.given) {
        if (!option->taken_by(command->name)) {
            return usage_error(
                err, std::string(option->name) + " does not go with " + std::string(command->name));
        }
    }
    if (options.args.size() < command->min_args) {
        return usage_error(err, "usage: " + std::string(kProgramName) + " " + usage_line(*command));
    }
    if (options.args.size() > command->max_args) {
        return usage_error(err, "too many arguments for " + std::string(command->name) + ": '" +
                                    options.args[command->max_args] + "'");
    }

    // The layer names its back end on standard error; quiet leaves that to failures,
    // which this program reports itself.
    dlportio_quiet(options.quiet ? 1 : 0);
    apply_settings(options);
    const bool uses_board = command->board == BoardUse::always ||
                            (command->board == BoardUse::with_board_option && options.board);
    if (uses_board) {
        if (const auto refusal = unreachable_board()) {
            return fail(err, *refusal, kExitNoBoard);
        }
    }
    progress_install(options.quiet);
    Context ctx{options, out, err};
    return command->run(ctx);
}

}  // namespace qcli
