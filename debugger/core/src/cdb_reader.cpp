// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The records of a .cdb file as the "CDB File Format" document gives them:
//   M:t                                         a module
//   F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,0      a function
//   S:Lt.main$i$1_0$7({1}SC:U),R,0,0,[r7]       a symbol, here a local in a register
//   T:Ft$point[({0}S:S$x$0_0$0({2}SI:S),Z,0,0)] a structure and its members
//   L:G$total$0_0$0:8  L:XG$main$0$0:EC  L:C$t.c$18$3_0$6:7A   linker records
// Levels come as "3" from older compilers and as "3_0" since 2018.
#include <algorithm>
#include <charconv>
#include <map>
#include <tuple>

#include "cdb.h"

namespace cdb {

namespace {

struct Fail {
    std::string what;
};

// Reading a record left to right; a Fail says what was wrong.
class Cursor {
public:
    explicit Cursor(std::string_view text) : rest_(text) {}

    bool done() const { return rest_.empty(); }
    std::string_view rest() const { return rest_; }
    char peek() const { return rest_.empty() ? '\0' : rest_.front(); }

    void expect(char c) {
        if (peek() != c) {
            throw Fail{std::string("'") + c + "' expected" + near()};
        }
        rest_.remove_prefix(1);
    }
    bool take(char c) {
        if (peek() != c) {
            return false;
        }
        rest_.remove_prefix(1);
        return true;
    }
    // Up to the first of `ends` (not taken), or to the end.
    std::string_view until(std::string_view ends) {
        const std::size_t at = rest_.find_first_of(ends);
        const std::string_view got = rest_.substr(0, at);
        rest_.remove_prefix(got.size());
        return got;
    }
    long number(int base = 10) {
        long value = 0;
        const auto [end, ec] =
            std::from_chars(rest_.data(), rest_.data() + rest_.size(), value, base);
        if (ec != std::errc{} || end == rest_.data()) {
            throw Fail{"number expected" + near()};
        }
        rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
        return value;
    }

private:
    std::string near() const {
        return rest_.empty() ? " at the end" : " at '" + std::string(rest_.substr(0, 16)) + "'";
    }

