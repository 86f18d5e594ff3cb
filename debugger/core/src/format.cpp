// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Values printed as gdb prints them.
#include "values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include "value_bytes.h"

namespace debugger {

using namespace detail;

namespace {

// gdb's way with a character: '\a', 'A', '\377'.
std::string char_text(unsigned char c, char quote) {
    switch (c) {
        case '\a':
            return "\\a";
        case '\b':
            return "\\b";
        case '\f':
            return "\\f";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '\v':
            return "\\v";
        case '\\':
            return "\\\\";
        default:
            break;
    }
    if (c == static_cast<unsigned char>(quote)) {
        return std::string("\\") + quote;
    }
    if (c >= 0x20 && c < 0x7F) {
        return std::string(1, static_cast<char>(c));
    }
    char text[8];
    std::snprintf(text, sizeof text, "\\%03o", c);
    return text;
}

std::string hex_text(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string digits(std::uint64_t value, unsigned base) {
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + value % base));
        value /= base;
    } while (value != 0);
    return text;
}

// An integer of `size` bytes as gdb prints it with a format letter: /x, /o
// and /t show its bytes, /d and /u read them as signed and unsigned, /c as
// a character; without a letter its own signedness decides and a char shows
// its character too.
std::string integer_text(std::uint64_t bits, unsigned size, bool is_signed, bool character,
                         char format) {
    const unsigned width = std::clamp(size, 1U, 8U) * 8;
    const std::uint64_t all = width >= 64 ? bits : bits & ((std::uint64_t{1} << width) - 1);
    const std::int64_t signed_value = as_signed(all, width / 8);
    switch (format) {
        case 'x':
            return hex_text(all);
        case 'o':
            return all == 0 ? "0" : "0" + digits(all, 8);
        case 't':
            return digits(all, 2);
        case 'd':
            return std::to_string(signed_value);
        case 'u':
            return std::to_string(all);
        case 'c': {
            const auto low = static_cast<std::uint8_t>(all);
            const std::int64_t shown = is_signed ? static_cast<std::int8_t>(low) : low;
            return std::to_string(shown) + " '" + char_text(low, '\'') + "'";
        }
        default:
            break;
    }
    std::string text = is_signed ? std::to_string(signed_value) : std::to_string(all);
    if (character) {
        text += " '" + char_text(static_cast<unsigned char>(all), '\'') + "'";
    }
    return text;
}

// gdb's threshold: a run of more than this many equal characters is shown as
// one with its count.
constexpr std::size_t kRepeats = 10;

// A char array as gdb prints it: one NUL at its end is the terminator and
// not shown, long runs are counted: "node", 'a' <repeats 13 times>, "b".
std::string char_array_text(std::span<const std::uint8_t> bytes) {
    if (!bytes.empty() && bytes.back() == 0) {
        bytes = bytes.first(bytes.size() - 1);
    }
    if (bytes.empty()) {
        return "\"\"";
    }
    std::string text;
    std::string quoted;
    const auto flush = [&] {
        if (!quoted.empty()) {
            text += (text.empty() ? "\"" : ", \"") + quoted + "\"";
            quoted.clear();
        }
    };
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i]) {
            ++run;
        }
        if (run > kRepeats) {
            flush();
            text += (text.empty() ? "'" : ", '") + char_text(bytes[i], '\'') + "' <repeats " +
                    std::to_string(run) + " times>";
        } else {
            for (std::size_t k = 0; k < run; ++k) {
                quoted += char_text(bytes[i], '"');
            }
        }
        i += run;
    }
    flush();
    return text;
}

}  // namespace

