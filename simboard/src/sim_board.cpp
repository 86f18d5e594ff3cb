// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated board's logic, edge by edge on the written byte.
#include "sim_board.h"

#include <utility>

namespace sim {

// The board's wiring as built, written out here on purpose rather than taken
// from vandrel_board.h: this model is the independent account of the board that
// the tests check the library's signals against, so a wrong bit in the library's
// header shows up as a failing transfer instead of agreeing with itself.
namespace {
constexpr std::uint8_t kDataLine = 0x01;
constexpr std::uint8_t kClockLine = 0x02;
constexpr std::uint8_t kLoadLine = 0x04;
constexpr std::uint8_t kResetLine = 0x08;
constexpr std::uint8_t kLowAddressStrobe = 0x10;
constexpr std::uint8_t kHighAddressStrobe = 0x20;
constexpr std::uint8_t kReadStrobe = 0x40;      // active low
constexpr std::uint8_t kWriteStrobe = 0x80;     // active low
constexpr std::uint16_t kAddressMask = 0x7FFF;  // A15 is not wired to the RAM
}  // namespace

SimBoard::SimBoard(BoardRam ram, SimFault fault, std::unique_ptr<BoardCpu> cpu,
                   std::unique_ptr<RamFile> storage)
    : storage_(std::move(storage)), ram_(ram), fault_(fault), cpu_(std::move(cpu)) {
    present_bit();
}

SimBoard::~SimBoard() {
    // A process that ends with the board running must not leave a simulator behind.
    if (cpu_ && cpu_running_) {
        take_board();
    }
}

void SimBoard::write_data(std::uint8_t value) {
    if (fault_.kind == SimFault::Kind::no_board) {
        return;
    }
    const std::uint8_t rising = value & ~lines_;
    const std::uint8_t falling = lines_ & ~value;
    lines_ = value;
    // A slow board's shift registers miss a clock edge that comes too soon.
    const bool clock_in_time =
        fault_.kind != SimFault::Kind::slow || reads_since_write_ >= fault_.slow_reads;
    reads_since_write_ = 0;
    if (((rising | falling) & kResetLine) != 0) {
        reset_edge((rising & kResetLine) != 0);
    }
    if ((rising & kClockLine) != 0 && clock_in_time) {
        clock_edge(value);
    }
    if ((value & kResetLine) == 0) {
        return;  // the microcontroller owns the bus: the strobes do nothing
    }
    if ((rising & kLowAddressStrobe) != 0) {
        address_low_ = shift_in_;
    }
    if ((rising & kHighAddressStrobe) != 0) {
        address_high_ = shift_in_;
    }
    if ((falling & kWriteStrobe) != 0) {
        const std::size_t address = ((address_high_ << 8) | address_low_) & kAddressMask;
        ram_[address] = shift_in_;
        if (storage_) {
            storage_->changed(address);
        }
    }
}

// The PC takes the board on a rising edge, with the RAM as the file now holds
// it (another program may have stored into it), and lets it go on a falling
// one, with what it stored written back for other programs and the 8051.
void SimBoard::reset_edge(bool rising) {
    if (rising) {
        take_board();
        return;
    }
    if (storage_) {
        storage_->save();
    }
    if (cpu_) {
        cpu_->run(ram_);
        cpu_running_ = true;
    }
}

void SimBoard::take_board() {
    if (storage_) {
        storage_->load();
    }
    if (!cpu_) {
        return;
    }
    const bool ran = cpu_running_;
    cpu_->hold(ram_);
    cpu_running_ = false;
    if (ran && storage_) {
        // What the 8051 wrote, merged into the RAM as it now stands.
        storage_->changed_all();
        storage_->save();
    }
}

void SimBoard::clock_edge(std::uint8_t lines) {
    shift_in_ = static_cast<std::uint8_t>((shift_in_ << 1) | (lines & kDataLine));
    if ((lines & kLoadLine) != 0) {
        // The RAM drives the bus only while the read strobe is low and the PC
        // holds the board; otherwise the pulled-up bus loads 0xFF.
        const bool driven = (lines & kReadStrobe) == 0 && (lines & kResetLine) != 0;
        shift_out_ = driven ? ram_[((address_high_ << 8) | address_low_) & kAddressMask] : 0xFF;
        ram_bits_left_ = 8;
    } else {
        // The serial input of the parallel-in register is tied high.
        shift_out_ = static_cast<std::uint8_t>((shift_out_ << 1) | 0x01);
        if (ram_bits_left_ > 0) {
            --ram_bits_left_;
        }
    }
    present_bit();
}

void SimBoard::present_bit() {
    bool high = (shift_out_ & 0x80) != 0;
    switch (fault_.kind) {
        case SimFault::Kind::none:
        case SimFault::Kind::slow:
            break;
        case SimFault::Kind::no_board:
            high = true;
            break;
        case SimFault::Kind::stuck_low:
            high = false;
            break;
        case SimFault::Kind::flip:
            // Only bits of a loaded byte count, so every Nth bit the PC samples flips.
            if (ram_bits_left_ > 0 && ++bits_since_flip_ >= fault_.flip_every) {
                bits_since_flip_ = 0;
                high = !high;
            }
            break;
    }
    // Worked out without a branch: the bits of a download are as good as random,
    // and a guessed branch on each one would cost more than the rest of the access.
    status_ = static_cast<std::uint8_t>(kIdleStatus & ~(kDataInput * static_cast<unsigned>(!high)));
}

}  // namespace sim