    std::string_view rest_;
};

long number_in(std::string_view text, int base = 10) {
    Cursor cursor(text);
    const long value = cursor.number(base);
    if (!cursor.done()) {
        throw Fail{"'" + std::string(text) + "' is no number"};
    }
    return value;
}

// "0_0" or "3": the level is the number before any '_'.
int level_of(std::string_view text) {
    return static_cast<int>(number_in(text.substr(0, text.find('_'))));
}

Scope scope_of(std::string_view text) {
    Scope scope;
    if (text == "G") {
        return scope;
    }
    if (text == "S") {
        scope.kind = Scope::Kind::structure;
        return scope;
    }
    if (text.size() > 1 && text.front() == 'F') {
        scope.kind = Scope::Kind::file;
        scope.file = text.substr(1);
        return scope;
    }
    if (text.size() > 1 && text.front() == 'L') {
        scope.kind = Scope::Kind::local;
        const std::string_view owner = text.substr(1);
        const std::size_t dot = owner.rfind('.');
        scope.file = dot == std::string_view::npos ? "" : owner.substr(0, dot);
        scope.function = dot == std::string_view::npos ? owner : owner.substr(dot + 1);
        return scope;
    }
    throw Fail{"unknown scope '" + std::string(text) + "'"};
}

struct Name {
    Scope scope;
    std::string name;
    int level = 0;
    int block = 0;
};

// "G$main$0_0$0", up to the first of `ends` after the block.
Name name_of(Cursor& cursor, std::string_view ends) {
    Name name;
    name.scope = scope_of(cursor.until("$"));
    cursor.expect('$');
    name.name = cursor.until("$");
    if (name.name.empty()) {
        throw Fail{"a name expected"};
    }
    cursor.expect('$');
    name.level = level_of(cursor.until("$"));
    cursor.expect('$');
    name.block = static_cast<int>(number_in(cursor.until(ends)));
    return name;
}

Declarator declarator_of(std::string_view text) {
    Declarator d;
    const auto bad = [&text] { return Fail{"unknown type '" + std::string(text) + "'"}; };
    if (text.size() < 2) {
        throw bad();
    }
    const std::string_view code = text.substr(0, 2);
    const std::string_view more = text.substr(2);
    using K = Declarator::Kind;
    if (code == "DA") {
        d.kind = K::array;
        std::string_view digits = more;
        if (!digits.empty() && digits.back() == 'd') {
            digits.remove_suffix(1);  // newer compilers mark the count as decimal
        }
        d.count = static_cast<unsigned>(number_in(digits));
    } else if (code == "DF") {
        d.kind = K::function;
    } else if (code[0] == 'D' &&
               std::string_view("GCXDPI").find(code[1]) != std::string_view::npos) {
        d.kind = K::pointer;
        d.space = code[1];
    } else if (code == "SL") {
        d.kind = K::long_int;
    } else if (code == "SI") {
        d.kind = K::int_;
    } else if (code == "SS") {
        d.kind = K::short_int;
    } else if (code == "SC") {
        d.kind = K::char_;
    } else if (code == "SV") {
        d.kind = K::void_;
    } else if (code == "SF") {
        d.kind = K::float_;
    } else if (code == "ST") {
        d.kind = K::structure;
        d.name = more;
    } else if (code == "SX") {
        d.kind = K::sbit;
    } else if (code == "SB") {
        d.kind = K::bit_field;
        const std::size_t dollar = more.find('$');
        if (dollar == std::string_view::npos) {
            throw bad();
        }
        d.offset = static_cast<unsigned>(number_in(more.substr(0, dollar)));
        d.width = static_cast<unsigned>(number_in(more.substr(dollar + 1)));
    } else {
        throw bad();
    }
    if (d.kind != K::array && d.kind != K::structure && d.kind != K::bit_field && !more.empty()) {
        throw bad();
    }
    return d;
}

Type type_of(Cursor& cursor) {
    Type type;
    cursor.expect('(');
    cursor.expect('{');
    type.size = static_cast<unsigned>(cursor.number());
    cursor.expect('}');
    while (true) {
        type.chain.push_back(declarator_of(cursor.until(",:")));
        if (cursor.take(':')) {
            break;
        }
        cursor.expect(',');
    }
    const char sign = cursor.peek();
    if (sign != 'S' && sign != 'U') {
        throw Fail{"sign S or U expected"};
    }
    type.is_signed = sign == 'S';
    cursor.take(sign);
    cursor.expect(')');
    return type;
}

// ",C,0,0" then, for a symbol in registers, ",[r2,r3]".
void placement_of(Cursor& cursor, Symbol& symbol) {
    cursor.expect(',');
    const std::string_view space = cursor.until(",");
    if (space.size() != 1 ||
        std::string_view("ABCDEFGHIJPRZ").find(space[0]) == std::string_view::npos) {
        throw Fail{"unknown address space '" + std::string(space) + "'"};
    }
    symbol.space = static_cast<Space>(space[0]);
    cursor.expect(',');
    symbol.on_stack = cursor.number() != 0;
    cursor.expect(',');
    symbol.stack_offset = static_cast<int>(cursor.number());
    if (cursor.rest().starts_with(",[")) {
        cursor.expect(',');
        cursor.expect('[');
        while (!cursor.take(']')) {
            const std::string_view reg = cursor.until(",]");
            if (reg.empty()) {
                throw Fail{"a register expected"};
            }
            symbol.registers.emplace_back(reg);
            cursor.take(',');
        }
    }
}

Symbol symbol_of(Cursor& cursor) {
    const Name name = name_of(cursor, "(");
    Symbol symbol;
    symbol.name = name.name;
    symbol.scope = name.scope;
    symbol.level = name.level;
    symbol.block = name.block;
    symbol.type = type_of(cursor);
    placement_of(cursor, symbol);
    return symbol;
}

Function function_of(Cursor& cursor) {
    const Name name = name_of(cursor, "(");
    Function function;
    function.name = name.name;
    function.scope = name.scope;
    function.type = type_of(cursor);
    Symbol placement;
    placement_of(cursor, placement);
    cursor.expect(',');
    function.interrupt = cursor.number() != 0;
    cursor.expect(',');
    function.interrupt_number = static_cast<int>(cursor.number());
    cursor.expect(',');
    function.register_bank = static_cast<int>(cursor.number());
    return function;
}

Structure structure_of(Cursor& cursor) {
    Structure structure;
    structure.scope = scope_of(cursor.until("$"));
    cursor.expect('$');
    structure.name = cursor.until("[");
    cursor.expect('[');
    while (!cursor.take(']')) {
        cursor.expect('(');
        cursor.expect('{');
        Member member;
        member.offset = static_cast<unsigned>(cursor.number());
        cursor.expect('}');
        cursor.expect('S');
        cursor.expect(':');
        member.symbol = symbol_of(cursor);
        cursor.expect(')');
        structure.members.push_back(std::move(member));
    }
    return structure;
}

// Symbols and functions by what a linker record names them by.
using Key = std::tuple<int, std::string, std::string, std::string, int, int>;

Key key_of(const Scope& scope, const std::string& name, int level, int block) {
    return {static_cast<int>(scope.kind), scope.file, scope.function, name, level, block};
}

class Reader {
public:
    explicit Reader(DebugInfo& info) : info_(info) {}

