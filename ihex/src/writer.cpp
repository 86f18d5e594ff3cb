// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Writing an image as Intel HEX data records and the end record.
#include <algorithm>
#include <array>
#include <string_view>

#include "ihex.h"

namespace ihex {
namespace {

constexpr std::string_view kDigits = "0123456789ABCDEF";
constexpr std::size_t kSegment = 0x10000;  // what a record's 16-bit address reaches

class RecordWriter {
public:
    explicit RecordWriter(std::string& out) : out_(out) {}

    void write(std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data) {
        sum_ = 0;
        out_ += ':';
        byte(static_cast<std::uint8_t>(data.size()));
        byte(static_cast<std::uint8_t>(address >> 8));
        byte(static_cast<std::uint8_t>(address));
        byte(type);
        for (const std::uint8_t value : data) {
            byte(value);
        }
        byte(static_cast<std::uint8_t>(0x100 - sum_));
        out_ += '\n';
    }

private:
    void byte(std::uint8_t value) {
        out_ += kDigits[value >> 4];
        out_ += kDigits[value & 0x0F];
        sum_ = static_cast<std::uint8_t>(sum_ + value);
    }

    std::string& out_;
    std::uint8_t sum_ = 0;
};

}  // namespace

std::string write_image(std::span<const std::uint8_t> bytes, std::size_t bytes_per_record) {
    const std::size_t per_record = std::clamp<std::size_t>(bytes_per_record, 1, 255);
    std::string out;
    out.reserve((bytes.size() / per_record + 2) * (11 + 2 * per_record + 1));
    RecordWriter records(out);
    for (std::size_t at = 0; at < bytes.size();) {
        if (at % kSegment == 0 && at > 0) {
            const auto upper = static_cast<std::uint16_t>(at / kSegment);
            const std::array<std::uint8_t, 2> base{static_cast<std::uint8_t>(upper >> 8),
                                                   static_cast<std::uint8_t>(upper)};
            records.write(0x04, 0, base);
        }
        // A record never runs past the end of its 64 KB segment.
        const std::size_t count =
            std::min({per_record, bytes.size() - at, kSegment - at % kSegment});
        records.write(0x00, static_cast<std::uint16_t>(at % kSegment), bytes.subspan(at, count));
        at += count;
    }
    out += ":00000001FF\n";
    return out;
}

}  // namespace ihex
