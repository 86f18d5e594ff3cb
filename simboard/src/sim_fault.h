/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Faults the simulated board can show, so users and tests meet what a real
// set-up does wrong: no board, a data input stuck low, noisy bits, a board
// too slow for the delay in use.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sim {

struct SimFault {
    enum class Kind { none, no_board, stuck_low, flip, slow };
    Kind kind = Kind::none;
    std::uint32_t flip_every = 0;  // for flip: every Nth bit the board presents is inverted
    // For slow: a rising clock edge reaches the shift registers only after at
    // least this many status reads since the write before it; a sooner one is lost.
    std::uint32_t slow_reads = 0;
};

// Parses DLPORTIO_SIM_FAULT ("", "no-board", "stuck-low", "flip=N" with N >= 1,
// "slow=N" with N >= 1);
// nothing for a text it does not know.
std::optional<SimFault> parse_sim_fault(std::string_view text);

}  // namespace sim
