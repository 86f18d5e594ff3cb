/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The layer's settings, read from the environment once, and where its own
// files live: every part of the layer takes them from here.
#pragma once

#include <string>

#include "parport_discovery.h"

namespace dlportio {

struct Settings {
    std::string backend;    // DLPORTIO_BACKEND: auto (also when empty), sim, ppdev, direct
    std::string device;     // DLPORTIO_DEVICE: one /dev/parportN for every base address
    std::string base;       // DLPORTIO_BASE: the I/O address every base address is taken to
    std::string sim_ram;    // DLPORTIO_SIM_RAM, or the default under the state folder
    std::string sim_fault;  // DLPORTIO_SIM_FAULT
    std::string sim_mcu;    // DLPORTIO_SIM_MCU: empty or s51
    // The board's other files follow from its RAM file (board.ram: board.uart.log,
    // board.ports, board.uart); the default board keeps vandrel-uart.log,
    // vandrel-ports.txt and vandrel-uart beside its RAM.
    std::string uart_log;    // DLPORTIO_SIM_UART, or the board's log
    std::string ports_file;  // the 8051's last port latches
    // DLPORTIO_SIM_UART=pty: where the UART's pseudo-terminal is linked
    // ("pty" when there is no folder to link it in); empty otherwise.
    std::string uart_link;
    std::string trace;  // DLPORTIO_TRACE
    SystemPaths paths;
};

Settings settings_from_environment();

// The layer's default files, under $XDG_STATE_HOME/quillon (~/.local/state/quillon
// when the variable is unset, empty or relative); empty when neither folder is known.
std::string default_ram_path(const char* xdg_state_home, const std::string& home);
std::string default_uart_log_path(const char* xdg_state_home, const std::string& home);

}  // namespace dlportio
