/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// SDCC's debug information (the .cdb file of `sdcc --debug`), read into
// modules, functions, symbols, structure types and the addresses of C lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cdb {

// One step of a type chain, outermost first: "DA4d,SC:U" is an array of 4
// of char.
struct Declarator {
    enum class Kind {
        array,     // count elements
        function,  // returning the rest of the chain
        pointer,   // to the rest, `space` says where it points
        long_int,  // the rest are specifiers; one ends the chain
        int_,
        short_int,
        char_,
        void_,
        float_,
        structure,  // `name`
        sbit,
        bit_field,  // `offset` and `width` in bits
    };
    Kind kind;
    unsigned count = 0;
    char space =
        0;  // for a pointer: G generic, C code, X external, D internal, P paged, I indirect
    std::string name;
    unsigned offset = 0;
    unsigned width = 0;
};

struct Type {
    unsigned size = 0;  // in bytes, as the compiler gives it
    std::vector<Declarator> chain;
    bool is_signed = false;
};

// How a name is seen: everywhere, in one file, or in one function.
struct Scope {
    enum class Kind { global, file, local, structure };
    Kind kind = Kind::global;
    std::string file;      // for file: the file's name without its ".c"; for local, its module
    std::string function;  // for local
};

// Where a symbol lives, as the address space code gives it.
enum class Space : char {
    external_stack = 'A',
    internal_stack = 'B',
    code = 'C',
    code_static = 'D',
    data = 'E',      // internal RAM, 0x00 to 0x7F, direct
    external = 'F',  // __xdata
    idata = 'G',     // internal RAM, indirect
    paged = 'P',     // __pdata: one page of external RAM, at its full address
    bit = 'H',
    sfr = 'I',
    sbit = 'J',
    registers = 'R',
    none = 'Z',
};

struct Symbol {
    std::string name;
    Scope scope;
    int level = 0;
    int block = 0;
    Type type;
    Space space = Space::none;
    bool on_stack = false;
    int stack_offset = 0;
    std::vector<std::string> registers;  // for Space::registers, lowest byte first ("r7")
    std::optional<std::uint32_t> address;
};

struct Member {
    unsigned offset = 0;
    Symbol symbol;
};

struct Structure {
    std::string name;
    Scope scope;
    std::vector<Member> members;
};

struct Function {
    std::string name;
    Scope scope;
    Type type;  // a function declarator, then what it returns
    bool interrupt = false;
    int interrupt_number = 0;
    int register_bank = 0;
    std::optional<std::uint32_t> entry;  // its first instruction
    std::optional<std::uint32_t> exit;   // its last
};

struct Line {
    std::string file;  // as the compiler was given it, e.g. "t.c"
    unsigned line = 0;
    int level = 0;
    int block = 0;
    std::uint32_t address = 0;
};

struct DebugInfo {
    std::vector<std::string> modules;
    std::vector<Function> functions;
    std::vector<Symbol> symbols;
    std::vector<Structure> structures;
    std::vector<Line> lines;  // C lines, in the order of the file

    const Structure* structure(std::string_view name) const;
    // The function whose code holds `address`, or null.
    const Function* function_at(std::uint32_t address) const;
};

// What is wrong, on which line of which file.
struct Error {
    std::string file;
    std::size_t line = 0;
    std::string what;

    // "t.cdb:12: bad type chain '({2}DQ,SI:S)'"
    std::string text() const;
};

struct Read {
    DebugInfo info;
    std::optional<Error> error;
};

// Reads the records of a .cdb text; `file` names it in errors. Records of
// kinds this reader does not use are passed over; one it uses but cannot
// read is an error.
Read read(std::string_view text, const std::string& file);

// "({2}DF,SI:S)" as a type; nothing when it is not one.
std::optional<Type> parse_type(std::string_view text);

}  // namespace cdb
