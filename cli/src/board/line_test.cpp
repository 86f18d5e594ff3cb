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

// Writes the levels and reads them back where the port can: the lines that
// showed another level join `wrong`, with the level they were driven to.
class DrivenLines {
public:
    DrivenLines(const PortIo& io, std::uint16_t base) : io_(io), base_(base) {}

    // The bits of this write that read back wrong.
    std::uint8_t write(std::uint8_t levels) {
        io_.write(base_, levels);
        const auto back = io_.read_back != nullptr ? io_.read_back(base_) : std::nullopt;
        const auto differ = static_cast<std::uint8_t>(back ? (*back ^ levels) & ~wrong_ : 0);
        wrong_ |= differ;
        driven_high_ |= static_cast<std::uint8_t>(levels & differ);
        return back ? static_cast<std::uint8_t>((*back ^ levels)) : 0;
    }

    std::vector<StuckLine> stuck() const {
        std::vector<StuckLine> lines;
        for (const Line& line : kLines) {
            if ((wrong_ & line.bit) != 0) {
                lines.push_back({line.pin, line.name, (driven_high_ & line.bit) != 0});
            }
        }
        return lines;
    }

private:
    const PortIo& io_;
    std::uint16_t base_;
    std::uint8_t wrong_ = 0;
    std::uint8_t driven_high_ = 0;
};

}  // namespace

std::vector<StuckLine> run_line_test(std::ostream& out, const LineTestSettings& settings,
                                     const PortIo& io) {
    const std::uint16_t base = settings.base;
    std::array<char, 128> text{};
    DrivenLines lines(io, base);

    lines.write(kHoldLevels);
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
        const bool high = (level & line.bit) != 0;
        const bool follows = (lines.write(level) & line.bit) == 0;
        std::snprintf(text.data(), text.size(), "pin %d  %-20.*s %-4s  data input reads %d%s",
                      line.pin, static_cast<int>(line.name.size()), line.name.data(),
                      high ? "high" : "low", data_input(io, base),
                      follows ? ""
                      : high  ? "  but the pin reads low"
                              : "  but the pin reads high");
        out << text.data() << std::flush << '\n';
        pause_ms(settings.hold_ms);
        lines.write(kHoldLevels);
    }

    lines.write(kIdleLevels);
    std::snprintf(text.data(), text.size(), "lines back at idle, %02X: board running",
                  unsigned{kIdleLevels});
    out << text.data() << '\n';
    return lines.stuck();
}

}  // namespace qcli
