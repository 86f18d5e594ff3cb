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
    if (settings.sim_ram.empty()) {
        settings.sim_ram = default_ram_path(xdg_state_home, home);
    }
    settings.sim_fault = environment("DLPORTIO_SIM_FAULT");
    settings.sim_mcu = environment("DLPORTIO_SIM_MCU");
    settings.uart_log = environment("DLPORTIO_SIM_UART");
    if (settings.uart_log == "pty") {
        // A terminal for people, and the log beside it for programs.
        settings.uart_log = default_uart_log_path(xdg_state_home, home);
        settings.uart_link = in_state_folder(xdg_state_home, home, "vandrel-uart");
        if (settings.uart_link.empty()) {
            settings.uart_link = "pty";  // no state folder: the terminal without a link
        }
    }
    if (settings.uart_log.empty()) {
        settings.uart_log = default_uart_log_path(xdg_state_home, home);
    }
    if (!settings.uart_log.empty()) {
        settings.ports_file =
            (fs::path(settings.uart_log).parent_path() / "vandrel-ports.txt").string();
    }
    settings.trace = environment("DLPORTIO_TRACE");
    return settings;
}

}  // namespace dlportio
