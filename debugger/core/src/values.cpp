// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace debugger {

namespace {

using Kind = cdb::Declarator::Kind;

constexpr unsigned kPsw = 0xD0;
constexpr unsigned kSp = 0x81;
constexpr unsigned kDpl = 0x82;
constexpr unsigned kDph = 0x83;
constexpr unsigned kAcc = 0xE0;
constexpr unsigned kB = 0xF0;
// Bit addresses below 0x80 are the bits of internal RAM from 0x20 on.
constexpr unsigned kBitArea = 0x20;

cdb::Type rest_of(const cdb::DebugInfo& info, const cdb::Type& type, std::size_t from) {
    cdb::Type rest;
    rest.chain.assign(type.chain.begin() + static_cast<long>(from), type.chain.end());
    rest.is_signed = type.is_signed;
    rest.size = size_of(info, rest.chain);
    return rest;
}

cdb::Type byte_type(unsigned size = 1) {
    cdb::Type type;
    type.size = size;
    type.chain.push_back(cdb::Declarator{size == 1 ? Kind::char_ : Kind::int_, 0, 0, {}, 0, 0});
    return type;
}

std::uint64_t little_endian(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

std::int64_t as_signed(std::uint64_t value, std::size_t bytes) {
    if (bytes == 0 || bytes >= 8) {
        return static_cast<std::int64_t>(value);
    }
    const std::uint64_t sign = std::uint64_t{1} << (bytes * 8 - 1);
    return static_cast<std::int64_t>((value ^ sign) - sign);
}

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

unsigned size_of(const cdb::DebugInfo& info, const std::vector<cdb::Declarator>& chain,
                 std::size_t from) {
    if (from >= chain.size()) {
        return 0;
    }
    const cdb::Declarator& d = chain[from];
    switch (d.kind) {
        case Kind::array:
            return d.count * size_of(info, chain, from + 1);
        case Kind::function:
            return 2;
        case Kind::pointer:
            return d.space == 'G' ? 3 : (d.space == 'C' || d.space == 'X') ? 2 : 1;
        case Kind::long_int:
        case Kind::float_:
            return 4;
        case Kind::int_:
        case Kind::short_int:
            return 2;
        case Kind::char_:
        case Kind::sbit:
        case Kind::bit_field:
            return 1;
        case Kind::void_:
            return 0;
        case Kind::structure: {
            unsigned size = 0;
            if (const cdb::Structure* s = info.structure(d.name)) {
                for (const cdb::Member& m : s->members) {
                    size = std::max(size, m.offset + m.symbol.type.size);
                }
            }
            return size;
        }
    }
    return 0;
}

std::string type_name(const cdb::Type& type) {
    std::string base;
    std::string suffix;
    std::string prefix;
    for (const cdb::Declarator& d : type.chain) {
        switch (d.kind) {
            case Kind::array:
                suffix += "[" + std::to_string(d.count) + "]";
                break;
            case Kind::function:
                suffix += "(void)";
                break;
            case Kind::pointer:
                prefix += "*";
                break;
            case Kind::long_int:
                base = "long";
                break;
            case Kind::int_:
                base = "int";
                break;
            case Kind::short_int:
                base = "short";
                break;
            case Kind::char_:
                base = "char";
                break;
            case Kind::void_:
                base = "void";
                break;
            case Kind::float_:
                base = "float";
                break;
            case Kind::structure:
                base = "struct " + d.name;
                break;
            case Kind::sbit:
            case Kind::bit_field:
                base = "__bit";
                break;
        }
    }
    if (!type.is_signed && base != "void" && base != "float" && !base.starts_with("struct") &&
        base != "__bit") {
        base = "unsigned " + base;
    }
    std::string text = base;
    if (!prefix.empty()) {
        text += " " + prefix;
    }
    if (!suffix.empty()) {
        text += " " + suffix;
    }
    return text;
}

const cdb::Symbol* Values::find(const std::string& name, const Frame& frame) const {
    const cdb::Symbol* best = nullptr;
    for (const cdb::Symbol* local : locals(frame)) {
        if (local->name == name && (best == nullptr || local->level > best->level)) {
            best = local;
        }
    }
    if (best != nullptr) {
        return best;
    }
    const std::string module =
        frame.function != nullptr ? frame.function->scope.file : std::string();
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if (symbol.name != name) {
            continue;
        }
        if (symbol.scope.kind == cdb::Scope::Kind::file &&
            (module.empty() || symbol.scope.file == module)) {
            return &symbol;
        }
        if (symbol.scope.kind == cdb::Scope::Kind::global && best == nullptr) {
            best = &symbol;
        }
    }
    return best;
}

std::vector<const cdb::Symbol*> Values::locals(const Frame& frame) const {
    std::vector<const cdb::Symbol*> found;
    if (frame.function == nullptr) {
        return found;
    }
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if (symbol.scope.kind == cdb::Scope::Kind::local &&
            symbol.scope.function == frame.function->name) {
            found.push_back(&symbol);
        }
    }
    return found;
}

