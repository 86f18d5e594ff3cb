// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The line test's steps: each data line in turn, named by bit and pin.
#include "line_test.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "pause.h"

namespace qcli {
namespace {

namespace board = vandrel::board;

struct Line {
    std::uint8_t bit;
    int pin;
    std::string_view name;
};

constexpr std::array<Line, 8> kLines{{
    {board::kDataLine, 2, "data line"},
    {board::kClockLine, 3, "clock line"},
    {board::kLoadLine, 4, "load line"},
    {board::kResetLine, 5, "reset line"},
    {board::kLowAddressStrobe, 6, "low-address strobe"},
    {board::kHighAddressStrobe, 7, "high-address strobe"},
    {board::kReadStrobe, 8, "read strobe"},
    {board::kWriteStrobe, 9, "write strobe"},
}};

int data_input(const PortIo& io, std::uint16_t base) {
    const auto status = io.read(static_cast<std::uint16_t>(base + board::kStatusOffset));
    return (status & board::kDataInput) != 0 ? 1 : 0;
}

}  // namespace

void run_line_test(std::ostream& out, const LineTestSettings& settings, const PortIo& io) {
    const std::uint16_t base = settings.base;
    std::array<char, 128> text{};

    io.write(base, kHoldLevels);
    std::snprintf(text.data(), text.size(),
                  "port 0x%X: board held in reset, lines at %02X, data input (pin 10) reads %d",
                  unsigned{base}, unsigned{kHoldLevels}, data_input(io, base));
    out << text.data() << '\n';

    for (const Line& line : kLines) {
        if (line.bit == board::kWriteStrobe && !settings.include_write_strobe) {
            std::snprintf(text.data(), text.size(),
                          "pin %d  %-20.*s skipped: pulsing it stores a byte (--all includes it)",
                          line.pin, static_cast<int>(line.name.size()), line.name.data());
            out << text.data() << '\n';
            continue;
        }
        const auto level = static_cast<std::uint8_t>(kHoldLevels ^ line.bit);
        io.write(base, level);
        std::snprintf(text.data(), text.size(), "pin %d  %-20.*s %-4s  data input reads %d",
                      line.pin, static_cast<int>(line.name.size()), line.name.data(),
                      (level & line.bit) != 0 ? "high" : "low", data_input(io, base));
        out << text.data() << std::flush << '\n';
        pause_ms(settings.hold_ms);
        io.write(base, kHoldLevels);
    }

    io.write(base, kIdleLevels);
    std::snprintf(text.data(), text.size(), "lines back at idle, %02X: board running",
                  unsigned{kIdleLevels});
    out << text.data() << '\n';
}

}  // namespace qcli
