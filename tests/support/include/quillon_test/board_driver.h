/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Drives a simulated board the way the board's wiring expects, one line
// change at a time, so board-level tests need no board link library.
#pragma once

#include <cstdint>

template <typename Board>
class BoardDriver {
public:
    explicit BoardDriver(Board& board) : board_(board) {}

    // Every line change after `reads` status reads, as the library's waits do.
    void wait_before_each_change(int reads) { reads_ = reads; }

    void put(std::uint8_t lines) {
        for (int i = 0; i < reads_; ++i) {
            board_.read_status();
        }
        board_.write_data(lines);
    }
    bool data_input() { return (board_.read_status() & 0x40) != 0; }

    void hold() { put(0xC8); }
    void release() { put(0xC0); }

    // MSB first, data set up before the rising clock edge.
    void send(std::uint8_t value, std::uint8_t idle = 0xC8) {
        for (int bit = 7; bit >= 0; --bit) {
            const std::uint8_t data = (value >> bit) & 0x01;
            put(idle | data);
            put(idle | data | 0x02);
            put(idle | data);
        }
    }
    void latch(std::uint8_t strobe, std::uint8_t idle = 0xC8) {
        put(idle | strobe);
        put(idle);
    }
    void address(std::uint16_t address) {
        send(static_cast<std::uint8_t>(address >> 8));
        latch(0x20);
        send(static_cast<std::uint8_t>(address));
        latch(0x10);
    }
    void store(std::uint16_t at, std::uint8_t value) {
        address(at);
        send(value);
        put(0x48);
        put(0xC8);
    }
    std::uint8_t fetch(std::uint16_t at) {
        address(at);
        put(0x88);
        put(0x8C);
        put(0x8E);
        std::uint8_t value = 0;
        for (int bit = 7; bit >= 0; --bit) {
            if (data_input()) {
                value |= static_cast<std::uint8_t>(1u << bit);
            }
            put(0x88);
            put(0x8A);
            put(0x88);
        }
        put(0xC8);
        return value;
    }

private:
    Board& board_;
    int reads_ = 0;
};