std::vector<const cdb::Symbol*> Values::globals() const {
    std::vector<const cdb::Symbol*> found;
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if ((symbol.scope.kind == cdb::Scope::Kind::global ||
             symbol.scope.kind == cdb::Scope::Kind::file) &&
            symbol.space != cdb::Space::sfr && symbol.space != cdb::Space::sbit &&
            !symbol.name.starts_with("__")) {
            found.push_back(&symbol);
        }
    }
    return found;
}

std::optional<std::string> Values::place(const cdb::Symbol& symbol, Value& value) {
    value.type = symbol.type;
    const unsigned size = symbol.type.size != 0 ? symbol.type.size : 1;
    const auto cells_at = [&value, size](Space space, unsigned address) {
        for (unsigned i = 0; i < size; ++i) {
            value.cells.push_back({space, address + i});
        }
    };
    using S = cdb::Space;
    if (symbol.space == S::registers) {
        std::uint8_t psw = 0;
        if (!target_.read(Space::sfr, kPsw, std::span(&psw, 1))) {
            return "cannot read the register bank";
        }
        const unsigned bank = (psw >> 3) & 3;
        for (const std::string& reg : symbol.registers) {
            if (reg.size() == 2 && (reg[0] == 'r' || reg[0] == 'R') && reg[1] >= '0' &&
                reg[1] <= '7') {
                value.cells.push_back(
                    {Space::idata, bank * 8 + static_cast<unsigned>(reg[1] - '0')});
            } else if (reg == "a" || reg == "acc") {
                value.cells.push_back({Space::sfr, kAcc});
            } else if (reg == "b") {
                value.cells.push_back({Space::sfr, kB});
            } else if (reg == "dpl") {
                value.cells.push_back({Space::sfr, kDpl});
            } else if (reg == "dph") {
                value.cells.push_back({Space::sfr, kDph});
            } else {
                return "it is kept in the register " + reg + ", which cannot be read";
            }
        }
        return std::nullopt;
    }
    if (!symbol.address) {
        return symbol.on_stack ? "it lives on the stack of a reentrant function, which cannot "
                                 "be read"
                               : "it has no address (optimised out)";
    }
    const unsigned address = *symbol.address;
    switch (symbol.space) {
        case S::data:
        case S::idata:
            cells_at(Space::idata, address);
            return std::nullopt;
        case S::external:
            cells_at(Space::xdata, address);
            return std::nullopt;
        case S::code:
        case S::code_static:
            cells_at(Space::code, address);
            return std::nullopt;
        case S::sfr:
            cells_at(Space::sfr, address);
            return std::nullopt;
        case S::bit:
        case S::sbit:
            if (address < 0x80) {
                value.cells.push_back({Space::idata, kBitArea + address / 8});
            } else {
                value.cells.push_back({Space::sfr, address & 0xF8});
            }
            value.bit = static_cast<int>(address & 7);
            return std::nullopt;
        default:
            return "it lives on a stack, which cannot be read";
    }
}

bool Values::read(Value& value) const {
    value.bytes.assign(value.cells.size(), 0);
    for (std::size_t i = 0; i < value.cells.size();) {
        // One read for each run of neighbouring bytes of one space.
        std::size_t run = 1;
        while (i + run < value.cells.size() && value.cells[i + run].space == value.cells[i].space &&
               value.cells[i + run].address == value.cells[i].address + run) {
            ++run;
        }
        if (!target_.read(value.cells[i].space, value.cells[i].address,
                          std::span(value.bytes.data() + i, run))) {
            return false;
        }
        i += run;
    }
    return true;
}

std::variant<Value, std::string> Values::of(const cdb::Symbol& symbol, const Frame& frame) {
    (void)frame;
    Value value;
    value.name = symbol.name;
    if (const auto wrong = place(symbol, value)) {
        return "cannot read " + symbol.name + ": " + *wrong;
    }
    if (!read(value)) {
        return "cannot read " + symbol.name + " from the 8051";
    }
    return value;
}

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
                {"psw", kPsw}, {"dpl", kDpl}, {"dph", kDph}};
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
                std::string text = "\"";
                for (const std::uint8_t byte : value.bytes) {
                    text += char_text(byte, '"');
                }
                return text + "\"";
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
            return hex_text(value.bytes.size() > 2 ? (raw & 0xFFFF) : raw);
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
            std::snprintf(text, sizeof text, "%g", static_cast<double>(number));
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

std::vector<std::pair<std::string, std::optional<unsigned>>> Values::registers(std::uint32_t pc) {
    std::vector<std::pair<std::string, std::optional<unsigned>>> shown;
    const Frame frame{nullptr, pc};
    for (const char* name : {"$r0", "$r1", "$r2", "$r3", "$r4", "$r5", "$r6", "$r7", "$a", "$b",
                             "$psw", "$sp", "$dptr", "$pc"}) {
        const auto value = evaluate(name, frame);
        const auto* read = std::get_if<Value>(&value);
        shown.emplace_back(std::string(name + 1),
                           read != nullptr ? std::optional<unsigned>(
                                                 static_cast<unsigned>(little_endian(read->bytes)))
                                           : std::nullopt);
    }
    return shown;
}

}  // namespace debugger
