// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Values printed as gdb prints them.
#include "values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

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

}  // namespace

std::string detail::string_text(std::string_view bytes) {
    std::string text = "\"";
    for (const char byte : bytes) {
        text += char_text(static_cast<unsigned char>(byte), '"');
    }
    return text + "\"";
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
    if (value.type.chain.empty()) {
        return "<no type>";
    }
    const cdb::Declarator& outer = value.type.chain.front();
    const std::uint64_t raw = little_endian(value.bytes);
    switch (outer.kind) {
        case Kind::array: {
            const bool characters = value.type.chain.size() == 2 &&
                                    value.type.chain[1].kind == Kind::char_ && format == 0;
            if (characters) {
                // The string's own terminating zero is not shown.
                std::string_view bytes(reinterpret_cast<const char*>(value.bytes.data()),
                                       value.bytes.size());
                if (!bytes.empty() && bytes.back() == 0) {
                    bytes.remove_suffix(1);
                }
                return string_text(bytes);
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
        case Kind::bit_field: {
            unsigned bits = 0;
            if (value.bit >= 0) {
                bits = (raw >> value.bit) & 1;
            } else {
                bits = static_cast<unsigned>((raw >> outer.offset) & ((1ULL << outer.width) - 1));
            }
            return format == 'x' ? hex_text(bits) : std::to_string(bits);
        }
        case Kind::float_: {
            std::uint32_t bits = static_cast<std::uint32_t>(raw);
            float number = 0;
            std::memcpy(&number, &bits, sizeof number);
            char text[32];
            // Nine digits tell every float apart, as gdb prints them.
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(number));
            return text;
        }
        case Kind::void_:
            return "void";
        case Kind::char_: {
            if (format == 'x') {
                return hex_text(raw & 0xFF);
            }
            const std::int64_t number =
                value.type.is_signed ? as_signed(raw, 1) : static_cast<std::int64_t>(raw);
            return std::to_string(number) + " '" +
                   char_text(static_cast<unsigned char>(raw), '\'') + "'";
        }
        case Kind::int_:
        case Kind::short_int:
        case Kind::long_int:
            if (format == 'x') {
                return hex_text(raw);
            }
            return value.type.is_signed ? std::to_string(as_signed(raw, value.bytes.size()))
                                        : std::to_string(raw);
    }
    return "?";
}

}  // namespace debugger
