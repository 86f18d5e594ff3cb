// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Parsing DLPORTIO_SIM_FAULT into the fault the board shows.
#include "sim_fault.h"

#include <charconv>

namespace sim {

namespace {
// "flip=7" -> 7 for the prefix "flip="; nothing unless a whole number >= 1 follows.
std::optional<std::uint32_t> count_after(std::string_view prefix, std::string_view text) {
    if (!text.starts_with(prefix)) {
        return std::nullopt;
    }
    const auto digits = text.substr(prefix.size());
    std::uint32_t count = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (ec != std::errc{} || end != digits.data() + digits.size() || count < 1) {
        return std::nullopt;
    }
    return count;
}
}  // namespace

std::optional<SimFault> parse_sim_fault(std::string_view text) {
    if (text.empty() || text == "none") {
        return SimFault{};
    }
    if (text == "no-board") {
        return SimFault{SimFault::Kind::no_board, 0, 0};
    }
    if (text == "stuck-low") {
        return SimFault{SimFault::Kind::stuck_low, 0, 0};
    }
    if (const auto every = count_after("flip=", text)) {
        return SimFault{SimFault::Kind::flip, *every, 0};
    }
    if (const auto reads = count_after("slow=", text)) {
        return SimFault{SimFault::Kind::slow, 0, *reads};
    }
    return std::nullopt;
}

}  // namespace sim
