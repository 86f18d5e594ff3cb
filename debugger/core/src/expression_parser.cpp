// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// C expressions parsed by recursive descent in C's precedence and evaluated
// as they are read. The side of && || ?: or sizeof that C does not run is
// parsed "dead": names are still looked up, but nothing is read or written.
#include "expression_parser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "value_bytes.h"

namespace debugger::detail {

namespace {

constexpr unsigned kP2 = 0xA0;  // the page of __pdata addresses

// C's comparisons, the same for integers and floating point.
template <typename T>
bool compared(std::string_view op, T a, T b) {
    return op == "=="   ? a == b
           : op == "!=" ? a != b
           : op == "<"  ? a < b
           : op == ">"  ? a > b
           : op == "<=" ? a <= b
                        : a >= b;
}

cdb::Declarator declarator(Kind kind, char space = 0) {
    return cdb::Declarator{kind, 0, space, {}, 0, 0};
}

cdb::Type scalar(Kind kind, bool is_signed) {
    cdb::Type type;
    type.chain.push_back(declarator(kind));
    type.is_signed = is_signed;
    type.size = kind == Kind::long_int || kind == Kind::float_  ? 4
                : kind == Kind::int_ || kind == Kind::short_int ? 2
                : kind == Kind::void_                           ? 0
                                                                : 1;
    return type;
}

Kind kind_of(const cdb::Type& type) {
    return type.chain.empty() ? Kind::void_ : type.chain.front().kind;
}

bool is_integer(Kind kind) {
    return kind == Kind::char_ || kind == Kind::int_ || kind == Kind::short_int ||
           kind == Kind::long_int || kind == Kind::sbit || kind == Kind::bit_field;
}

unsigned pointer_size(char space) {
    return space == 'G' ? 3 : (space == 'C' || space == 'X') ? 2 : 1;
}

Value number(std::int64_t value, const cdb::Type& type) {
    Value out;
    out.type = type;
    out.bytes.resize(type.size);
    for (std::size_t i = 0; i < out.bytes.size(); ++i) {
        out.bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
    return out;
}

Value floating(double value) {
    Value out;
    out.type = scalar(Kind::float_, true);
    const auto single = static_cast<float>(value);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &single, sizeof bits);
    out.bytes = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                 static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    return out;
}

std::int64_t to_int(const Value& value) {
    const std::uint64_t raw = little_endian(value.bytes);
    const cdb::Type& type = value.type;
    switch (kind_of(type)) {
        case Kind::float_: {
            const auto bits = static_cast<std::uint32_t>(raw);
            float number = 0;
            std::memcpy(&number, &bits, sizeof number);
            return static_cast<std::int64_t>(number);
        }
        case Kind::sbit:
        case Kind::bit_field:
            if (value.bit >= 0) {
                return static_cast<std::int64_t>((raw >> value.bit) & 1);
            }
            return static_cast<std::int64_t>((raw >> type.chain.front().offset) &
                                             ((1ULL << type.chain.front().width) - 1));
        case Kind::char_:
        case Kind::int_:
        case Kind::short_int:
        case Kind::long_int:
            return type.is_signed ? as_signed(raw, value.bytes.size())
                                  : static_cast<std::int64_t>(raw);
        default:
            return static_cast<std::int64_t>(raw);
    }
}

double to_double(const Value& value) {
    if (kind_of(value.type) == Kind::float_) {
        const auto bits = static_cast<std::uint32_t>(little_endian(value.bytes));
        float number = 0;
        std::memcpy(&number, &bits, sizeof number);
        return number;
    }
    return static_cast<double>(to_int(value));
}

// C's integer promotion on an 8051: everything narrower than int becomes int.
cdb::Type promoted(const cdb::Type& type) {
    const Kind kind = kind_of(type);
    if (kind == Kind::long_int || (kind == Kind::int_ && !type.is_signed)) {
        return scalar(kind, type.is_signed);
    }
    return scalar(Kind::int_, true);
}

// The usual arithmetic conversions of two integer types.
cdb::Type common(const cdb::Type& left, const cdb::Type& right) {
    const cdb::Type a = promoted(left);
    const cdb::Type b = promoted(right);
    const bool a_long = kind_of(a) == Kind::long_int;
    const bool b_long = kind_of(b) == Kind::long_int;
    if (a_long || b_long) {
        // A long holds every unsigned int, so only an unsigned long stays unsigned.
        const bool unsigned_long = (a_long && !a.is_signed) || (b_long && !b.is_signed);
        return scalar(Kind::long_int, !unsigned_long);
    }
    return scalar(Kind::int_, a.is_signed && b.is_signed);
}

[[noreturn]] void fail(std::string text) {
    throw EvalError{std::move(text)};
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

char space_letter(Space space, unsigned address) {
    switch (space) {
        case Space::code:
            return 'C';
        case Space::xdata:
            return 'X';
        case Space::idata:
            return address < 0x80 ? 'D' : 'I';
        case Space::sfr:
            break;
    }
    return 0;
}

cdb::Type pointer_to(const cdb::Type& pointee, char space) {
    cdb::Type type;
    type.chain.push_back(declarator(Kind::pointer, space));
    type.chain.insert(type.chain.end(), pointee.chain.begin(), pointee.chain.end());
    type.is_signed = pointee.is_signed;
    type.size = pointer_size(space);
    return type;
}

// A pointer of type `type` holding `address` of `space`, in SDCC's form.
Value pointer_value(const cdb::Type& type, Space space, unsigned address) {
    const char form = type.chain.front().space;
    std::uint64_t raw = address & (pointer_size(form) == 1 ? 0xFFu : 0xFFFFu);
    if (form == 'G') {
        const std::uint64_t tag = space == Space::code ? 0x80 : space == Space::idata ? 0x40 : 0;
        raw |= tag << 16;
    }
    return number(static_cast<std::int64_t>(raw), type);
}

bool same_type(const cdb::Type& a, const cdb::Type& b) {
    if (a.chain.size() != b.chain.size() || a.is_signed != b.is_signed) {
        return false;
    }
    for (std::size_t i = 0; i < a.chain.size(); ++i) {
        if (a.chain[i].kind != b.chain[i].kind || a.chain[i].name != b.chain[i].name ||
            a.chain[i].count != b.chain[i].count) {
            return false;
        }
    }
    return true;
}

struct Named {
    std::string_view name;
    Kind kind;
    bool is_signed;
};

// The names <stdint.h> gives SDCC's types for the 8051, which the debug
// information does not record.
constexpr auto kTypedefs = std::to_array<Named>({
    {"uint8_t", Kind::char_, false},
    {"int8_t", Kind::char_, true},
    {"uint16_t", Kind::int_, false},
    {"int16_t", Kind::int_, true},
    {"uint32_t", Kind::long_int, false},
    {"int32_t", Kind::long_int, true},
    {"size_t", Kind::int_, false},
    {"bool", Kind::sbit, false},
    {"_Bool", Kind::sbit, false},
    {"__bit", Kind::sbit, false},
});

constexpr auto kTypeWords = std::to_array<std::string_view>({
    "void",   "char",     "short",  "int",     "long",   "float",    "double",
    "signed", "unsigned", "struct", "union",   "const",  "volatile", "__xdata",
    "__data", "__idata",  "__code", "__pdata", "__near", "__far",
});

}  // namespace

std::pair<Space, unsigned> pointer_target(const Value& value, std::uint8_t page) {
    const std::uint64_t raw = little_endian(value.bytes);
    const char form = value.type.chain.empty() ? 'C' : value.type.chain.front().space;
    const auto address = static_cast<unsigned>(raw & 0xFFFF);
    switch (form) {
        case 'G': {
            const unsigned tag = static_cast<unsigned>(raw >> 16) & 0xFF;
            if (tag >= 0x80) {
                return {Space::code, address};
            }
            if (tag >= 0x60) {
                return {Space::xdata, (unsigned{page} << 8) | (address & 0xFF)};
            }
            if (tag >= 0x40) {
                return {Space::idata, address & 0xFF};
            }
            return {Space::xdata, address};
        }
        case 'X':
            return {Space::xdata, address};
        case 'D':
        case 'I':
            return {Space::idata, address & 0xFF};
        case 'P':
            return {Space::xdata, (unsigned{page} << 8) | (address & 0xFF)};
        default:
            return {Space::code, address};
    }
}

std::variant<Value, std::string> Evaluator::run() {
    auto tokens = tokenize(text_);
    if (auto* wrong = std::get_if<std::string>(&tokens)) {
        return *wrong;
    }
    tokens_ = std::get<std::vector<Token>>(std::move(tokens));
    try {
        Value value = comma();
        if (peek().kind != Token::Kind::end) {
            syntax_error();
        }
        std::string_view name = text_;
        while (!name.empty() && name.front() == ' ') {
            name.remove_prefix(1);
        }
        while (!name.empty() && name.back() == ' ') {
            name.remove_suffix(1);
        }
        value.name = std::string(name);
        return value;
    } catch (const EvalError& error) {
        return error.text;
    }
}

const Token& Evaluator::peek(std::size_t ahead) const {
    return tokens_[std::min(next_ + ahead, tokens_.size() - 1)];
}

bool Evaluator::accept(std::string_view punct) {
    if (peek().kind == Token::Kind::punct && peek().text == punct) {
        ++next_;
        return true;
    }
    return false;
}

void Evaluator::expect(std::string_view punct) {
    if (!accept(punct)) {
        syntax_error();
    }
}

void Evaluator::syntax_error() const {
    const std::size_t at = std::min(peek().at, text_.size());
    fail("A syntax error in expression, near `" + std::string(text_.substr(at)) + "'.");
}

Value Evaluator::comma() {
    Value value = assignment();
    while (accept(",")) {
        value = assignment();
    }
    return value;
}

Value Evaluator::assignment() {
    Value left = conditional();
    static constexpr auto kAssign = std::to_array<std::string_view>(
        {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="});
    if (peek().kind == Token::Kind::punct &&
        std::ranges::find(kAssign, peek().text) != kAssign.end()) {
        const std::string op = peek().text;
        ++next_;
        Value right = assignment();
        if (op != "=") {
            right = arithmetic(op.substr(0, op.size() - 1), left, right);
        }
        return assign(left, right);
    }
    return left;
}

namespace {

bool truthy(const Value& value) {
    const Kind kind = kind_of(value.type);
    if (kind == Kind::structure) {
        fail("Structure has no component named operator!.");
    }
    if (kind == Kind::float_) {
        return to_double(value) != 0;
    }
    return to_int(value) != 0;
}

}  // namespace

Value Evaluator::conditional() {
    Value test = binary(0);
    if (!accept("?")) {
        return test;
    }
    const bool yes = dead_ > 0 || truthy(test);
    dead_ += yes ? 0 : 1;
    Value then = comma();
    dead_ -= yes ? 0 : 1;
    expect(":");
    dead_ += yes ? 1 : 0;
    Value otherwise = conditional();
    dead_ -= yes ? 1 : 0;
    return yes ? then : otherwise;
}

Value Evaluator::binary(int level) {
    static constexpr std::array<std::array<std::string_view, 4>, 10> kLevels = {{
        {"||"},
        {"&&"},
        {"|"},
        {"^"},
        {"&"},
        {"==", "!="},
        {"<", ">", "<=", ">="},
        {"<<", ">>"},
        {"+", "-"},
        {"*", "/", "%"},
    }};
    if (level == static_cast<int>(kLevels.size())) {
        return unary();
    }
    Value left = binary(level + 1);
    while (true) {
        const Token& token = peek();
        const auto& ops = kLevels[static_cast<std::size_t>(level)];
        if (token.kind != Token::Kind::punct || token.text.empty() ||
            std::ranges::find(ops, std::string_view(token.text)) == ops.end()) {
            return left;
        }
        const std::string op = token.text;
        ++next_;
        if (op == "&&" || op == "||") {
            const bool decided = dead_ == 0 && (truthy(left) == (op == "||"));
            dead_ += decided ? 1 : 0;
            const Value right = binary(level + 1);
            dead_ -= decided ? 1 : 0;
            const bool result = decided ? op == "||" : dead_ > 0 ? false : truthy(right);
            left = number(result ? 1 : 0, scalar(Kind::int_, true));
            continue;
        }
        left = arithmetic(op, std::move(left), binary(level + 1));
    }
}

bool Evaluator::type_ahead(std::size_t ahead) const {
    const Token& token = peek(ahead);
    if (token.kind != Token::Kind::name) {
        return false;
    }
    if (std::ranges::find(kTypeWords, token.text) != kTypeWords.end()) {
        return true;
    }
    return std::ranges::find(kTypedefs, token.text, &Named::name) != kTypedefs.end() &&
           values_.find(token.text, frame_) == nullptr;
}

cdb::Type Evaluator::type_name_here() {
    std::optional<Kind> base;
    bool is_signed = true;
    bool said_sign = false;
    std::string structure;
    char space = 'G';
    while (peek().kind == Token::Kind::name) {
        const std::string word = peek().text;
        const auto named = std::ranges::find(kTypedefs, word, &Named::name);
        if (word == "unsigned" || word == "signed") {
            is_signed = word == "signed";
            said_sign = true;
        } else if (word == "char" || word == "void" || word == "float" || word == "double") {
            base = word == "char" ? Kind::char_ : word == "void" ? Kind::void_ : Kind::float_;
        } else if (word == "short") {
            base = Kind::short_int;
        } else if (word == "long") {
            base = Kind::long_int;
        } else if (word == "int") {
            base = base.value_or(Kind::int_);
        } else if (word == "struct" || word == "union") {
            ++next_;
            if (peek().kind != Token::Kind::name) {
                syntax_error();
            }
            structure = peek().text;
            if (values_.program_.info().structure(structure) == nullptr) {
                fail((word == "struct" ? "No struct type named " : "No union type named ") +
                     structure + ".");
            }
            base = Kind::structure;
        } else if (word == "__xdata" || word == "__far") {
            space = 'X';
        } else if (word == "__code") {
            space = 'C';
        } else if (word == "__data" || word == "__near") {
            space = 'D';
        } else if (word == "__idata") {
            space = 'I';
        } else if (word == "__pdata") {
            space = 'P';
        } else if (word == "const" || word == "volatile") {
        } else if (named != kTypedefs.end() && !base) {
            base = named->kind;
            is_signed = named->is_signed;
            said_sign = true;
        } else {
            break;
        }
        ++next_;
    }
    if (!base && !said_sign) {
        syntax_error();
    }
    cdb::Type type =
        scalar(base.value_or(Kind::int_), said_sign ? is_signed : *base != Kind::char_);
    if (*base == Kind::structure) {
        type.chain.front().name = structure;
        type.is_signed = false;
        type.size = size_of(values_.program_.info(), type.chain);
    }
    while (accept("*")) {
        type = pointer_to(type, space);
        space = 'G';
        while (peek().kind == Token::Kind::name &&
               (peek().text == "const" || peek().text == "volatile")) {
            ++next_;
        }
    }
    return type;
}

Value Evaluator::unary() {
    // Each nesting of parentheses or unary operators passes here: a bound
    // keeps a line of thousands of them from exhausting the stack.
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } nesting(depth_);
    if (depth_ > kDeepest) {
        fail("Expression too complex: more than " + std::to_string(kDeepest) + " levels.");
    }
    const Token& token = peek();
    if (token.kind == Token::Kind::name && token.text == "sizeof") {
        ++next_;
        cdb::Type type;
        if (peek().kind == Token::Kind::punct && peek().text == "(" && type_ahead(1)) {
            ++next_;
            type = type_name_here();
            expect(")");
        } else {
            ++dead_;
            type = unary().type;
            --dead_;
        }
        return number(type.size, scalar(Kind::int_, false));
    }
    if (token.kind != Token::Kind::punct) {
        return postfix(primary());
    }
    const std::string op = token.text;
    if (op == "(" && type_ahead(1)) {
        ++next_;
        const cdb::Type type = type_name_here();
        expect(")");
        return convert(unary(), type);
    }
    if (op == "-" || op == "+" || op == "~" || op == "!" || op == "*" || op == "&" || op == "++" ||
        op == "--") {
        ++next_;
        Value operand = unary();
        const Kind kind = kind_of(operand.type);
        if (op == "*") {
            return deref(operand);
        }
        if (op == "&") {
            return address_of(operand);
        }
        if (op == "++" || op == "--") {
            return assign(operand,
                          arithmetic(op.substr(1), operand, number(1, scalar(Kind::int_, true))));
        }
        if (kind == Kind::structure) {
            fail("Structure has no component named operator" + op + ".");
        }
        if (op == "!") {
            return number(truthy(operand) ? 0 : 1, scalar(Kind::int_, true));
        }
        if (kind == Kind::float_) {
            if (op == "~") {
                fail("Argument to complement operation not an integer, boolean.");
            }
            return floating(op == "-" ? -to_double(operand) : to_double(operand));
        }
        if (!is_integer(kind)) {
            fail(op == "~" ? "Argument to complement operation not an integer, boolean."
                           : "Argument to arithmetic operation not a number or boolean.");
        }
        const cdb::Type type = promoted(operand.type);
        const std::int64_t value = to_int(operand);
        return number(op == "-" ? -value : op == "~" ? ~value : value, type);
    }
    return postfix(primary());
}

Value Evaluator::postfix(Value value) {
    while (true) {
        if (accept("[")) {
            const Value index = comma();
            expect("]");
            value = subscript(value, index);
        } else if (peek().kind == Token::Kind::punct &&
                   (peek().text == "." || peek().text == "->")) {
            const bool arrow = peek().text == "->";
            ++next_;
            if (peek().kind != Token::Kind::name) {
                syntax_error();
            }
            const std::string name = peek().text;
            ++next_;
            value = member(value, name, arrow);
        } else if (peek().kind == Token::Kind::punct &&
                   (peek().text == "++" || peek().text == "--")) {
            const std::string op = peek().text.substr(1);
            ++next_;
            const Value before = value;
            assign(value, arithmetic(op, value, number(1, scalar(Kind::int_, true))));
            Value old = before;
            old.cells.clear();
            value = old;
        } else if (peek().kind == Token::Kind::punct && peek().text == "(") {
            fail("Cannot call functions in the firmware.");
        } else {
            return value;
        }
    }
}

Value Evaluator::primary() {
    const Token token = peek();
    switch (token.kind) {
        case Token::Kind::number: {
            ++next_;
            const std::uint64_t n = token.number;
            const bool decimal = !token.text.starts_with("0") || token.text == "0";
            if (n > 0xFFFFFFFFu) {
                fail("Numeric constant too large.");
            }
            // C's rules for the type of a constant, with a 16-bit int.
            if (!token.is_long && !token.is_unsigned && n <= 0x7FFF) {
                return number(static_cast<std::int64_t>(n), scalar(Kind::int_, true));
            }
            if (!token.is_long && (token.is_unsigned || !decimal) && n <= 0xFFFF) {
                return number(static_cast<std::int64_t>(n), scalar(Kind::int_, false));
            }
            if (!token.is_unsigned && n <= 0x7FFFFFFF) {
                return number(static_cast<std::int64_t>(n), scalar(Kind::long_int, true));
            }
            return number(static_cast<std::int64_t>(n), scalar(Kind::long_int, false));
        }
        case Token::Kind::floating:
            ++next_;
            return floating(token.floating);
        case Token::Kind::character:
            ++next_;
            return number(static_cast<std::int64_t>(token.number), scalar(Kind::char_, false));
        case Token::Kind::string: {
            std::string held;
            while (peek().kind == Token::Kind::string) {
                held += peek().text;
                ++next_;
            }
            Value value;
            value.type = scalar(Kind::char_, false);
            value.type.chain.insert(
                value.type.chain.begin(),
                cdb::Declarator{Kind::array, static_cast<unsigned>(held.size() + 1), 0, {}, 0, 0});
            value.type.size = static_cast<unsigned>(held.size() + 1);
            value.bytes.assign(held.begin(), held.end());
            value.bytes.push_back(0);
            return value;
        }
        case Token::Kind::name:
            ++next_;
            if (std::ranges::find(kTypeWords, token.text) != kTypeWords.end()) {
                --next_;
                syntax_error();
            }
            return token.text.starts_with("$") ? register_value(token.text) : variable(token.text);
        case Token::Kind::punct:
            if (token.text == "(") {
                ++next_;
                Value value = comma();
                expect(")");
                return value;
            }
            syntax_error();
        case Token::Kind::end:
            syntax_error();
    }
    syntax_error();
}

Value Evaluator::variable(const std::string& name) {
    const cdb::Symbol* symbol = values_.find(name, frame_);
    const cdb::Function* function = values_.program_.function(name);
    if (function != nullptr && (symbol == nullptr || kind_of(symbol->type) == Kind::function)) {
        Value value;
        value.type = function->type;
        const unsigned entry =
            function->entry.value_or(symbol != nullptr ? symbol->address.value_or(0) : 0);
        value.bytes = {static_cast<std::uint8_t>(entry), static_cast<std::uint8_t>(entry >> 8)};
        return value;
    }
    if (symbol == nullptr) {
        fail("No symbol \"" + name + "\" in current context.");
    }
    Value value;
    value.name = name;
    if (const auto wrong = values_.place(*symbol, value, &frame_)) {
        fail("cannot read " + name + ": " + *wrong);
    }
    if (dead_ > 0) {
        value.bytes.assign(value.cells.size(), 0);
    } else if (!values_.read(value)) {
        fail("Cannot access memory at address " +
             hex(value.cells.empty() ? 0 : value.cells[0].address));
    }
    return value;
}

Value Evaluator::register_value(const std::string& name) {
    if (name == "$pc") {
        cdb::Type function = scalar(Kind::void_, false);
        function.chain.insert(function.chain.begin(), declarator(Kind::function));
        function.chain.front().count = 1;  // "void (*)()", as gdb types it
        return pointer_value(pointer_to(function, 'C'), Space::code, frame_.pc);
    }
    // The value history: $3, $ (the last), $$ and $$2 (counted back).
    const std::string_view rest = std::string_view(name).substr(1);
    const bool back = rest.starts_with("$");
    const std::string_view digits = back ? rest.substr(1) : rest;
    if (digits.find_first_not_of("0123456789") == std::string_view::npos) {
        const auto& history = values_.history_;
        const long n = digits.empty() ? (back ? 1 : 0) : std::stol(std::string(digits));
        const long index = back || digits.empty() ? static_cast<long>(history.size()) - n : n;
        if (index < 1 || index > static_cast<long>(history.size())) {
            if (history.empty()) {
                Value none;
                none.type = scalar(Kind::void_, false);
                return none;
            }
            fail("History has not yet reached $" + std::to_string(index) + ".");
        }
        Value past = history[static_cast<std::size_t>(index - 1)];
        past.name = "$" + std::to_string(index);
        return past;
    }
    auto value = values_.evaluate_register(name, frame_);
    if (auto* wrong = std::get_if<std::string>(&value)) {
        if (wrong->empty()) {
            Value none;  // gdb's convenience variables start out void
            none.type = scalar(Kind::void_, false);
            return none;
        }
        fail(*wrong);
    }
    return std::get<Value>(std::move(value));
}

Value Evaluator::deref(const Value& value) {
    const Kind kind = kind_of(value.type);
    if (kind == Kind::array) {
        return subscript(value, number(0, scalar(Kind::int_, true)));
    }
    if (kind == Kind::function) {
        return value;
    }
    if (kind == Kind::structure) {
        fail("Structure has no component named operator*.");
    }
    if (kind != Kind::pointer) {
        fail("Attempt to take contents of a non-pointer value.");
    }
    const cdb::Type pointee = rest_of(values_.program_.info(), value.type, 1);
    const Kind target = kind_of(pointee);
    if (target == Kind::void_) {
        fail("Attempt to take contents of a non-pointer value.");
    }
    std::uint8_t page = 0;
    if (dead_ == 0) {
        values_.target_.read(Space::sfr, kP2, std::span(&page, 1));
    }
    const auto [space, address] = pointer_target(value, page);
    Value out;
    out.type = pointee;
    if (target == Kind::function) {
        out.bytes = {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8)};
        return out;
    }
    for (unsigned i = 0; i < std::max(pointee.size, 1u); ++i) {
        out.cells.push_back({space, address + i});
    }
    if (dead_ > 0) {
        out.bytes.assign(out.cells.size(), 0);
    } else if (!values_.read(out)) {
        fail("Cannot access memory at address " + hex(address));
    }
    return out;
}

Value Evaluator::address_of(const Value& value) {
    if (kind_of(value.type) == Kind::function && value.cells.empty()) {
        return pointer_value(pointer_to(value.type, 'C'), Space::code,
                             static_cast<unsigned>(little_endian(value.bytes)));
    }
    const Kind kind = kind_of(value.type);
    bool in_memory = !value.cells.empty() && value.bit < 0 && kind != Kind::bit_field &&
                     kind != Kind::sbit && value.cells[0].space != Space::sfr;
    for (std::size_t i = 1; in_memory && i < value.cells.size(); ++i) {
        in_memory = value.cells[i].space == value.cells[0].space &&
                    value.cells[i].address == value.cells[0].address + i;
    }
    if (!in_memory) {
        fail("Attempt to take address of value not located in memory.");
    }
    const Cell first = value.cells[0];
    return pointer_value(pointer_to(value.type, space_letter(first.space, first.address)),
                         first.space, first.address);
}

Value Evaluator::member(const Value& value, const std::string& name, bool arrow) {
    Value whole = value;
    if (kind_of(whole.type) == Kind::pointer) {
        whole = deref(whole);
    }
    if (kind_of(whole.type) != Kind::structure) {
        fail(arrow ? "Attempt to extract a component of a value that is not a structure pointer."
                   : "Attempt to extract a component of a value that is not a structure.");
    }
    std::vector<Value> pieces = values_.parts(whole);
    const auto found = std::ranges::find(pieces, name, &Value::name);
    if (found == pieces.end()) {
        fail("There is no member named " + name + ".");
    }
    return *found;
}

Value Evaluator::subscript(const Value& value, const Value& index) {
    const Kind kind = kind_of(value.type);
    if (!is_integer(kind_of(index.type))) {
        fail("Argument to arithmetic operation not a number or boolean.");
    }
    const std::int64_t at = to_int(index);
    if (kind == Kind::array) {
        const cdb::Type element = rest_of(values_.program_.info(), value.type, 1);
        if (value.cells.empty()) {
            // A string written in the expression: only its own bytes.
            if (at < 0 || static_cast<std::size_t>(at) >= value.type.chain.front().count) {
                fail("no such vector element");
            }
            Value out;
            out.type = element;
            const auto from = static_cast<std::size_t>(at) * element.size;
            out.bytes.assign(value.bytes.begin() + static_cast<long>(from),
                             value.bytes.begin() + static_cast<long>(from + element.size));
            return out;
        }
        Value first = address_of(value);
        first.type.chain.erase(first.type.chain.begin() + 1);
        return deref(arithmetic("+", first, index));
    }
    if (kind == Kind::pointer) {
        return deref(arithmetic("+", value, index));
    }
    fail("cannot subscript something of type `" + type_name(value.type) + "'");
}

Value Evaluator::arithmetic(const std::string& op, Value left, Value right) {
    const auto decay = [this](Value& v) {
        const Kind kind = kind_of(v.type);
        if (kind == Kind::array && !v.cells.empty()) {
            v = address_of(v);
            // &array points at the array; the decayed array at its first element.
            v.type.chain.erase(v.type.chain.begin() + 1);
        } else if (kind == Kind::function) {
            v = address_of(v);
        }
    };
    decay(left);
    decay(right);
    const Kind lk = kind_of(left.type);
    const Kind rk = kind_of(right.type);
    if (lk == Kind::structure || rk == Kind::structure) {
        fail("Structure has no component named operator" + op + ".");
    }
    const bool comparison =
        op == "==" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=";
    const cdb::Type int_type = scalar(Kind::int_, true);
    std::uint8_t page = 0;
    if ((lk == Kind::pointer || rk == Kind::pointer) && dead_ == 0) {
        values_.target_.read(Space::sfr, kP2, std::span(&page, 1));
    }
    if (lk == Kind::pointer || rk == Kind::pointer) {
        const auto address = [page](const Value& v) -> std::int64_t {
            return kind_of(v.type) == Kind::pointer ? pointer_target(v, page).second : to_int(v);
        };
        const auto step = [this](const Value& p) {
            const unsigned size = size_of(values_.program_.info(), p.type.chain, 1);
            return size == 0 ? 1u : size;
        };
        if (comparison) {
            const std::int64_t a = address(left);
            const std::int64_t b = address(right);
            return number(compared(op, a, b) ? 1 : 0, int_type);
        }
        if (op == "-" && lk == Kind::pointer && rk == Kind::pointer) {
            return number((address(left) - address(right)) / step(left),
                          scalar(Kind::long_int, true));
        }
        if ((op == "+" || op == "-") && (lk == Kind::pointer) != (rk == Kind::pointer)) {
            const Value& p = lk == Kind::pointer ? left : right;
            const Value& n = lk == Kind::pointer ? right : left;
            if (!is_integer(kind_of(n.type)) || (op == "-" && rk == Kind::pointer)) {
                fail("Argument to arithmetic operation not a number or boolean.");
            }
            const std::int64_t moved = to_int(n) * static_cast<std::int64_t>(step(p));
            const auto [space, at] = pointer_target(p, page);
            return pointer_value(p.type, space,
                                 static_cast<unsigned>(static_cast<std::int64_t>(at) +
                                                       (op == "+" ? moved : -moved)));
        }
        fail("Argument to arithmetic operation not a number or boolean.");
    }
    const bool lf = lk == Kind::float_;
    const bool rf = rk == Kind::float_;
    if ((!is_integer(lk) && !lf) || (!is_integer(rk) && !rf)) {
        fail("Argument to arithmetic operation not a number or boolean.");
    }
    if (lf || rf) {
        const double a = to_double(left);
        const double b = to_double(right);
        if (comparison) {
            return number(compared(op, a, b) ? 1 : 0, int_type);
        }
        if (op == "+")
            return floating(a + b);
        if (op == "-")
            return floating(a - b);
        if (op == "*")
            return floating(a * b);
        if (op == "/")
            return floating(a / b);
        fail("Integer-only operation on floating point number.");
    }
    const bool shift = op == "<<" || op == ">>";
    const cdb::Type type = shift ? promoted(left.type) : common(left.type, right.type);
    const auto in_type = [&type](const Value& v) { return to_int(number(to_int(v), type)); };
    const std::int64_t a = in_type(left);
    const std::int64_t b = shift ? to_int(right) : in_type(right);
    if (comparison) {
        return number(compared(op, a, b) ? 1 : 0, int_type);
    }
    if ((op == "/" || op == "%") && b == 0) {
        if (dead_ > 0) {
            return number(0, type);
        }
        fail("Division by zero");
    }
    const auto ua = static_cast<std::uint64_t>(a);
    std::int64_t result = 0;
    if (op == "+")
        result = a + b;
    else if (op == "-")
        result = a - b;
    else if (op == "*")
        result = static_cast<std::int64_t>(ua * static_cast<std::uint64_t>(b));
    else if (op == "/")
        result = a / b;
    else if (op == "%")
        result = a % b;
    else if (op == "&")
        result = a & b;
    else if (op == "|")
        result = a | b;
    else if (op == "^")
        result = a ^ b;
    else if (op == "<<")
        result = b >= 64 || b < 0 ? 0 : static_cast<std::int64_t>(ua << b);
    else if (op == ">>")
        result = b >= 64 || b < 0 ? (a < 0 ? -1 : 0) : a >> b;
    return number(result, type);
}

Value Evaluator::convert(const Value& value, const cdb::Type& type) {
    const Kind to = kind_of(type);
    Value from = value;
    const Kind kind = kind_of(from.type);
    if (to == Kind::structure || kind == Kind::structure) {
        if (same_type(from.type, type)) {
            return from;
        }
        fail("Invalid cast.");
    }
    if (to == Kind::void_) {
        Value none;
        none.type = type;
        return none;
    }
    if (kind == Kind::array || kind == Kind::function) {
        from = arithmetic("+", from, number(0, scalar(Kind::int_, true)));
    }
    const Kind now = kind_of(from.type);
    if (to == Kind::float_) {
        if (now == Kind::pointer) {
            fail("Invalid cast.");
        }
        return floating(to_double(from));
    }
    if (to == Kind::pointer) {
        if (now == Kind::pointer) {
            std::uint8_t page = 0;
            if (dead_ == 0) {
                values_.target_.read(Space::sfr, kP2, std::span(&page, 1));
            }
            const auto [space, address] = pointer_target(from, page);
            return pointer_value(type, space, address);
        }
        if (now == Kind::float_) {
            fail("Invalid cast.");
        }
        return number(to_int(from), type);
    }
    if (to == Kind::sbit) {
        return number(to_int(from) != 0 ? 1 : 0, type);
    }
    if (now == Kind::float_) {
        return number(static_cast<std::int64_t>(std::trunc(to_double(from))), type);
    }
    return number(to_int(from), type);
}

Value Evaluator::assign(const Value& target, const Value& value) {
    if (target.cells.empty()) {
        fail(target.name.starts_with("$") ? "Left operand of assignment is not a modifiable lvalue."
                                          : "Left operand of assignment is not an lvalue.");
    }
    const Kind kind = kind_of(target.type);
    if (kind == Kind::array || kind == Kind::function ||
        (kind == Kind::structure && !same_type(target.type, value.type))) {
        fail("Invalid cast.");
    }
    if (dead_ > 0) {
        return target;
    }
    std::vector<std::uint8_t> bytes;
    if (kind == Kind::sbit || kind == Kind::bit_field) {
        const unsigned shift =
            target.bit >= 0 ? static_cast<unsigned>(target.bit) : target.type.chain.front().offset;
        const unsigned width = target.bit >= 0 ? 1 : target.type.chain.front().width;
        const std::uint64_t mask = ((1ULL << width) - 1) << shift;
        const auto bits = static_cast<std::uint64_t>(
            kind == Kind::sbit ? (to_int(convert(value, scalar(Kind::sbit, false))))
                               : to_int(convert(value, scalar(Kind::long_int, false))));
        const std::uint64_t merged =
            (little_endian(target.bytes) & ~mask) | ((bits << shift) & mask);
        bytes = target.bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(merged >> (8 * i));
        }
    } else {
        bytes = kind == Kind::structure ? value.bytes : convert(value, target.type).bytes;
    }
    bytes.resize(target.cells.size());
    for (std::size_t i = 0; i < target.cells.size(); ++i) {
        if (!values_.target_.write(target.cells[i].space, target.cells[i].address,
                                   std::span(&bytes[i], 1))) {
            fail("Cannot access memory at address " + hex(target.cells[i].address));
        }
    }
    Value written = target;
    if (!values_.read(written)) {
        fail("Cannot access memory at address " + hex(target.cells[0].address));
    }
    return written;
}

}  // namespace debugger::detail