    void record(std::string_view line) {
        if (line.size() < 2 || line[1] != ':') {
            throw Fail{"no record of SDCC's debug information"};
        }
        Cursor cursor(line.substr(2));
        switch (line[0]) {
            case 'M':
                info_.modules.emplace_back(cursor.rest());
                return;
            case 'F':
                info_.functions.push_back(function_of(cursor));
                break;
            case 'S': {
                Symbol symbol = symbol_of(cursor);
                // Functions come as symbols too; their function records tell more.
                if (symbol.type.chain.empty() ||
                    symbol.type.chain.front().kind != Declarator::Kind::function) {
                    info_.symbols.push_back(std::move(symbol));
                }
                break;
            }
            case 'T':
                info_.structures.push_back(structure_of(cursor));
                break;
            case 'L':
                linker(cursor);
                break;
            default:
                return;  // a kind of record this reader has no use for
        }
        if (!cursor.done()) {
            throw Fail{"unexpected '" + std::string(cursor.rest().substr(0, 16)) + "'"};
        }
    }

    // Addresses of symbols and functions are told by linker records, which
    // may come before or after the records they belong to.
    void resolve() {
        for (Symbol& symbol : info_.symbols) {
            if (const auto found =
                    addresses_.find(key_of(symbol.scope, symbol.name, symbol.level, symbol.block));
                found != addresses_.end()) {
                symbol.address = found->second;
            }
        }
        for (Function& function : info_.functions) {
            const auto lookup = [&function](const auto& table) -> std::optional<std::uint32_t> {
                for (const auto& [key, address] : table) {
                    if (std::get<0>(key) == static_cast<int>(function.scope.kind) &&
                        std::get<1>(key) == function.scope.file &&
                        std::get<3>(key) == function.name) {
                        return address;
                    }
                }
                return std::nullopt;
            };
            function.entry = lookup(addresses_);
            function.exit = lookup(ends_);
        }
    }

private:
    void linker(Cursor& cursor) {
        const char kind = cursor.peek();
        if (kind == 'A') {
            cursor.until("");  // assembler lines
            return;
        }
        if (kind == 'C') {
            cursor.expect('C');
            cursor.expect('$');
            Line line;
            line.file = cursor.until("$");
            cursor.expect('$');
            line.line = static_cast<unsigned>(number_in(cursor.until("$")));
            cursor.expect('$');
            line.level = level_of(cursor.until("$"));
            cursor.expect('$');
            line.block = static_cast<int>(number_in(cursor.until(":")));
            cursor.expect(':');
            line.address = static_cast<std::uint32_t>(number_in(cursor.until(""), 16));
            info_.lines.push_back(std::move(line));
            return;
        }
        const bool end = cursor.take('X');
        const Name name = name_of(cursor, ":");
        cursor.expect(':');
        const auto address = static_cast<std::uint32_t>(number_in(cursor.until(""), 16));
        (end ? ends_ : addresses_)[key_of(name.scope, name.name, name.level, name.block)] = address;
    }

    DebugInfo& info_;
    std::map<Key, std::uint32_t> addresses_;
    std::map<Key, std::uint32_t> ends_;
};

}  // namespace

std::string Error::text() const {
    return file + ":" + std::to_string(line) + ": " + what;
}

const Structure* DebugInfo::structure(std::string_view name) const {
    const auto found = std::ranges::find(structures, name, &Structure::name);
    return found != structures.end() ? &*found : nullptr;
}

const Function* DebugInfo::function_at(std::uint32_t address) const {
    for (const Function& function : functions) {
        if (function.entry && function.exit && *function.entry <= address &&
            address <= *function.exit) {
            return &function;
        }
    }
    return nullptr;
}

Read read(std::string_view text, const std::string& file) {
    Read result;
    Reader reader(result.info);
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        try {
            reader.record(line);
        } catch (const Fail& fail) {
            result.error =
                Error{file, number, fail.what + " in '" + std::string(line.substr(0, 60)) + "'"};
            return result;
        }
    }
    if (result.info.modules.empty()) {
        result.error = Error{file, number, "no module record: not SDCC's debug information"};
        return result;
    }
    reader.resolve();
    return result;
}

std::optional<Type> parse_type(std::string_view text) {
    try {
        Cursor cursor(text);
        Type type = type_of(cursor);
        if (!cursor.done()) {
            return std::nullopt;
        }
        return type;
    } catch (const Fail&) {
        return std::nullopt;
    }
}

}  // namespace cdb
