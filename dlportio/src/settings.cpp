// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The layer's settings from the environment, and where its files go.
#include "settings.h"

#include <cstdlib>
#include <filesystem>

#include "posix/home_folder.h"

namespace dlportio {

namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

fs::path state_folder(const char* xdg_state_home, const std::string& home) {
    // A relative value is ignored, as for every XDG folder: it would depend on
    // the folder the program happens to start in.
    if (xdg_state_home != nullptr && *xdg_state_home == '/') {
        return fs::path(xdg_state_home) / "quillon";
    }
    if (!home.empty()) {
        return fs::path(home) / ".local" / "state" / "quillon";
    }
    return {};
}

std::string in_state_folder(const char* xdg_state_home, const std::string& home, const char* name) {
    const fs::path folder = state_folder(xdg_state_home, home);
    return folder.empty() ? std::string() : (folder / name).string();
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

// The default board keeps the names its files have always had.
BoardFiles default_board_files(const char* xdg_state_home, const std::string& home) {
    return {default_uart_log_path(xdg_state_home, home),
            in_state_folder(xdg_state_home, home, "vandrel-ports.txt"),
            in_state_folder(xdg_state_home, home, "vandrel-uart")};
}

}  // namespace

std::string default_ram_path(const char* xdg_state_home, const std::string& home) {
    return in_state_folder(xdg_state_home, home, "vandrel-board.ram");
}

std::string default_uart_log_path(const char* xdg_state_home, const std::string& home) {
    return in_state_folder(xdg_state_home, home, "vandrel-uart.log");
}

Settings settings_from_environment() {
    Settings settings;
    settings.backend = environment("DLPORTIO_BACKEND");
    settings.device = environment("DLPORTIO_DEVICE");
    settings.base = environment("DLPORTIO_BASE");
    const char* xdg_state_home = std::getenv("XDG_STATE_HOME");
    const std::string home = quillon::posix::home_folder().string();
    settings.sim_ram = environment("DLPORTIO_SIM_RAM");
    const std::string default_ram = default_ram_path(xdg_state_home, home);
    if (settings.sim_ram.empty()) {
        settings.sim_ram = default_ram;
    }
    settings.sim_fault = environment("DLPORTIO_SIM_FAULT");
    settings.sim_mcu = environment("DLPORTIO_SIM_MCU");
    const BoardFiles files = settings.sim_ram == default_ram
                                 ? default_board_files(xdg_state_home, home)
                                 : board_files(settings.sim_ram);
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
    settings.trace = environment("DLPORTIO_TRACE");
    return settings;
}

}  // namespace dlportio
