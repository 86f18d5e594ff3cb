/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The vandrel board's logic as the port sees it: a serial-in shift register,
// two address latches, 32 KB of RAM behind read and write strobes, a
// parallel-in shift register feeding the data input, and the reset line that
// hands the bus to the microcontroller. It reacts only to edges of the byte
// written and answers only through the status register.
#pragma once

#include <cstdint>
#include <memory>

#include "board_cpu.h"
#include "ram_file.h"
#include "sim_fault.h"

namespace sim {

// Written from the board's wiring, not taken from vandrel_board.h or the port
// layer, so that the simulated board checks the library instead of repeating it.
// Status register of a port with nothing driving its inputs: the reserved
// bits and the pulled-up pins read 1, Busy (inverted in the register) reads 0.
inline constexpr std::uint8_t kIdleStatus = 0x7F;
// The board's serial output, wired to the Acknowledge pin.
inline constexpr std::uint8_t kDataInput = 0x40;

class SimBoard final {
public:
    // `storage`, when given, holds `ram` and keeps it in step with its file.
    SimBoard(BoardRam ram, SimFault fault, std::unique_ptr<BoardCpu> cpu,
             std::unique_ptr<RamFile> storage = nullptr);
    ~SimBoard();
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    void write_data(std::uint8_t value);
    std::uint8_t read_status() {
        ++reads_since_write_;
        return status_;
    }
    // The board's logic needs no real time to settle: a pause passes at once,
    // as more status reads than any wait could hold.
    void pass_time() { reads_since_write_ = kLongPause; }

private:
    static constexpr std::uint64_t kLongPause = std::uint64_t{1} << 40;

    void reset_edge(bool rising);
    void clock_edge(std::uint8_t lines);
    void present_bit();
    // The reset line rose: the RAM from the file, and back from the 8051.
    void take_board();

    std::unique_ptr<RamFile> storage_;
    BoardRam ram_;
    SimFault fault_;
    std::unique_ptr<BoardCpu> cpu_;
    bool cpu_running_ = false;

    std::uint8_t lines_ = 0xC0;  // strobes inactive, reset low, microcontroller not started
    std::uint8_t shift_in_ = 0;
    std::uint8_t address_low_ = 0;
    std::uint8_t address_high_ = 0;
    std::uint8_t shift_out_ = 0xFF;
    std::uint8_t ram_bits_left_ = 0;  // bits of the loaded byte still to reach the data input
    std::uint32_t bits_since_flip_ = 0;
    std::uint8_t status_ = kIdleStatus;
    std::uint64_t reads_since_write_ = 0;
};

}  // namespace sim
