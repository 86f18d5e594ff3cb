// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's look at memory and types: `x` in the space an address
// names, with the simulator's disassembler for x/i; the expressions shown at
// each stop; `ptype` and `whatis`.
#include <algorithm>
#include <cctype>

#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using debugger::Space;
using text::trim;
using Kind = cdb::Declarator::Kind;

namespace {

struct Examine {
    unsigned count = 1;
    char format = 'x';
    unsigned unit = 4;  // bytes: b 1, h 2, w 4, g 8
    bool unit_given = false;
};

// "/8xb" into its count, format and unit; what is wrong otherwise.
std::optional<Examine> examine_of(std::string_view text, std::string& wrong) {
    Examine e;
    if (text.starts_with("/")) {
        text.remove_prefix(1);
    }
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0) {
        ++digits;
    }
    if (digits > 0) {
        e.count = static_cast<unsigned>(std::stoul(std::string(text.substr(0, digits))));
    }
    for (const char c : text.substr(digits)) {
        if (c == 'b' || c == 'h' || c == 'w' || c == 'g') {
            e.unit = c == 'b' ? 1 : c == 'h' ? 2 : c == 'w' ? 4 : 8;
            e.unit_given = true;
        } else if (std::string_view("xduotacisfz").find(c) != std::string_view::npos) {
            e.format = c;
        } else {
            wrong = "Undefined output format \"" + std::string(1, c) + "\".";
            return std::nullopt;
        }
    }
    if ((e.format == 'c' || e.format == 's') && !e.unit_given) {
        e.unit = 1;
    }
    return e;
}

std::string cast_space(Space space) {
    return space == Space::code ? "__code" : space == Space::idata ? "__idata" : "__xdata";
}

// A value of `unit` bytes as x prints it in `format`.
std::string unit_text(std::uint64_t raw, unsigned unit, char format) {
    char text[80];
    const unsigned bits = unit * 8;
    const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
    const auto as_signed = static_cast<long long>(bits >= 64 ? raw : (raw ^ sign) - sign);
    switch (format) {
        case 'd':
            std::snprintf(text, sizeof text, "%lld", as_signed);
            return text;
        case 'u':
            std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(raw));
            return text;
        case 'o':
            std::snprintf(text, sizeof text, "0%llo", static_cast<unsigned long long>(raw));
            return raw == 0 ? "0" : text;
        case 't': {
            std::string binary;
            for (unsigned i = bits; i-- > 0;) {
                binary += ((raw >> i) & 1) != 0 ? '1' : '0';
            }
            return binary;
        }
        case 'z':
        case 'x':
        default:
            std::snprintf(text, sizeof text, "0x%0*llx", static_cast<int>(unit * 2),
                          static_cast<unsigned long long>(raw));
            return text;
    }
}

}  // namespace

