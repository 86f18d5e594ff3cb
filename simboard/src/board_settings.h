/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated board's settings, read from the environment when it opens,
// and where its files live.
#pragma once

#include <string>

namespace sim {

struct BoardSettings {
    std::string ram;    // DLPORTIO_SIM_RAM, or the default under the state folder
    std::string fault;  // DLPORTIO_SIM_FAULT
    std::string mcu;    // DLPORTIO_SIM_MCU: empty or s51
    // The board's other files follow from its RAM file (board.ram: board.uart.log,
    // board.ports, board.uart); the default board keeps vandrel-uart.log,
    // vandrel-ports.txt and vandrel-uart beside its RAM.
    std::string uart_log;    // DLPORTIO_SIM_UART, or the board's log
    std::string ports_file;  // the 8051's last port latches
    // DLPORTIO_SIM_UART=pty: where the UART's pseudo-terminal is linked
    // ("pty" when there is no folder to link it in); empty otherwise.
    std::string uart_link;
};

BoardSettings settings_from_environment();

}  // namespace sim
