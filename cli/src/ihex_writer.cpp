#include "ihex_writer.h"

#include <algorithm>
#include <array>

namespace qcli {
namespace {

constexpr std::size_t kBytesPerRecord = 16;

void append_hex(std::string& out, unsigned value) {
    static constexpr std::array<char, 16> digits{'0', '1', '2', '3', '4', '5', '6', '7',
                                                 '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    out += digits[(value >> 4) & 0xF];
    out += digits[value & 0xF];
}

}  // namespace

std::string write_ihex(std::span<const std::uint8_t> image) {
    std::string out;
    out.reserve((image.size() / kBytesPerRecord + 2) * (11 + 2 * kBytesPerRecord + 1));
    for (std::size_t start = 0; start < image.size(); start += kBytesPerRecord) {
        const std::size_t count = std::min(kBytesPerRecord, image.size() - start);
        // Addresses above 0xFFFF would need a base record; the board's RAM never gets there.
        const unsigned address = static_cast<unsigned>(start) & 0xFFFFu;
        unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFF);
        out += ':';
        append_hex(out, static_cast<unsigned>(count));
        append_hex(out, address >> 8);
        append_hex(out, address & 0xFF);
        append_hex(out, 0x00);
        for (std::size_t i = 0; i < count; ++i) {
            append_hex(out, image[start + i]);
            sum += image[start + i];
        }
        append_hex(out, (0x100u - (sum & 0xFFu)) & 0xFFu);
        out += '\n';
    }
    out += ":00000001FF\n";
    return out;
}

}  // namespace qcli