void GdbSession::do_x(std::string_view args, std::string_view format) {
    if (!running_or_say()) {
        return;
    }
    std::string wrong;
    const auto e = examine_of(format, wrong);
    if (!e) {
        io_.out << wrong << '\n';
        return;
    }
    args = trim(args);
    Space space = e->format == 'i' ? Space::code : Space::xdata;
    unsigned address = 0;
    if (args.empty()) {
        if (!examined_) {
            io_.out << "Argument required (starting display address).\n";
            return;
        }
        std::tie(space, address) = *examined_;
    } else {
        const auto value = engine_.values().evaluate(std::string(args), selected_frame());
        if (const auto* bad = std::get_if<std::string>(&value)) {
            io_.out << *bad << '\n';
            return;
        }
        const debugger::Value& v = std::get<debugger::Value>(value);
        const Kind kind = v.type.chain.empty() ? Kind::void_ : v.type.chain.front().kind;
        if (kind == Kind::pointer) {
            // Where the pointer points: its own space, as the expression reads it.
            const auto spot =
                engine_.values().evaluate("&*(" + std::string(args) + ")", selected_frame());
            const auto* p = std::get_if<debugger::Value>(&spot);
            const auto text = p != nullptr ? engine_.values().format(*p, 'x') : std::string();
            address = static_cast<unsigned>(std::stoul(text.empty() ? "0" : text, nullptr, 16));
            const char letter = v.type.chain.front().space;
            if (letter == 'C') {
                space = Space::code;
            } else if (letter == 'D' || letter == 'I') {
                space = Space::idata;
            } else if (letter == 'G') {
                const auto tag = v.bytes.size() > 2 ? v.bytes[2] : 0;
                space = tag >= 0x80   ? Space::code
                        : tag >= 0x60 ? Space::xdata
                        : tag >= 0x40 ? Space::idata
                                      : Space::xdata;
                address &= tag >= 0x40 && tag < 0x60 ? 0xFFu : 0xFFFFu;
            } else {
                space = Space::xdata;
            }
        } else if ((kind == Kind::array || kind == Kind::structure || kind == Kind::function) &&
                   (!v.cells.empty() || kind == Kind::function)) {
            space = kind == Kind::function ? Space::code : v.cells.front().space;
            address =
                kind == Kind::function
                    ? static_cast<unsigned>(v.bytes[0] | (v.bytes.size() > 1 ? v.bytes[1] << 8 : 0))
                    : v.cells.front().address;
        } else {
            std::uint64_t raw = 0;
            for (std::size_t i = v.bytes.size(); i-- > 0;) {
                raw = raw << 8 | v.bytes[i];
            }
            address = static_cast<unsigned>(raw & 0xFFFF);
        }
    }
    debugger::Target& target = engine_.target();
    // "0x1800 <samples>": the address with the symbol it falls in.
    const auto label = [this](Space in, unsigned at) {
        const auto value = engine_.values().evaluate(
            "(void " + cast_space(in) + " *)" + std::to_string(at), selected_frame());
        const auto* v = std::get_if<debugger::Value>(&value);
        return v != nullptr ? engine_.values().format(*v) : text::hex(at, 0);
    };
    if (e->format == 'i') {
        const unsigned pc = selected_frame().pc;
        for (const debugger::Instruction& i : target.disassemble(address, e->count)) {
            io_.out << (i.address == pc ? "=> " : "   ") << label(Space::code, i.address) << ":\t"
                    << i.text << '\n';
            address = i.address + static_cast<unsigned>(std::max<std::size_t>(i.bytes.size(), 1));
        }
        examined_ = {{Space::code, address}};
        return;
    }
    if (e->format == 's') {
        for (unsigned n = 0; n < e->count; ++n) {
            std::string held;
            unsigned at = address;
            std::uint8_t byte = 0;
            while (held.size() < 200 && target.read(space, at, std::span(&byte, 1)) && byte != 0) {
                held += static_cast<char>(byte);
                ++at;
            }
            std::string quoted = "\"";
            for (const char c : held) {
                const auto u = static_cast<unsigned char>(c);
                if (c == '"' || c == '\\') {
                    quoted += std::string("\\") + c;
                } else if (u >= 0x20 && u < 0x7F) {
                    quoted += c;
                } else {
                    char octal[8];
                    std::snprintf(octal, sizeof octal, "\\%03o", u);
                    quoted += octal;
                }
            }
            io_.out << label(space, address) << ":\t" << quoted << "\"\n";
            address = at + 1;
        }
        examined_ = {{space, address}};
        return;
    }
    const unsigned unit = e->format == 'c' ? 1 : e->format == 'a' ? 2 : e->unit;
    const unsigned per_line = e->format == 'c' || unit == 1 ? 8 : unit == 2 ? 8 : unit == 4 ? 4 : 2;
    for (unsigned n = 0; n < e->count; ++n) {
        if (n % per_line == 0) {
            io_.out << (n > 0 ? "\n" : "") << label(space, address) << ":";
        }
        std::vector<std::uint8_t> bytes(unit);
        if (!target.read(space, address, bytes)) {
            io_.out << "\nCannot access memory at address " << text::hex(address, 0) << '\n';
            examined_ = {{space, address}};
            return;
        }
        std::uint64_t raw = 0;
        for (std::size_t i = bytes.size(); i-- > 0;) {
            raw = raw << 8 | bytes[i];
        }
        io_.out << '\t';
        if (e->format == 'c') {
            const auto value = engine_.values().evaluate("(char)" + std::to_string(raw), {});
            io_.out << engine_.values().format(std::get<debugger::Value>(value));
        } else if (e->format == 'a') {
            io_.out << label(Space::code, static_cast<unsigned>(raw));
        } else {
            io_.out << unit_text(raw, unit, e->format);
        }
        address += unit;
    }
    io_.out << '\n';
    examined_ = {{space, address}};
}

void GdbSession::do_display(std::string_view args, std::string_view format) {
    args = trim(args);
    if (args.empty()) {
        show_displays();
        return;
    }
    Display display;
    display.number = next_display_++;
    display.expression = std::string(args);
    display.format = std::string(format);
    displays_.push_back(display);
    if (io_.interactive && !engine_.last_stop().ended()) {
        show_display(displays_.back());
    }
}

void GdbSession::do_undisplay(std::string_view args) {
    args = trim(args);
    if (args.empty()) {
        displays_.clear();
        return;
    }
    while (!args.empty()) {
        const auto [word, rest] = text::split_word(args);
        const auto number = text::number_of(word);
        const auto found = std::ranges::find_if(
            displays_, [&number](const Display& d) { return number && d.number == *number; });
        if (found == displays_.end()) {
            io_.out << "No display number " << word << ".\n";
        } else {
            displays_.erase(found);
        }
        args = rest;
    }
}

