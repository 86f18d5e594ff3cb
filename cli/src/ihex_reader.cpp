#include "ihex_reader.h"

#include <array>
#include <cstdio>

namespace qcli {
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

struct Parser {
    std::uint8_t fill;
    IhexResult result;
    std::uint32_t base = 0;  // from the last 02 or 04 record
    bool ended = false;

    bool fail(std::size_t line, std::string message) {
        result.error = std::move(message);
        result.line = line;
        result.image.clear();
        return false;
    }

    bool store(std::size_t line, std::uint32_t address, std::uint8_t value) {
        if (address >= kBoardRamSize) {
            std::array<char, 96> text{};
            std::snprintf(text.data(), text.size(),
                          "address 0x%X lies beyond the board's RAM (0x0000-0x7FFF)",
                          static_cast<unsigned>(address));
            return fail(line, text.data());
        }
        if (address >= result.image.size()) {
            result.image.resize(address + 1, fill);
        }
        result.image[address] = value;
        return true;
    }

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
        for (std::size_t i = 0; i < count; ++i) {
            bytes[i] = static_cast<std::uint8_t>(hex_value(text[1 + 2 * i]) * 16 +
                                                 hex_value(text[2 + 2 * i]));
        }
        const std::size_t length = bytes[0];
        if (count != length + 5) {
            return fail(line, "record length " + std::to_string(length) + " does not match its " +
                                  std::to_string(count - 5) + " data bytes");
        }
        unsigned sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            sum += bytes[i];
        }
        if ((sum & 0xFFu) != 0) {
            const unsigned expected = (0x100u - ((sum - bytes[count - 1]) & 0xFFu)) & 0xFFu;
            return fail(line,
                        "checksum " + hex2(bytes[count - 1]) + " should be " + hex2(expected));
        }
        const std::uint32_t offset = (std::uint32_t{bytes[1]} << 8) | bytes[2];
        const std::uint8_t type = bytes[3];
        const std::uint8_t* data = bytes.data() + 4;
        switch (type) {
            case 0x00:
                for (std::size_t i = 0; i < length; ++i) {
                    if (!store(line, base + offset + static_cast<std::uint32_t>(i), data[i])) {
                        return false;
                    }
                }
                return true;
            case 0x01:
                if (length != 0) {
                    return fail(line, "end record carries data");
                }
                ended = true;
                return true;
            case 0x02:
            case 0x04: {
                if (length != 2) {
                    return fail(line,
                                "address record of type " + hex2(type) + " needs 2 data bytes");
                }
                const std::uint32_t value = (std::uint32_t{data[0]} << 8) | data[1];
                base = type == 0x02 ? value << 4 : value << 16;
                return true;
            }
            default:
                return fail(line, "record type " + hex2(type) + " is not supported");
        }
    }
};

std::string_view trim_line(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

IhexResult read_ihex(std::string_view text, std::uint8_t fill) {
    Parser parser{fill, {}};
    std::size_t line = 0;
    while (!text.empty() && !parser.ended) {
        ++line;
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::string_view record = trim_line(raw);
        if (record.empty()) {
            continue;
        }
        if (record.front() != ':') {
            parser.fail(line,
                        "record does not start with ':' but with " + describe_char(record.front()));
            return std::move(parser.result);
        }
        if (!parser.record(line, record)) {
            return std::move(parser.result);
        }
    }
    if (!parser.ended) {
        parser.fail(line + 1, "file ends without an end record (:00000001FF)");
    } else if (parser.result.image.empty()) {
        parser.fail(line, "no data before the end record");
    }
    return std::move(parser.result);
}

}  // namespace qcli
