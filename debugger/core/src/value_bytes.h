// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What the parts of the value code share: the special registers they read
// and the byte-level helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values.h"

namespace debugger::detail {

using Kind = cdb::Declarator::Kind;

constexpr unsigned kPsw = 0xD0;
constexpr unsigned kSp = 0x81;
constexpr unsigned kDpl = 0x82;
constexpr unsigned kDph = 0x83;
constexpr unsigned kAcc = 0xE0;
constexpr unsigned kB = 0xF0;
// Bit addresses below 0x80 are the bits of internal RAM from 0x20 on.
constexpr unsigned kBitArea = 0x20;

// "\"hello\\n\"": characters in double quotes with C's escapes, as gdb prints a string.
std::string string_text(std::string_view bytes);

inline cdb::Type rest_of(const cdb::DebugInfo& info, const cdb::Type& type, std::size_t from) {
    cdb::Type rest;
    rest.chain.assign(type.chain.begin() + static_cast<long>(from), type.chain.end());
    rest.is_signed = type.is_signed;
    rest.size = size_of(info, rest.chain);
    return rest;
}

inline cdb::Type byte_type(unsigned size = 1) {
    cdb::Type type;
    type.size = size;
    type.chain.push_back(cdb::Declarator{size == 1 ? Kind::char_ : Kind::int_, 0, 0, {}, 0, 0});
    return type;
}

inline std::uint64_t little_endian(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

inline std::int64_t as_signed(std::uint64_t value, std::size_t bytes) {
    if (bytes == 0 || bytes >= 8) {
        return static_cast<std::int64_t>(value);
    }
    const std::uint64_t sign = std::uint64_t{1} << (bytes * 8 - 1);
    return static_cast<std::int64_t>((value ^ sign) - sign);
}

}  // namespace debugger::detail
