// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "board_settings.h"

#include <cstdlib>
#include <filesystem>

#include "posix/home_folder.h"

namespace sim {

namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// $XDG_STATE_HOME/quillon, or ~/.local/state/quillon; empty when neither is known.
std::string in_state_folder(const char* name) {
    const fs::path folder =
        quillon::posix::xdg_folder("XDG_STATE_HOME", fs::path(".local") / "state");
    return folder.empty() ? std::string() : (folder / "quillon" / name).string();
}

struct BoardFiles {
    std::string uart_log;
    std::string ports;
    std::string uart_link;
};

// Every file of a simulated board follows from its RAM file, so two boards never
// share one: board.ram gives board.uart.log, board.ports and the link board.uart.
BoardFiles board_files(const std::string& ram) {
    if (ram.empty()) {
        return {};
    }
    fs::path stem(ram);
    if (stem.extension() == ".ram") {
        stem.replace_extension();
    }
    const std::string base = stem.string();
    return {base + ".uart.log", base + ".ports", base + ".uart"};
}

}  // namespace

BoardSettings settings_from_environment() {
    BoardSettings settings;
    const std::string default_ram = in_state_folder("vandrel-board.ram");
    settings.ram = environment("DLPORTIO_SIM_RAM");
    if (settings.ram.empty()) {
        settings.ram = default_ram;
    }
    settings.fault = environment("DLPORTIO_SIM_FAULT");
    settings.mcu = environment("DLPORTIO_SIM_MCU");
    // The default board keeps the names its files have always had.
    const BoardFiles files =
        settings.ram == default_ram
            ? BoardFiles{in_state_folder("vandrel-uart.log"), in_state_folder("vandrel-ports.txt"),
                         in_state_folder("vandrel-uart")}
            : board_files(settings.ram);
    settings.uart_log = environment("DLPORTIO_SIM_UART");
    if (settings.uart_log == "pty") {
        // A terminal for people, and the log beside it for programs.
        settings.uart_log.clear();
        settings.uart_link = files.uart_link.empty() ? "pty" : files.uart_link;
    }
    if (settings.uart_log.empty()) {
        settings.uart_log = files.uart_log;
    }
    settings.ports_file = files.ports;
    return settings;
}

}  // namespace sim
