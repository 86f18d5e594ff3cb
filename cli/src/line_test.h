/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Stepping the port's data lines one at a time, for checking a cable with a
// meter or an LED.
#pragma once

#include <cstdint>
#include <ostream>

#include <vandrel_board.h>

namespace qcli {

struct PortIo {
    void (*write)(unsigned long port, unsigned char value);
    unsigned char (*read)(unsigned long port);
};

struct LineTestSettings {
    std::uint16_t base = vandrel::board::kPortBases[vandrel::board::kPortIndexAtLoad];
    unsigned hold_ms = 1000;
    bool include_write_strobe = false;
};

// Reset line high, both RAM strobes inactive: the board is held and its RAM left alone.
inline constexpr std::uint8_t kHoldLevels = vandrel::board::kBoardHeld;
// Board running, strobes inactive: what the lines show between operations.
inline constexpr std::uint8_t kIdleLevels = vandrel::board::kBoardRunning;

// Holds the board, inverts each line for hold_ms and restores it, printing pin,
// name, level and the data input; ends with the lines at kIdleLevels.
void run_line_test(std::ostream& out, const LineTestSettings& settings, const PortIo& io);

}  // namespace qcli
