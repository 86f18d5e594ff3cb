// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Memory references of the 8051's spaces, and base64.
#include "memory_reference.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace dap {

namespace {

using debugger::Space;

struct Named {
    std::string_view name;
    Space space;
    unsigned begin;
    unsigned end;
};
constexpr std::array kSpaces{
    Named{"code", Space::code, 0, 0x10000},
    Named{"xdata", Space::xdata, 0, 0x10000},
    Named{"idata", Space::idata, 0, 0x100},
    Named{"sfr", Space::sfr, 0x80, 0x100},
};

const Named& named(Space space) {
    for (const Named& n : kSpaces) {
        if (n.space == space) {
            return n;
        }
    }
    return kSpaces.front();
}

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string reference(Space space, unsigned address) {
    char text[24];
    std::snprintf(text, sizeof text, "%s:0x%04x", named(space).name.data(), address);
    return text;
}

std::optional<Place> parse_reference(std::string_view text) {
    Space space = Space::code;
    if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        const std::string_view name = text.substr(0, colon);
        const Named* found = nullptr;
        for (const Named& n : kSpaces) {
            if (n.name == name) {
                found = &n;
            }
        }
        if (found == nullptr) {
            return std::nullopt;
        }
        space = found->space;
        text.remove_prefix(colon + 1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned address = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), address, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        address >= named(space).end) {
        return std::nullopt;
    }
    return Place{space, address};
}

unsigned space_end(Space space) {
    return named(space).end;
}

unsigned space_begin(Space space) {
    return named(space).begin;
}

std::string base64(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
        group |= n > 1 ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0;
        group |= n > 2 ? bytes[i + 2] : 0;
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> from_base64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t group = 0;
    int bits = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const std::size_t value = kAlphabet.find(c);
        if (value == std::string_view::npos || padding != 0) {
            return std::nullopt;
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(group >> bits));
        }
    }
    if (padding > 2) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace dap
