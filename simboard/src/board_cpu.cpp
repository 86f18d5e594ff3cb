// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Which 8051 the simulated board gets, from DLPORTIO_SIM_MCU and s51 on PATH.
#include "board_cpu.h"

#include <cstdlib>
#include <string>

#include "child_process.h"
#include "messages.h"
#include "s51_cpu.h"

namespace sim {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::unique_ptr<BoardCpu> make_board_cpu(const CpuSettings& layer, std::string* why_none) {
    const auto none = [why_none](const std::string& why, bool say) {
        if (say) {
            tell(why);
        }
        if (why_none != nullptr) {
            *why_none = why;
        }
        return nullptr;
    };
    const std::string& mcu = layer.mcu;
    if (mcu.empty()) {
        return none("the simulated board runs no firmware without DLPORTIO_SIM_MCU=s51", false);
    }
    if (mcu != "s51") {
        return none("DLPORTIO_SIM_MCU=" + mcu +
                        " is not known (s51 is); the simulated board runs no firmware",
                    true);
    }
    S51Settings settings;
    settings.program = find_on_path("s51", environment("PATH"));
    if (settings.program.empty()) {
        return none(
            "DLPORTIO_SIM_MCU=s51, but s51 is not installed (Debian package sdcc-ucsim); the "
            "simulated board runs no firmware",
            true);
    }
    settings.uart_log = layer.uart_log;
    settings.ports_file = layer.ports_file;
    settings.uart_link = layer.uart_link;
    return std::make_unique<S51Cpu>(std::move(settings));
}

}  // namespace sim
