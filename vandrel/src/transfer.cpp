// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The upload and download protocol: start sequence, address phase, byte cycles.
#include "transfer.h"

#include "board_lines.h"
#include "last_error.h"
#include "library_state.h"
#include "wait_ms.h"

namespace vandrel {

namespace {

constexpr std::uint8_t kReadStrobeLow = kBoardHeld & ~kReadStrobe;
constexpr std::uint8_t kReadLoad = kReadStrobeLow | kLoadLine;
constexpr std::uint32_t kHoldSettleMs = 500;

bool size_is_valid(std::uint16_t size) {
    return size != 0 && size <= kBufferCapacity;
}

// Holds the board in reset and points both address latches at 0.
void start_sequence() {
    auto& line_image = state().line_image;
    line_image |= kResetLine;
    write_data(line_image);
    wait_ms(kHoldSettleMs);
    send_byte(0x00);
    latch_pulse(kHighAddressStrobe);
    send_byte(0x00);
    latch_pulse(kLowAddressStrobe);
}

// The high latch keeps its byte, so it is only sent again when it changes.
void set_address(std::uint16_t index, std::uint16_t last_address) {
    send_byte(static_cast<std::uint8_t>(index & 0xFF));
    latch_pulse(kLowAddressStrobe);
    if ((index >> 8) != (last_address >> 8)) {
        send_byte(static_cast<std::uint8_t>(index >> 8));
        latch_pulse(kHighAddressStrobe);
    }
}

std::uint8_t read_cycle() {
    auto& line_image = state().line_image;
    line_image = kReadStrobeLow;
    write_data(line_image);
    port_delay(kLongWait);
    line_image = kReadLoad;
    write_data(line_image);
    port_delay(kLongWait);
    // A clock pulse with the load line high puts the addressed byte into the board's
    // shift register, its top bit already on the data input.
    write_data(kReadLoad | kClockLine);
    port_delay(kShortWait);
    const std::uint8_t value = receive_byte();
    line_image = kBoardHeld;
    write_data(line_image);
    port_delay(kShortWait);
    return value;
}

void write_cycle(std::uint8_t value) {
    auto& line_image = state().line_image;
    send_byte(value);
    line_image &= ~kWriteStrobe;  // write strobe low
    write_data(line_image);
    port_delay(kLongWait);
    line_image = kBoardHeld;
    write_data(line_image);
    port_delay(kShortWait);
}

class ProgressReport {
public:
    explicit ProgressReport(std::uint16_t total) : total_(total), interval_(total / 20) {}

    void byte_done(std::uint16_t index) {
        ++counter_;
        if (counter_ > interval_) {
            // Read the callback each time: it is allowed to be none.
            if (const auto callback = state().callback) {
                callback(index, total_);
            }
            counter_ = 0;
        }
    }

    void finish() const {
        if (const auto callback = state().callback) {
            callback(total_, total_);
        }
    }

private:
    std::uint16_t total_;
    std::uint16_t interval_;
    std::uint16_t counter_ = 0;
};

template <typename Cycle>
void run_transfer(std::uint16_t count, Cycle cycle) {
    ProgressReport progress(count);
    start_sequence();
    std::uint16_t last_address = 0;
    for (std::uint16_t index = 0; index < count; ++index) {
        set_address(index, last_address);
        last_address = index;
        cycle(index);
        progress.byte_done(index);
    }
    progress.finish();
}

}  // namespace

std::uint16_t download(std::uint16_t size) {
    if (!size_is_valid(size)) {
        set_last_error("please give a valid read-size");
        return 0;
    }
    auto& st = state();
    st.buffer_size = size;
    run_transfer(size, [&st](std::uint16_t index) { st.buffer[index] = read_cycle(); });
    return size;
}

std::uint16_t upload() {
    auto& st = state();
    const std::uint16_t count = st.buffer_size;
    if (!size_is_valid(count)) {
        set_last_error("please load into buffer at first");
        return 0;
    }
    run_transfer(count, [&st](std::uint16_t index) { write_cycle(st.buffer[index]); });
    return count;
}

}  // namespace vandrel
