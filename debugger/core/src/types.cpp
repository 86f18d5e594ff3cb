// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Type sizes and names.
#include "values.h"

#include <algorithm>
#include <cstring>

#include "value_bytes.h"

namespace debugger {

using namespace detail;

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
    // The declarator grows around a name that is not there, as C writes it:
    // "int *[4]" is an array of pointers, "int (*)[4]" a pointer to an array.
    std::string base;
    std::string declarator;
    for (const cdb::Declarator& d : type.chain) {
        switch (d.kind) {
            case Kind::array:
            case Kind::function:
                if (declarator.starts_with("*")) {
                    declarator = "(" + declarator + ")";
                }
                declarator +=
                    d.kind == Kind::array ? "[" + std::to_string(d.count) + "]" : "(void)";
                break;
            case Kind::pointer:
                declarator = "*" + declarator;
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
    return declarator.empty() ? base : base + " " + declarator;
}

}  // namespace debugger
