// The commands quillon-cli knows: adding one is a file with its run function
// (src/cmd_<name>.cpp) and one entry here. Options of its own go into the
// entry's extra_options and reach it through Options::extra.
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

namespace {

constexpr unsigned kImageIn = kOptFormat | kOptFill;
constexpr std::array kRunOptions{ExtraOption{"--for", true}, ExtraOption{"--read", true}};

constexpr std::array kCommands{
    Command{"upload", "FILE [--no-verify] [--no-reset]",
            "load FILE, upload it, read it back and compare, reset the board",
            kImageIn | kOptNoVerify | kOptNoReset, 1, 1, run_upload},
    Command{"download", "SIZE FILE [--no-reset]",
            "download SIZE bytes (1..32768) from address 0 and save them", kOptFormat | kOptNoReset,
            2, 2, run_download},
    Command{"verify", "FILE [--no-reset]", "download as many bytes as FILE holds and compare",
            kImageIn | kOptNoReset, 1, 1, run_verify},
    Command{"checksum", "FILE", "print size and image checksum as the program shows them", kImageIn,
            1, 1, run_checksum},
    Command{"dump", "FILE | dump --board SIZE [--no-reset]",
            "hexadecimal and character dump, 16 bytes a line", kImageIn | kOptBoard | kOptNoReset,
            1, 1, run_dump},
    Command{"reset", "", "pulse the board's reset line", 0, 0, 0, run_reset},
    Command{"probe", "[--no-reset]", "tell whether a board answers", kOptNoReset, 0, 0, run_probe},
    Command{"linetest", "[--hold S] [--all]", "step each data line for wiring checks",
            kOptHold | kOptAll, 0, 0, run_linetest},
    Command{"info", "", "library version, port address, delay, port-access back end", 0, 0, 0,
            run_info},
    Command{"run", "FILE [--for S] [--read N OUTFILE]",
            "upload FILE, let it run S s (default 2) showing its UART output, show the ports",
            kImageIn, 1, 2, run_run, kRunOptions},
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

}  // namespace qcli
