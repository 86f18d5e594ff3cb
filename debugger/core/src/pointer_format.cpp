// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Pointers and functions printed as gdb prints them: the address, the symbol
// it points into, a character pointer's string, and the type before a whole
// pointer that `print` shows.
#include <cstdio>

#include "expression_parser.h"
#include "value_bytes.h"
#include "values.h"

namespace debugger {

using namespace detail;

namespace {

constexpr unsigned kP2 = 0xA0;
// As gdb's `print elements`.
constexpr unsigned kStringLimit = 200;

std::string hex_text(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

Space space_of(cdb::Space space) {
    using S = cdb::Space;
    switch (space) {
        case S::external:
            return Space::xdata;
        case S::code:
        case S::code_static:
            return Space::code;
        case S::sfr:
            return Space::sfr;
        default:
            return Space::idata;
    }
}

// " <name>" or " <name+4>" for the function or static variable holding
// `address`; nothing when none does.
std::string symbol_at(const cdb::DebugInfo& info, Space space, unsigned address) {
    if (space == Space::code) {
        if (const cdb::Function* f = info.function_at(address); f != nullptr && f->entry) {
            return " <" + f->name +
                   (address == *f->entry ? "" : "+" + std::to_string(address - *f->entry)) + ">";
        }
    }
    for (const cdb::Symbol& symbol : info.symbols) {
        using S = cdb::Space;
        if (symbol.scope.kind == cdb::Scope::Kind::local || !symbol.address ||
            symbol.type.chain.empty() || symbol.type.chain.front().kind == Kind::function ||
            (symbol.space != S::data && symbol.space != S::idata && symbol.space != S::external &&
             symbol.space != S::code && symbol.space != S::code_static) ||
            space_of(symbol.space) != space) {
            continue;
        }
        const unsigned size = std::max(symbol.type.size, 1u);
        if (address >= *symbol.address && address < *symbol.address + size) {
            return " <" + symbol.name +
                   (address == *symbol.address ? ""
                                               : "+" + std::to_string(address - *symbol.address)) +
                   ">";
        }
    }
    return {};
}

}  // namespace

std::string Values::pointer_text(const Value& value, char format) const {
    const std::uint64_t raw = little_endian(value.bytes);
    const cdb::DebugInfo& info = program_.info();
    if (value.type.chain.front().kind == Kind::function) {
        const auto address = static_cast<unsigned>(raw & 0xFFFF);
        return "{" + type_name(value.type) + "} " + hex_text(address) +
               symbol_at(info, Space::code, address);
    }
    if (format == 'x' || format == 'd' || format == 'u') {
        return format == 'x' ? hex_text(raw) : std::to_string(raw);
    }
    std::uint8_t page = 0;
    target_.read(Space::sfr, kP2, std::span(&page, 1));
    const auto [space, address] = pointer_target(value, page);
    std::string text = hex_text(address);
    const bool to_char = value.type.chain.size() == 2 && value.type.chain[1].kind == Kind::char_;
    if (!to_char || address == 0) {
        return text + symbol_at(info, space, address);
    }
    Value chars;
    chars.type = rest_of(info, value.type, 1);
    std::string string;
    for (unsigned i = 0; i <= kStringLimit; ++i) {
        chars.cells = {{space, address + i}};
        if (!read(chars)) {
            return text + " <error: Cannot access memory at address " + hex_text(address + i) + ">";
        }
        if (chars.bytes[0] == 0) {
            return text + " " + string_text(string);
        }
        if (i == kStringLimit) {
            return text + " " + string_text(string) + "...";
        }
        string += static_cast<char>(chars.bytes[0]);
    }
    return text;
}

std::string Values::show(const Value& value, char format) const {
    if (value.type.chain.empty() || value.type.chain.front().kind != Kind::pointer || format != 0) {
        return this->format(value, format);
    }
    const bool to_char = value.type.chain.size() == 2 && value.type.chain[1].kind == Kind::char_;
    const std::string text = this->format(value, format);
    return to_char ? text : "(" + type_name(value.type) + ") " + text;
}

}  // namespace debugger
