#include "line_test.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "pause.h"

namespace qcli {
namespace {

struct Line {
    std::uint8_t bit;
    int pin;
    std::string_view name;
};

constexpr std::array<Line, 8> kLines{{
    {0x01, 2, "data line"},
    {0x02, 3, "clock line"},
    {0x04, 4, "load line"},
    {0x08, 5, "reset line"},
    {0x10, 6, "low-address strobe"},
    {0x20, 7, "high-address strobe"},
    {0x40, 8, "read strobe"},
    {0x80, 9, "write strobe"},
}};

constexpr std::uint8_t kWriteStrobe = 0x80;
constexpr std::uint8_t kDataInput = 0x40;

int data_input(const PortIo& io, std::uint16_t base) {
    return (io.read(static_cast<std::uint16_t>(base + 1)) & kDataInput) != 0 ? 1 : 0;
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
        if (line.bit == kWriteStrobe && !settings.include_write_strobe) {
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
