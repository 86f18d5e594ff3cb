// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The line primitives over the port-access layer's two byte functions.
#include "board_lines.h"

#include "dlportio.h"
#include "library_state.h"
#include "wait_ms.h"

namespace vandrel {

void write_data(std::uint8_t value) {
    DlPortWritePortUchar(state().port_base & 0xFFFFu, value);
}

std::uint8_t read_status() {
    return DlPortReadPortUchar((state().port_base + board::kStatusOffset) & 0xFFFFu);
}

void port_delay(unsigned units) {
    const unsigned d = state().delay;
    const unsigned reads = units * d * d;
    for (unsigned n = 0; n < reads; ++n) {
        // Only the time a read takes matters here, not its value.
        static_cast<void>(read_status());
    }
}

void send_byte(std::uint8_t value) {
    auto& line_image = state().line_image;
    line_image = kBoardHeld;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
        const std::uint8_t bit = (value & mask) != 0 ? kDataLine : 0;
        port_delay(kShortWait);
        write_data(line_image | bit);
        port_delay(kLongWait);
        write_data(line_image | bit | kClockLine);
        port_delay(kShortWait);
        write_data(line_image | bit);
    }
}

std::uint8_t receive_byte() {
    auto& line_image = state().line_image;
    line_image = (line_image & (kReadStrobe | kWriteStrobe | kResetLine)) | kResetLine;
    std::uint8_t result = 0;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
        port_delay(kShortWait);
        // The board puts each bit on the input before the clock pulse that moves on.
        if ((read_status() & kDataInput) != 0) {
            result |= mask;
        }
        write_data(line_image);
        port_delay(kLongWait);
        write_data(line_image | kClockLine);
        port_delay(kShortWait);
        write_data(line_image);
    }
    port_delay(kShortWait);
    return result;
}

void latch_pulse(std::uint8_t strobe) {
    const auto line_image = state().line_image;
    port_delay(kLongWait);
    write_data(line_image | strobe);
    port_delay(kShortWait);
    write_data(line_image);
}

void pulse_reset() {
    auto& line_image = state().line_image;
    line_image = kBoardHeld;
    write_data(line_image);
    for (int step = 0; step < 10; ++step) {
        wait_ms(100);
    }
    line_image = kBoardRunning;
    write_data(line_image);
}

}  // namespace vandrel
