// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The board model's edge logic.
#include "board_model.h"

#include "port_recorder.h"

namespace vandrel_test {

namespace {
bool rising(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
    return (before & bit) == 0 && (after & bit) != 0;
}
bool falling(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
    return (before & bit) != 0 && (after & bit) == 0;
}
}  // namespace

void BoardModel::attach() {
    recorder().write_observer = [this](std::uint8_t value) { on_write(value); };
    recorder().status_source = [this] { return status(); };
}

void BoardModel::on_write(std::uint8_t value) {
    const bool reading = (value & 0x40) == 0;
    if (rising(previous_, value, 0x02)) {
        if (reading && (value & 0x04) != 0) {
            shift_in_ = ram[address_];
        } else if (reading) {
            shift_in_ = static_cast<std::uint8_t>(shift_in_ << 1);
        } else {
            shift_out_ = static_cast<std::uint8_t>((shift_out_ << 1) | (value & 0x01));
        }
    }
    const bool strobe = rising(previous_, value, 0x10) || rising(previous_, value, 0x20) ||
                        falling(previous_, value, 0x80);
    if (strobe && (value & 0x08) == 0) {
        ++strobes_without_reset;
    }
    if (rising(previous_, value, 0x10)) {
        address_ = static_cast<std::uint16_t>((address_ & 0xFF00) | shift_out_);
        ++low_latch_count;
    }
    if (rising(previous_, value, 0x20)) {
        address_ = static_cast<std::uint16_t>((address_ & 0x00FF) | (shift_out_ << 8));
        high_latches.push_back(shift_out_);
    }
    if (falling(previous_, value, 0x80)) {
        ram[address_] = shift_out_;
        ++writes_to_ram;
    }
    previous_ = value;
}

std::uint8_t BoardModel::status() const {
    // Only bit 0x40 carries data; the other bits float high.
    return (shift_in_ & 0x80) != 0 ? 0xFF : 0xBF;
}

}  // namespace vandrel_test
