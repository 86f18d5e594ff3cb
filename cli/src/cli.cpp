#include "cli.h"

#include <vandrel.h>

#include "command.h"
#include "options.h"
#include "profile.h"
#include "progress.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "unknown"
#endif

namespace qcli {
namespace {

int usage_error(std::ostream& err, const std::string& message) {
    err << kProgramName << ": " << message << '\n'
        << "Try '" << kProgramName << " --help' for more information.\n";
    return kExitUsage;
}

// Which flag a command does not take, for the usage message.
std::string_view flag_name(unsigned bit) {
    switch (bit) {
        case kOptNoVerify:
            return "--no-verify";
        case kOptNoReset:
            return "--no-reset";
        case kOptFormat:
            return "--format";
        case kOptFill:
            return "--fill";
        case kOptHold:
            return "--hold";
        case kOptAll:
            return "--all";
        default:
            return "--board";
    }
}

// The program's saved port and delay first, the command line over them.
void apply_settings(const Options& options) {
    const ProfileSettings profile = read_profile(profile_path());
    set_Port(options.port_index.value_or(profile.port_index));
    // A stored delay of 0 is refused and the library keeps its own, as in the program.
    set_delay(options.delay.value_or(profile.delay));
}

}  // namespace

void print_usage(std::ostream& out) {
    out << "Usage: " << kProgramName << " [--port P] [--delay D] [-q] COMMAND [ARGS]\n"
        << "Moves memory images between this PC and the RAM of a vandrel board on the\n"
        << "parallel port.\n\nCommands:\n";
    for (const Command& command : commands()) {
        out << "  " << command.name << (command.arguments.empty() ? "" : " ") << command.arguments
            << "\n      " << command.summary << '\n';
    }
    out << R"(
Options:
  --port P       0, 1, 2 or 0x278, 0x378, 0x3BC (default: the program's setting)
  --delay D      signal delay 1..255 (default: the program's setting)
  -q, --quiet    no progress line and no confirmations; errors still show
  --format F     raw or ihex; otherwise .hex/.ihx and the file's content decide
  --fill N       byte for the gaps of a HEX image (default 0xFF)
  --no-verify    upload without reading the image back
  --no-reset     leave the board held in reset after a transfer
  --hold S       linetest: seconds each line stays inverted (default 1)
  --all          linetest: step the write strobe too (it stores a byte in RAM)
  --for S        run: seconds the firmware runs before the board is taken back
  --read N OUT   run: then download N bytes into OUT (default: one byte, dropped)
  -h, --help     this text
  -V, --version  program and library versions

HEX files: record types 00 and 01, with 02 and 04 while every address stays
below 0x8000; the image runs contiguously from address 0 to its highest byte.
download writes HEX when FILE ends in .hex or .ihx.

probe works on address 0, the only one a one-byte transfer reaches: it reads
the byte (twice: when the reads differ it writes nothing), writes its
complement, reads that back and writes the original back.

The defaults for --port and --delay come from the program's profile,
$XDG_CONFIG_HOME/quillon.INI (~/.config/quillon.INI), which is only read;
without it they are 0x378 and 10.

Exit status: 0 success, 1 refused by the library or a file error, 2 usage,
3 the board's RAM differs from the image, 4 no board answers.
)";
}

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParseResult parsed = parse_options(args, [](std::string_view name) {
        const Command* command = find_command(name);
        return command != nullptr ? command->extra_options : std::span<const ExtraOption>{};
    });
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
    if (const unsigned extra = options.given & ~command->accepted_flags; extra != 0) {
        const unsigned bit = extra & (~extra + 1);
        return usage_error(
            err, std::string(flag_name(bit)) + " does not go with " + std::string(command->name));
    }
    if (options.args.size() < command->min_args) {
        return usage_error(err, "usage: " + std::string(kProgramName) + " " +
                                    std::string(command->name) + " " +
                                    std::string(command->arguments));
    }
    if (options.args.size() > command->max_args) {
        return usage_error(err, "too many arguments for " + std::string(command->name) + ": '" +
                                    options.args[command->max_args] + "'");
    }

    apply_settings(options);
    progress_install(options.quiet);
    Context ctx{options, out, err};
    return command->run(ctx);
}

}  // namespace qcli
