// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Telling an empty port from a board: a read-back of one level everywhere.
#include "no_answer.h"

#include <board_query.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "command.h"

namespace qcli {

std::string board_at() {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%lX",
                  board_query::board_at(set_Port(vandrel::board::kPortQuery)).address);
    return text.data();
}

bool real_port() {
    return board_query::board_at(set_Port(vandrel::board::kPortQuery)).reach ==
           board_query::Reach::port;
}

std::optional<std::uint8_t> one_level(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t level : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
        if (!bytes.empty() && std::all_of(bytes.begin(), bytes.end(),
                                          [level](std::uint8_t b) { return b == level; })) {
            return level;
        }
    }
    return std::nullopt;
}

bool nothing_answered(std::span<const std::uint8_t> sent, std::span<const std::uint8_t> read) {
    const auto level = one_level(read);
    return level && one_level(sent) != level;
}

std::string no_answer_text(std::uint8_t level, const std::string& where) {
    std::array<char, 8> value{};
    std::snprintf(value.data(), value.size(), "%02X", unsigned{level});
    const std::string delay = where.empty()
                                  ? ", or a larger delay than " + std::to_string(get_delay()) +
                                        ": " + std::string(kProgramName) + " calibrate"
                                  : "";
    return "no board answers at " + board_at() + ": every byte read back " + value.data() + where +
           " (check the cable and the board's power" + delay + ")";
}

}  // namespace qcli
