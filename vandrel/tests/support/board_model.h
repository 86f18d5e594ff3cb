/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A model of the board's shift and latch logic, driven by the edges of the bytes the
// library writes: it lets transfers be checked by what reaches the board's RAM.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vandrel_test {

class BoardModel {
public:
    // Connects the model to the recorder's writes and status reads.
    void attach();

    std::array<std::uint8_t, 0x10000> ram{};
    std::vector<std::uint8_t> high_latches;  // every value the high-address strobe took
    std::uint32_t low_latch_count = 0;
    std::uint32_t writes_to_ram = 0;
    std::uint32_t strobes_without_reset = 0;  // strobes while the reset line was low

    void on_write(std::uint8_t value);
    std::uint8_t status() const;

private:
    std::uint8_t previous_ = 0xC0;
    std::uint8_t shift_out_ = 0;
    std::uint8_t shift_in_ = 0;
    std::uint16_t address_ = 0;
};

}  // namespace vandrel_test
