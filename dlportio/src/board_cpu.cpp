#include "board_cpu.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "child_process.h"
#include "s51_cpu.h"

namespace dlportio {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::unique_ptr<BoardCpu> make_board_cpu() {
    const std::string mcu = environment("DLPORTIO_SIM_MCU");
    if (mcu.empty()) {
        return nullptr;
    }
    if (mcu != "s51") {
        std::fprintf(stderr,
                     "dlportio: DLPORTIO_SIM_MCU=%s is not known (s51 is); the simulated board "
                     "runs no firmware\n",
                     mcu.c_str());
        return nullptr;
    }
    S51Settings settings;
    settings.program = find_on_path("s51", environment("PATH"));
    if (settings.program.empty()) {
        std::fprintf(stderr,
                     "dlportio: DLPORTIO_SIM_MCU=s51, but s51 is not installed (Debian package "
                     "sdcc-ucsim); the simulated board runs no firmware\n");
        return nullptr;
    }
    settings.uart_log = environment("DLPORTIO_SIM_UART");
    if (settings.uart_log.empty()) {
        settings.uart_log =
            default_uart_log_path(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    }
    if (!settings.uart_log.empty()) {
        settings.ports_file =
            (std::filesystem::path(settings.uart_log).parent_path() / "vandrel-ports.txt").string();
    }
    return std::make_unique<S51Cpu>(std::move(settings));
}

}  // namespace dlportio
