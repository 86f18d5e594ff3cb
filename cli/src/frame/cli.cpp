// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli's one entry: the command line parsed, the command found and run.
#include "cli.h"

#include <board_query.h>
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

int usage_error(std::ostream& err, const std::string& message) {
    fail(err, message, kExitUsage);
    err << "Try '" << kProgramName << " --help' for more information.\n";
    return kExitUsage;
}

namespace {

// The help's lines stay within this many columns, as a terminal shows them.
constexpr std::size_t kHelpWidth = 79;

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
    const board_query::Board board = board_query::board_at(base);
    if (board.reach != board_query::Reach::none) {
        return std::nullopt;
    }
    std::array<char, 48> head{};
    std::snprintf(head.data(), head.size(), "no board can be reached at 0x%lX: ", board.address);
    return head.data() + (board.text.empty() ? std::string("no back end") : board.text);
}

// The next word of the text, a number together with the word after it.
std::string_view next_word(std::string_view text) {
    const std::size_t end = text.find(' ');
    const bool number =
        end != std::string_view::npos && text.find_first_not_of("0123456789") == end;
    return text.substr(0, number ? text.find(' ', end + 1) : end);
}

// Fills lines of at most `width` characters with the words of the text; the
// lines after the first start with `indent` blanks, the first at column `start`.
std::string wrapped(std::string_view text, std::size_t width = 76, std::size_t indent = 0,
                    std::size_t start = 0) {
    std::string out;
    std::size_t line = start;
    bool first = true;
    while (!text.empty()) {
        const std::string_view word = next_word(text);
        text.remove_prefix(std::min(text.size(), word.size() + 1));
        if (!first && line + 1 + word.size() > width) {
            out += '\n' + std::string(indent, ' ');
            line = indent;
        } else if (!first) {
            out += ' ';
            ++line;
        }
        out += word;
        line += word.size();
        first = false;
    }
    return out;
}

// "  -q, --quiet" or "  --port P": an option's names as the help lists them.
std::string option_names(const OptionSpec& option) {
    std::string names = "  ";
    names += option.short_name.empty() ? "" : std::string(option.short_name) + ", ";
    names += option.name;
    names += option.value.empty() ? "" : " " + std::string(option.value);
    return names;
}

// The column where the options' texts start: two blanks after the longest names.
std::size_t help_column(OptionSet listed) {
    std::size_t longest = 0;
    for (const OptionSpec& option : option_table()) {
        if (listed.contains(option.id)) {
            longest = std::max(longest, option_names(option).size());
        }
    }
    return longest + 2;
}

// "run, debug: " before the text of an option that only a few commands take,
// in the help that lists every option; one that most transfers take goes unlabelled.
std::string command_label(const OptionSpec& option) {
    constexpr std::size_t kLabelledUpTo = 3;
    std::string label;
    std::size_t count = 0;
    for (const Command& command : commands()) {
        if (command.options.contains(option.id)) {
            label += (count++ == 0 ? "" : ", ") + std::string(command.name);
        }
    }
    return count == 0 || count > kLabelledUpTo ? "" : label + ": ";
}

// "  --port P       0, 1, 2 or ...", its text wrapped under itself.
std::string option_line(const OptionSpec& option, std::size_t column, std::string_view label) {
    std::string names = option_names(option);
    names.resize(std::max(names.size() + 1, column), ' ');
    return names + wrapped(std::string(label) + expand(option.help), kHelpWidth, names.size(),
                           names.size());
}

}  // namespace

void print_command_help(std::ostream& out, const Command& command) {
    out << wrapped("Usage: " + std::string(kProgramName) + " [--port P] [--delay D] [-q] " +
                       usage_line(command),
                   76, 11)
        << '\n'
        << wrapped(command.summary) << '\n';
    // Both lists in one column; a command without options of its own has no heading for them.
    const std::size_t column = help_column(command.options | kGlobalOptions);
    for (const bool global : {false, true}) {
        const OptionSet listed = global ? kGlobalOptions : command.options;
        if (listed.empty()) {
            continue;
        }
        out << (global ? "\nOptions of every command:\n" : "\nOptions:\n");
        for (const OptionSpec& option : option_table()) {
            if (listed.contains(option.id)) {
                out << option_line(option, column, "") << '\n';
            }
        }
    }
    if (!command.notes.empty()) {
        out << '\n' << command.notes << '\n';
    }
    out << "\nExample:\n  " << kProgramName << ' ' << command.example << '\n';
}

void print_usage(std::ostream& out) {
    out << "Usage: " << kProgramName << " [--port P] [--delay D] [-q] COMMAND [ARGS]\n"
        << "Moves memory images between this PC and the RAM of a vandrel board on the\n"
        << "parallel port.\n\nCommands:\n";
    for (const Command& command : commands()) {
        out << "  " << usage_line(command) << "\n      "
            << wrapped(command.summary, kHelpWidth, 6, 6) << '\n';
    }
    out << "\nOptions:\n";
    const std::size_t column = help_column(OptionSet::all());
    for (const OptionSpec& option : option_table()) {
        out << option_line(option, column, command_label(option)) << '\n';
    }
    out << '\n'
        << wrapped("'" + std::string(kProgramName) + " help COMMAND' or '" +
                       std::string(kProgramName) +
                       " COMMAND --help' shows a command's own help, with an example.",
                   kHelpWidth)
        << '\n';
    out << R"(
HEX files: record types 00 and 01, with 02 and 04 while every address stays
below 0x8000; the image runs contiguously from address 0 to its highest byte.
Two different bytes for one address are refused. download writes HEX when
FILE ends in .hex or .ihx.

FILE may be '-' for standard input, and download's FILE '-' for standard
output. download replaces a regular file only once the new one is on the disk,
and refuses a file the user may not write.

The defaults for --port and --delay come from the program's profile,
$XDG_CONFIG_HOME/quillon.INI (~/.config/quillon.INI); without it they are
0x378 and 10. Only calibrate --save writes to it, its Delay line alone.
)";
    for (const Command& command : commands()) {
        if (!command.notes.empty()) {
            out << '\n' << command.notes << '\n';
        }
    }
    std::string exit_status = "Exit status:";
    for (const ExitMeaning& exit : kExitMeanings) {
        exit_status += ' ' + std::to_string(exit.code) + ' ' + std::string(exit.meaning) +
                       (exit.code == kExitMeanings.back().code ? "." : ",");
    }
    out << '\n' << wrapped(exit_status) << '\n';
}

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            bool out_closed) {
    const ParseResult parsed = parse_options(args);
    if (!parsed.ok()) {
        return usage_error(err, parsed.error);
    }
    const Options& options = parsed.options;
    if (options.help && options.command.empty()) {
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
    if (options.help) {
        print_command_help(out, *command);
        return kExitOk;
    }
    for (const Option option : options.given) {
        if (!command->options.contains(option)) {
            return usage_error(err, std::string(option_spec(option).name) + " does not go with " +
                                        std::string(command->name));
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
    board_query::set_quiet(options.quiet);
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
    ctx.out_closed = out_closed;
    const int rc = command->run(ctx);
    // Whatever a command made of its transfers, none counts once the port
    // failed under it.
    if (uses_board && !ctx.port_failure_told) {
        if (const int failed = ctx.check_port(); failed != kExitOk) {
            return failed;
        }
    }
    return rc;
}

}  // namespace qcli
