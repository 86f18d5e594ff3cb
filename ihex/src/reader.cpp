// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Reading Intel HEX records into an image, with the line of the first fault.
#include <algorithm>
#include <array>
#include <cstdio>

#include "ihex.h"

namespace ihex {
namespace {

// A record carries at most 255 data bytes: ':' + 2 + 4 + 2 + 510 + 2 characters.
constexpr std::size_t kMaxRecordChars = 1 + 2 + 4 + 2 + 255 * 2 + 2;

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string hex2(unsigned value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02X", value & 0xFFu);
    return text.data();
}

std::string describe_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
        return std::string("'") + c + "'";
    }
    return "byte 0x" + hex2(u);
}

std::string_view trim_line(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

class Reader {
public:
    Reader(const ReadRules& rules, const Store& store) : rules_(rules), store_(store) {}

    bool ended() const { return ended_; }
    Error& error() { return error_; }

    bool fail(std::size_t line, std::string what) {
        error_ = Error{std::move(what), line};
        return false;
    }

    // One record, ':' included, blanks trimmed.
    bool record(std::size_t line, std::string_view text) {
        if (text.size() > kMaxRecordChars) {
            return fail(line, "record too long");
        }
        for (std::size_t i = 1; i < text.size(); ++i) {
            if (hex_value(text[i]) < 0) {
                return fail(line, "non-hex character " + describe_char(text[i]));
            }
        }
        const std::size_t digits = text.size() - 1;
        if (digits % 2 != 0) {
            return fail(line, "odd number of hex digits");
        }
        if (digits < 10) {
            return fail(line, "record too short");
        }
        std::array<std::uint8_t, 5 + 255> bytes{};
        const std::size_t count = digits / 2;
        unsigned sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            bytes[i] = static_cast<std::uint8_t>(hex_value(text[1 + 2 * i]) * 16 +
                                                 hex_value(text[2 + 2 * i]));
            sum += bytes[i];
        }
        const std::size_t length = bytes[0];
        if (count != length + 5) {
            return fail(line, "record length " + std::to_string(length) + " does not match its " +
                                  std::to_string(count - 5) + " data bytes");
        }
        if ((sum & 0xFFu) != 0) {
            const unsigned expected = (0x100u - ((sum - bytes[count - 1]) & 0xFFu)) & 0xFFu;
            return fail(line,
                        "checksum " + hex2(bytes[count - 1]) + " should be " + hex2(expected));
        }
        const std::uint32_t offset = (std::uint32_t{bytes[1]} << 8) | bytes[2];
        const std::uint8_t type = bytes[3];
        const std::span<const std::uint8_t> data(bytes.data() + 4, length);
        switch (type) {
            case 0x00:
                return data_record(line, base_ + offset, data);
            case 0x01:
                if (length != 0) {
                    return fail(line, "end record carries data");
                }
                ended_ = true;
                if (rules_.need_data && !any_data_) {
                    return fail(line, "no data before the end record");
                }
                return true;
            case 0x02:
            case 0x04: {
                if (length != 2) {
                    return fail(line,
                                "address record of type " + hex2(type) + " needs 2 data bytes");
                }
                const std::uint32_t value = (std::uint32_t{data[0]} << 8) | data[1];
                base_ = type == 0x02 ? value << 4 : value << 16;
                return true;
            }
            default:
                return fail(line, "record type " + hex2(type) + " is not supported");
        }
    }

private:
    bool data_record(std::size_t line, std::uint32_t address, std::span<const std::uint8_t> data) {
        // An empty record stores nothing, wherever its address points: passing it on
        // would make a store grow its image up to an address far past the RAM.
        if (data.empty()) {
            return true;
        }
        // Linear bases reach 0xFFFF0000, so the end is worked out in 64 bits.
        if (std::uint64_t{address} + data.size() > rules_.limit) {
            const std::uint32_t beyond = address >= rules_.limit ? address : rules_.limit;
            std::array<char, 96> text{};
            std::snprintf(text.data(), text.size(),
                          "address 0x%X lies beyond the board's RAM (0x0000-0x%X)",
                          static_cast<unsigned>(beyond), static_cast<unsigned>(rules_.limit - 1));
            return fail(line, text.data());
        }
        if (std::string problem = store_(address, data); !problem.empty()) {
            return fail(line, std::move(problem));
        }
        any_data_ = true;
        return true;
    }

    const ReadRules& rules_;
    const Store& store_;
    Error error_;
    std::uint32_t base_ = 0;  // from the last 02 or 04 record
    bool ended_ = false;
    bool any_data_ = false;
};

}  // namespace

Error read_records(std::string_view text, const ReadRules& rules, const Store& store) {
    Reader reader(rules, store);
    std::size_t line = 0;
    while (!text.empty() && !reader.ended()) {
        ++line;
        const std::size_t end = text.find('\n');
        const std::string_view record = trim_line(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (record.empty() || (record.front() != ':' && rules.skip_other_lines)) {
            continue;
        }
        if (record.front() != ':') {
            reader.fail(line,
                        "record does not start with ':' but with " + describe_char(record.front()));
            return std::move(reader.error());
        }
        if (!reader.record(line, record)) {
            return std::move(reader.error());
        }
    }
    if (!reader.ended() && rules.need_end) {
        reader.fail(line + 1, "file ends without an end record (:00000001FF)");
    }
    return std::move(reader.error());
}

Image read_image(std::string_view text, std::uint8_t fill, std::uint32_t limit) {
    Image image;
    std::vector<bool> given;  // per address of image.bytes: set by a record, not the fill
    image.error =
        read_records(text, ReadRules{limit, false, true, true},
                     [&](std::uint32_t address, std::span<const std::uint8_t> data) -> std::string {
                         if (address + data.size() > image.bytes.size()) {
                             image.bytes.resize(address + data.size(), fill);
                             given.resize(image.bytes.size(), false);
                         }
                         for (std::size_t i = 0; i < data.size(); ++i) {
                             const std::size_t at = address + i;
                             // Which of two different bytes the user meant, nothing can tell.
                             if (given[at] && image.bytes[at] != data[i]) {
                                 std::array<char, 48> text{};
                                 std::snprintf(text.data(), text.size(), "address %04X given twice",
                                               static_cast<unsigned>(at));
                                 return text.data();
                             }
                             image.bytes[at] = data[i];
                             given[at] = true;
                         }
                         return {};
                     });
    if (image.error) {
        image.bytes.clear();
    }
    return image;
}

Stored read_into(std::string_view text, std::span<std::uint8_t> image) {
    Stored stored;
    const auto limit = static_cast<std::uint32_t>(std::min<std::size_t>(image.size(), 0xFFFFFFFF));
    stored.error = read_records(text, ReadRules{limit, true, false, false},
                                [&](std::uint32_t address, std::span<const std::uint8_t> data) {
                                    std::copy(data.begin(), data.end(), image.begin() + address);
                                    stored.bytes += data.size();
                                    return std::string();
                                });
    return stored;
}

}  // namespace ihex
