/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// C variables of the firmware as the debugger shows and changes them: where
// each byte lives in the 8051's memory, read through the target, printed as
// gdb prints them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cdb.h"
#include "debug_target.h"
#include "program.h"

namespace debugger {

namespace detail {
class Evaluator;
}

// One byte of a value: its space and address.
struct Cell {
    Space space;
    unsigned address;
};

struct Value {
    std::string name;  // as asked for, e.g. "where.x"
    cdb::Type type;    // what the bytes are
    std::vector<Cell> cells;
    int bit = -1;  // for a bit: which bit of the one cell
    std::vector<std::uint8_t> bytes;
};

// The function whose locals are in sight, at a code address.
struct Frame {
    const cdb::Function* function = nullptr;
    std::uint32_t pc = 0;
};

// The size in bytes of the type that starts at `chain[from]`.
unsigned size_of(const cdb::DebugInfo& info, const std::vector<cdb::Declarator>& chain,
                 std::size_t from = 0);
// "unsigned char", "int [4]", "struct point".
std::string type_name(const cdb::Type& type);

class Values {
public:
    Values(const Program& program, Target& target) : program_(program), target_(target) {}

    // A C expression ("*p", "a[i] + 1", "(uint8_t)x", "v = 1.5", "$r7", ...):
    // its value, or what is wrong in gdb's words.
    std::variant<Value, std::string> evaluate(const std::string& expression, const Frame& frame);
    // "$r7", "$a", "$dptr", ...: the register read; an empty text for a name no register has.
    std::variant<Value, std::string> evaluate_register(const std::string& name, const Frame& frame);
    // The variable as a value, read.
    std::variant<Value, std::string> of(const cdb::Symbol& symbol, const Frame& frame);
    // Sets what `expression` names to the value of the expression `text`.
    std::optional<std::string> assign(const std::string& expression, const std::string& text,
                                      const Frame& frame);

    // "12", "7 '\a'", "{x = 12, y = 7 '\a'}", "{1, 2, 3}"; format 'x' for hexadecimal.
    std::string format(const Value& value, char format = 0) const;
    // A whole value as `print` shows it: a pointer with its type before it,
    // "(struct node *) 0x441 <head>".
    std::string show(const Value& value, char format = 0) const;
    // The members or elements of a structure or array, read.
    std::vector<Value> parts(const Value& value) const;

    // The locals of a frame's function, and the program's own globals.
    std::vector<const cdb::Symbol*> locals(const Frame& frame) const;
    std::vector<const cdb::Symbol*> globals() const;

    // The registers of the current bank and the special ones, as `info registers` shows them.
    std::vector<std::pair<std::string, std::optional<unsigned>>> registers(std::uint32_t pc);

private:
    friend class detail::Evaluator;

    // "0x441 <head>", "0x20 \"text\"", "{void (void)} 0x1a3 <handler>".
    std::string pointer_text(const Value& value, char format) const;
    const cdb::Symbol* find(const std::string& name, const Frame& frame) const;
    std::optional<std::string> place(const cdb::Symbol& symbol, Value& value);
    bool read(Value& value) const;

    const Program& program_;
    Target& target_;
};

}  // namespace debugger
