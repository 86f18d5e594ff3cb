// The commands quillon-cli knows: adding one is a file with its run function
// (src/cmd_<name>.cpp) and one entry here; the options it takes name it in
// the option table.
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

namespace {

constexpr BoardUse kBoard = BoardUse::always;

constexpr std::array kCommands{
    Command{"upload", "FILE", "load FILE, upload it, read it back and compare, reset the board", 1,
            1, run_upload, kBoard},
    Command{"download", "SIZE FILE", "download SIZE bytes (1..32768) from address 0 and save them",
            2, 2, run_download, kBoard},
    Command{"verify", "FILE", "download as many bytes as FILE holds and compare", 1, 1, run_verify,
            kBoard},
    Command{"checksum", "FILE", "print size and image checksum as the program shows them", 1, 1,
            run_checksum},
    Command{"dump", "FILE | dump --board SIZE", "hexadecimal and character dump, 16 bytes a line",
            1, 1, run_dump, BoardUse::with_board_option},
    Command{"reset", "", "pulse the board's reset line", 0, 0, run_reset, kBoard},
    Command{"probe", "", "tell whether a board answers", 0, 0, run_probe, kBoard},
    Command{"linetest", "", "step each data line for wiring checks", 0, 0, run_linetest, kBoard},
    Command{"info", "", "library version, port address, delay, port-access back end", 0, 0,
            run_info},
    Command{"run", "FILE [--read N OUTFILE]",
            "upload FILE, let the 8051 run it showing its UART output, show the ports and the "
            "firmware's result",
            1, 2, run_run, kBoard},
    Command{"calibrate", "", "find the smallest delay at which a test pattern comes back intact", 0,
            0, run_calibrate, kBoard},
};

}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

const Command* find_command(std::string_view name) {
    for (const Command& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

std::string usage_line(const Command& command) {
    std::string line(command.name);
    if (!command.arguments.empty()) {
        line += ' ';
        line += command.arguments;
    }
    for (const OptionSpec& option : option_table()) {
        if (option.commands.empty() || !option.taken_by(command.name) ||
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
