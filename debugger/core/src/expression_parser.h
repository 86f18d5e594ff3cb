// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// C expressions as gdb reads them: the tokens of a line, parsed by C's
// precedence and evaluated over the firmware's values, with SDCC's pointer
// spaces and the 8051's type sizes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "values.h"

namespace debugger::detail {

struct Token {
    enum class Kind { end, number, floating, character, string, name, punct };
    Kind kind = Kind::end;
    std::string text;          // as written; for a string or character, what it holds
    std::size_t at = 0;        // where it begins in the line
    std::uint64_t number = 0;  // for a number or character
    double floating = 0;
    bool is_unsigned = false;  // a U suffix
    bool is_long = false;      // an L suffix
};

// The tokens of `text`, ending with an end token; or gdb's complaint.
std::variant<std::vector<Token>, std::string> tokenize(std::string_view text);

// Where a pointer points: its space and address there. A generic pointer's
// third byte tags the space as SDCC does: 0x00 __xdata, 0x40 __data and
// __idata, 0x60 __pdata (in the page P2 gives), 0x80 __code.
std::pair<Space, unsigned> pointer_target(const Value& pointer, std::uint8_t page);

// Thrown out of the evaluation with gdb's words for what is wrong.
struct EvalError {
    std::string text;
};

class Evaluator {
public:
    Evaluator(Values& values, const Frame& frame, std::string_view text)
        : values_(values), frame_(frame), text_(text) {}

    // The value of the whole line, or what is wrong in gdb's words.
    std::variant<Value, std::string> run();

private:
    const Token& peek(std::size_t ahead = 0) const;
    bool accept(std::string_view punct);
    void expect(std::string_view punct);
    [[noreturn]] void syntax_error() const;

    Value comma();
    Value assignment();
    Value conditional();
    Value binary(int level);
    Value unary();
    Value postfix(Value value);
    Value primary();

    // A type name where one begins (after "(" or "sizeof ("), or nothing.
    bool type_ahead(std::size_t ahead = 0) const;
    cdb::Type type_name_here();

    Value variable(const std::string& name);
    Value register_value(const std::string& name);
    Value deref(const Value& pointer);
    Value address_of(const Value& value);
    Value member(const Value& value, const std::string& name, bool arrow);
    Value subscript(const Value& value, const Value& index);
    Value arithmetic(const std::string& op, Value left, Value right);
    Value convert(const Value& value, const cdb::Type& type);
    Value assign(const Value& target, const Value& value);

    Values& values_;
    const Frame& frame_;
    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
    int dead_ = 0;  // inside the side of && || ?: or sizeof that is not run
};

}  // namespace debugger::detail