void GdbSession::do_info_display(std::string_view) {
    if (displays_.empty()) {
        io_.out << "There are no auto-display expressions now.\n";
        return;
    }
    io_.out << "Auto-display expressions now in effect:\nNum Enb Expression\n";
    for (const Display& d : displays_) {
        std::string format = d.format;
        // gdb writes an examining format out in full: "/1bi".
        if (format.find_first_of("is") != std::string::npos &&
            !std::isdigit(static_cast<unsigned char>(format.size() > 1 ? format[1] : 'x'))) {
            format = "/1b" + format.substr(1);
        }
        io_.out << d.number << ":   " << (d.enabled ? 'y' : 'n') << "  "
                << (format.empty() ? "" : format + " ") << d.expression << '\n';
    }
}

void GdbSession::show_display(const Display& d) {
    const bool examine =
        d.format.find_first_of("is") != std::string::npos ||
        (d.format.size() > 1 && std::isdigit(static_cast<unsigned char>(d.format[1])));
    if (examine) {
        io_.out << d.number << ": x" << d.format << ' ' << d.expression << '\n';
        do_x(d.expression, d.format);
        return;
    }
    const auto value = engine_.values().evaluate(d.expression, selected_frame());
    io_.out << d.number << ": " << (d.format.empty() ? "" : d.format + " ") << d.expression
            << " = ";
    if (const auto* wrong = std::get_if<std::string>(&value)) {
        io_.out << "<error: " << *wrong << ">\n";
        return;
    }
    io_.out << engine_.values().show(std::get<debugger::Value>(value),
                                     d.format.size() > 1 ? d.format.back() : 0)
            << '\n';
}

void GdbSession::show_displays() {
    if (engine_.last_stop().ended()) {
        return;
    }
    for (const Display& d : displays_) {
        if (d.enabled) {
            show_display(d);
        }
    }
}

namespace {

// "unsigned char samples[4]", "struct node *next", "void (*handler)(void)".
std::string declaration(const cdb::Type& type, const std::string& name) {
    std::string text = debugger::type_name(type);
    if (const std::size_t star = text.find("(*"); star != std::string::npos) {
        return text.insert(text.find(')', star), name);
    }
    if (const std::size_t bracket = text.find(" ["); bracket != std::string::npos) {
        return text.substr(0, bracket) + " " + name + text.substr(bracket + 1);
    }
    if (text.ends_with("*")) {
        return text + name;
    }
    return text + " " + name;
}

}  // namespace

void GdbSession::do_ptype(std::string_view args, bool expand) {
    args = trim(args);
    if (args.empty()) {
        io_.out << "Argument required (one or more choice items).\n";
        return;
    }
    const std::string text(args);
    auto value = engine_.values().evaluate(text, selected_frame());
    if (std::holds_alternative<std::string>(value)) {
        // A type's name rather than an expression: "struct node", "unsigned int".
        if (text == "void") {
            io_.out << "type = void\n";
            return;
        }
        auto typed = engine_.values().evaluate("*(" + text + " *)0", selected_frame());
        if (std::holds_alternative<debugger::Value>(typed)) {
            value = std::move(typed);
        } else if (std::get<std::string>(typed).starts_with("No struct type")) {
            value = std::move(typed);
        }
    }
    if (const auto* wrong = std::get_if<std::string>(&value)) {
        io_.out << *wrong << '\n';
        return;
    }
    const cdb::Type& type = std::get<debugger::Value>(value).type;
    std::string name = debugger::type_name(type);
    const auto structure = std::ranges::find(type.chain, Kind::structure, &cdb::Declarator::kind);
    if (!expand || structure == type.chain.end()) {
        io_.out << "type = " << name << '\n';
        return;
    }
    const cdb::Structure* s = engine_.program().info().structure(structure->name);
    std::string body = " {\n";
    if (s != nullptr) {
        for (const cdb::Member& m : s->members) {
            std::string member = declaration(m.symbol.type, m.symbol.name);
            const auto& inner = m.symbol.type.chain;
            if (!inner.empty() && inner.front().kind == Kind::bit_field) {
                member = (m.symbol.type.is_signed ? "int " : "unsigned int ") + m.symbol.name +
                         " : " + std::to_string(inner.front().width);
            }
            body += "    " + member + ";\n";
        }
    }
    body += "}";
    const std::string head = "struct " + structure->name;
    name.insert(name.find(head) + head.size(), body);
    io_.out << "type = " << name << '\n';
}

}  // namespace qcli
