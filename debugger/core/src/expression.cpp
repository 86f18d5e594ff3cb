// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What the user names: expressions read and assigned.
#include "values.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "value_bytes.h"

namespace debugger {

using namespace detail;

namespace {

// A number as the user writes it: 12, -3, 0x1F, 'A'.
std::optional<std::int64_t> parse_number(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    while (!text.empty() && text.front() == ' ') {
        text.erase(0, 1);
    }
    if (text.size() == 3 && text.front() == '\'' && text.back() == '\'') {
        return static_cast<unsigned char>(text[1]);
    }
    const bool negative = text.starts_with("-");
    std::string_view digits = std::string_view(text).substr(negative ? 1 : 0);
    int base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc{} || end != digits.data() + digits.size() || digits.empty()) {
        return std::nullopt;
    }
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

bool is_name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
}

}  // namespace

std::variant<Value, std::string> Values::evaluate(const std::string& expression,
                                                  const Frame& frame) {
    std::string text = expression;
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    std::size_t at = 0;
    while (at < text.size() && is_name_char(text[at])) {
        ++at;
    }
    const std::string head = text.substr(0, at);
    if (head.empty()) {
        return "A syntax error in expression, near `" + expression + "'.";
    }
    Value value;
    value.name = head;
    if (head.starts_with("$")) {
        const std::string reg = head.substr(1);
        if (reg == "pc") {
            value.type = byte_type(2);
            value.bytes = {static_cast<std::uint8_t>(frame.pc),
                           static_cast<std::uint8_t>(frame.pc >> 8)};
        } else {
            const std::pair<const char*, unsigned> named[] = {
                {"sp", kSp},   {"a", kAcc},   {"acc", kAcc}, {"b", kB},
                {"psw", kPsw}, {"dpl", kDpl}, {"dph", kDph}, {"p0", 0x80},
                {"p1", 0x90},  {"p2", 0xA0},  {"p3", 0xB0}};
            const auto found =
                std::ranges::find(named, reg, [](const auto& n) { return std::string(n.first); });
            if (found != std::end(named)) {
                value.cells.push_back({Space::sfr, found->second});
                value.type = byte_type();
            } else if (reg == "dptr") {
                value.cells = {{Space::sfr, kDpl}, {Space::sfr, kDph}};
                value.type = byte_type(2);
            } else if (reg.size() == 2 && reg[0] == 'r' && reg[1] >= '0' && reg[1] <= '7') {
                cdb::Symbol r;
                r.name = head;
                r.space = cdb::Space::registers;
                r.registers = {reg};
                r.type = byte_type();
                if (const auto wrong = place(r, value)) {
                    return *wrong;
                }
            } else {
                return "No register named " + reg + ".";
            }
            if (!read(value)) {
                return "cannot read " + head + " from the 8051";
            }
        }
    } else {
        const cdb::Symbol* symbol = find(head, frame);
        if (symbol == nullptr) {
            return "No symbol \"" + head + "\" in current context.";
        }
        auto read_value = of(*symbol, frame);
        if (auto* wrong = std::get_if<std::string>(&read_value)) {
            return *wrong;
        }
        value = std::get<Value>(std::move(read_value));
    }
    // Members and elements, each a slice of what was read.
    while (at < text.size()) {
        std::vector<Value> pieces = parts(value);
        if (text[at] == '.') {
            std::size_t end = at + 1;
            while (end < text.size() && is_name_char(text[end])) {
                ++end;
            }
            const std::string member = text.substr(at + 1, end - at - 1);
            const auto found = std::ranges::find(pieces, member, &Value::name);
            if (value.type.chain.empty() || value.type.chain.front().kind != Kind::structure ||
                found == pieces.end()) {
                return "There is no member named " + member + ".";
            }
            Value next = *found;
            next.name = value.name + "." + member;
            value = std::move(next);
            at = end;
        } else if (text[at] == '[') {
            const std::size_t close = text.find(']', at);
            const auto index = close == std::string::npos
                                   ? std::nullopt
                                   : parse_number(text.substr(at + 1, close - at - 1));
            if (!index) {
                return "A syntax error in expression, near `" + text.substr(at) + "'.";
            }
            if (value.type.chain.empty() || value.type.chain.front().kind != Kind::array) {
                return "cannot subscript something of type `" + type_name(value.type) + "'";
            }
            if (*index < 0 || static_cast<std::size_t>(*index) >= pieces.size()) {
                return "no element " + std::to_string(*index) + " in " + value.name + " of " +
                       std::to_string(pieces.size());
            }
            Value next = pieces[static_cast<std::size_t>(*index)];
            next.name = value.name + "[" + std::to_string(*index) + "]";
            value = std::move(next);
            at = close + 1;
        } else {
            return "A syntax error in expression, near `" + text.substr(at) + "'.";
        }
    }
    return value;
}

std::optional<std::string> Values::assign(const std::string& expression, const std::string& text,
                                          const Frame& frame) {
    auto evaluated = evaluate(expression, frame);
    if (auto* wrong = std::get_if<std::string>(&evaluated)) {
        return *wrong;
    }
    Value& value = std::get<Value>(evaluated);
    const auto number = parse_number(text);
    if (!number) {
        return "Invalid number \"" + text + "\".";
    }
    if (value.cells.empty()) {
        return "Left operand of assignment is not an lvalue.";
    }
    const Kind kind = value.type.chain.empty() ? Kind::void_ : value.type.chain.front().kind;
    if (kind == Kind::array || kind == Kind::structure || kind == Kind::void_ ||
        kind == Kind::function || kind == Kind::float_) {
        return "cannot set " + value.name + " of type `" + type_name(value.type) + "' to a number";
    }
    auto bytes = value.bytes;
    const auto unsigned_value = static_cast<std::uint64_t>(*number);
    if (kind == Kind::sbit || kind == Kind::bit_field) {
        const unsigned shift =
            value.bit >= 0 ? static_cast<unsigned>(value.bit) : value.type.chain.front().offset;
        const unsigned width = value.bit >= 0 ? 1 : value.type.chain.front().width;
        const std::uint64_t mask = ((1ULL << width) - 1) << shift;
        const std::uint64_t merged =
            (little_endian(bytes) & ~mask) | ((unsigned_value << shift) & mask);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(merged >> (8 * i));
        }
    } else {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(unsigned_value >> (8 * i));
        }
    }
    for (std::size_t i = 0; i < value.cells.size(); ++i) {
        if (!target_.write(value.cells[i].space, value.cells[i].address, std::span(&bytes[i], 1))) {
            return "cannot write " + value.name + " to the 8051";
        }
    }
    return std::nullopt;
}

}  // namespace debugger
