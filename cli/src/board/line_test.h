/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Stepping the port's data lines one at a time, for checking a cable with a
// meter or an LED.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include <vandrel_board.h>

namespace qcli {

struct PortIo {
    void (*write)(unsigned long port, unsigned char value);
    unsigned char (*read)(unsigned long port);
    // The data register read back, nothing where the port can't; may be null.
    std::optional<unsigned char> (*read_back)(unsigned long port) = nullptr;
};

// A data line whose pin did not show the level driven on it: held by a short
// or a broken driver, whatever the board does.
struct StuckLine {
    int pin;
    std::string_view name;
    bool driven_high;
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
// name, level and the data input; ends with the lines at kIdleLevels. Where
// the port reads its data register back (on most ports from the pins), a
// line that does not read back as driven is marked and returned.
std::vector<StuckLine> run_line_test(std::ostream& out, const LineTestSettings& settings,
                                     const PortIo& io);

}  // namespace qcli
