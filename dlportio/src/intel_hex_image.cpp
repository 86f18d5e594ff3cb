#include "intel_hex_image.h"

#include <algorithm>
#include <array>

namespace dlportio {

namespace {

constexpr std::size_t kRecordBytes = 32;
constexpr std::string_view kDigits = "0123456789ABCDEF";

void put_byte(std::string& out, std::uint8_t value, std::uint8_t& sum) {
    out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
    sum = static_cast<std::uint8_t>(sum + value);
}

int digit_value(char c) {
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

// The bytes of one record line after the colon, or nothing when it is malformed.
std::optional<std::size_t> record_bytes(std::string_view hex, std::array<std::uint8_t, 260>& raw) {
    while (!hex.empty() && (hex.back() == '\r' || hex.back() == ' ' || hex.back() == '\t')) {
        hex.remove_suffix(1);
    }
    if (hex.size() % 2 != 0 || hex.size() / 2 > raw.size() || hex.size() < 10) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < hex.size() / 2; ++i) {
        const int high = digit_value(hex[2 * i]);
        const int low = digit_value(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        raw[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return hex.size() / 2;
}

}  // namespace

std::string to_intel_hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / kRecordBytes * 76 + 16);
    for (std::size_t at = 0; at < bytes.size(); at += kRecordBytes) {
        const std::size_t count = std::min(kRecordBytes, bytes.size() - at);
        std::uint8_t sum = 0;
        out += ':';
        put_byte(out, static_cast<std::uint8_t>(count), sum);
        put_byte(out, static_cast<std::uint8_t>(at >> 8), sum);
        put_byte(out, static_cast<std::uint8_t>(at), sum);
        put_byte(out, 0x00, sum);
        for (std::size_t i = 0; i < count; ++i) {
            put_byte(out, bytes[at + i], sum);
        }
        std::uint8_t ignored = 0;
        put_byte(out, static_cast<std::uint8_t>(-sum), ignored);
        out += '\n';
    }
    out += ":00000001FF\n";
    return out;
}

std::optional<std::size_t> parse_intel_hex(std::string_view text, std::span<std::uint8_t> image) {
    std::size_t stored = 0;
    std::uint32_t upper = 0;  // from extended address records
    std::array<std::uint8_t, 260> raw{};
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() != ':') {
            continue;
        }
        const auto size = record_bytes(line.substr(1), raw);
        if (!size) {
            return std::nullopt;
        }
        const std::size_t count = raw[0];
        if (*size != count + 5) {
            return std::nullopt;
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < *size; ++i) {
            sum = static_cast<std::uint8_t>(sum + raw[i]);
        }
        if (sum != 0) {
            return std::nullopt;
        }
        const std::uint32_t address = upper + (static_cast<std::uint32_t>(raw[1]) << 8 | raw[2]);
        switch (raw[3]) {
            case 0x00:
                if (address + count > image.size()) {
                    return std::nullopt;
                }
                for (std::size_t i = 0; i < count; ++i) {
                    image[address + i] = raw[4 + i];
                }
                stored += count;
                break;
            case 0x01:
                return stored;
            case 0x02:  // extended segment address
                upper = count == 2 ? (static_cast<std::uint32_t>(raw[4]) << 8 | raw[5]) << 4 : 0;
                break;
            case 0x04:  // extended linear address
                upper = count == 2 ? (static_cast<std::uint32_t>(raw[4]) << 8 | raw[5]) << 16 : 0;
                break;
            default:  // start addresses mean nothing to a memory image
                break;
        }
    }
    return stored;
}

}  // namespace dlportio