std::string detail::string_text(std::string_view bytes) {
    return char_array_text(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<Value> Values::parts(const Value& value) const {
    std::vector<Value> pieces;
    if (value.type.chain.empty()) {
        return pieces;
    }
    const cdb::DebugInfo& info = program_.info();
    const cdb::Declarator& outer = value.type.chain.front();
    const auto slice = [&value](unsigned offset, unsigned size, Value& piece) {
        for (unsigned i = offset; i < offset + size && i < value.cells.size(); ++i) {
            piece.cells.push_back(value.cells[i]);
        }
        for (unsigned i = offset; i < offset + size && i < value.bytes.size(); ++i) {
            piece.bytes.push_back(value.bytes[i]);
        }
        piece.optimized_out = value.optimized_out;
    };
    if (outer.kind == Kind::array) {
        const cdb::Type element = rest_of(info, value.type, 1);
        for (unsigned i = 0; i < outer.count; ++i) {
            Value piece;
            piece.name = "[" + std::to_string(i) + "]";
            piece.type = element;
            slice(i * element.size, element.size, piece);
            pieces.push_back(std::move(piece));
        }
    } else if (outer.kind == Kind::structure) {
        if (const cdb::Structure* s = info.structure(outer.name)) {
            for (const cdb::Member& member : s->members) {
                Value piece;
                piece.name = member.symbol.name;
                piece.type = member.symbol.type;
                slice(member.offset, member.symbol.type.size, piece);
                pieces.push_back(std::move(piece));
            }
        }
    }
    return pieces;
}

std::string Values::format(const Value& value, char format) const {
    if (value.optimized_out) {
        return "<optimized out>";
    }
    if (value.type.chain.empty()) {
        return "<no type>";
    }
    const cdb::Declarator& outer = value.type.chain.front();
    const std::uint64_t raw = little_endian(value.bytes);
    const auto size = static_cast<unsigned>(value.bytes.size());
    switch (outer.kind) {
        case Kind::array: {
            const bool characters = value.type.chain.size() == 2 &&
                                    value.type.chain[1].kind == Kind::char_ && format == 0;
            if (characters) {
                return char_array_text(value.bytes);
            }
            std::string text = "{";
            for (const Value& piece : parts(value)) {
                text += (text.size() > 1 ? ", " : "") + this->format(piece, format);
            }
            return text + "}";
        }
        case Kind::structure: {
            std::string text = "{";
            for (const Value& piece : parts(value)) {
                text += (text.size() > 1 ? ", " : "") + piece.name + " = " +
                        this->format(piece, format);
            }
            return text + "}";
        }
        case Kind::pointer:
        case Kind::function:
            return pointer_text(value, format);
        case Kind::sbit:
            return integer_text(value.bit >= 0 ? (raw >> value.bit) & 1 : raw & 1, 1, false, false,
                                format);
        case Kind::bit_field: {
            std::uint64_t bits =
                value.bit >= 0 ? (raw >> value.bit) & 1
                               : (raw >> outer.offset) & ((std::uint64_t{1} << outer.width) - 1);
            // A signed field's top bit is its sign, as in the type it was declared with.
            if (value.type.is_signed && value.bit < 0 && outer.width > 0 && outer.width < 64 &&
                (bits >> (outer.width - 1)) != 0) {
                bits |= ~((std::uint64_t{1} << outer.width) - 1);
            }
            const unsigned field_size = value.type.size != 0 ? value.type.size : 1;
            // A bit of the bit area is a number; a char's bit-field shows its character.
            return integer_text(bits, field_size, value.type.is_signed,
                                field_size == 1 && value.bit < 0, format);
        }
        case Kind::float_: {
            if (format != 0) {
                return integer_text(raw, size, true, false, format);
            }
            const auto bits = static_cast<std::uint32_t>(raw);
            float number = 0;
            std::memcpy(&number, &bits, sizeof number);
            // gdb shows a NaN's payload: nan(0x400000), -nan(0x400000).
            if (std::isnan(number)) {
                char text[32];
                std::snprintf(text, sizeof text, "%snan(0x%x)", (bits >> 31) != 0 ? "-" : "",
                              bits & 0x7FFFFFU);
                return text;
            }
            // gdb's 9 significant digits: enough to give back the float's every bit.
            char text[32];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(number));
            return text;
        }
        case Kind::void_:
            return "void";
        case Kind::char_:
            return integer_text(raw, 1, value.type.is_signed, true, format);
        case Kind::int_:
        case Kind::short_int:
        case Kind::long_int:
            return integer_text(raw, size, value.type.is_signed, false, format);
    }
    return "?";
}

}  // namespace debugger
