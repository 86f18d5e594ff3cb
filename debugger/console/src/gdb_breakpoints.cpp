// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's watchpoints and what it sets on breakpoints: conditions,
// ignore counts, enabling, and the table `info breakpoints` prints.
#include <algorithm>

#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using text::hex;
using text::trim;
using Kind = debugger::Breakpoint::Kind;

namespace {

std::string_view type_of(Kind kind) {
    switch (kind) {
        case Kind::breakpoint:
            return "breakpoint";
        case Kind::watch:
            return "hw watchpoint";
        case Kind::read_watch:
            return "read watchpoint";
        case Kind::access_watch:
            return "acc watchpoint";
    }
    return {};
}

}  // namespace

void GdbSession::do_watch(std::string_view args, Kind kind) {
    args = trim(args);
    if (args.empty()) {
        io_.out << "Argument required (expression to compute).\n";
        return;
    }
    if (!running_or_say()) {
        return;
    }
    const auto added = engine_.add_watchpoint(std::string(args), kind, selected_frame());
    if (const auto* wrong = std::get_if<std::string>(&added)) {
        io_.out << *wrong << '\n';
        return;
    }
    const auto& b = std::get<debugger::Breakpoint>(added);
    io_.out << (kind == Kind::read_watch     ? "Hardware read watchpoint "
                : kind == Kind::access_watch ? "Hardware access (read/write) watchpoint "
                                             : "Hardware watchpoint ")
            << b.number << ": " << b.expression << '\n';
}

// The breakpoint `word` names, or null when gdb's message said why not.
debugger::Breakpoint* GdbSession::numbered_breakpoint(std::string_view word,
                                                      std::string_view required) {
    if (word.empty()) {
        io_.out << "Argument required (" << required << ").\n";
        return nullptr;
    }
    const auto number = text::number_of(word);
    debugger::Breakpoint* b = number ? engine_.find_breakpoint(static_cast<int>(*number)) : nullptr;
    if (b == nullptr) {
        io_.out << "No breakpoint number " << word << ".\n";
    }
    return b;
}

void GdbSession::do_condition(std::string_view args) {
    const auto [word, condition] = text::split_word(args);
    debugger::Breakpoint* b = numbered_breakpoint(word, "breakpoint number");
    if (b == nullptr) {
        return;
    }
    if (condition.empty()) {
        b->condition.clear();
        io_.out << "Breakpoint " << b->number << " now unconditional.\n";
        return;
    }
    const debugger::Frame frame{b->location.function, b->address, {}};
    const auto test = engine_.values().evaluate(std::string(condition), frame);
    if (const auto* wrong = std::get_if<std::string>(&test);
        wrong != nullptr && wrong->starts_with("A syntax error")) {
        io_.out << *wrong << '\n';
        return;
    }
    b->condition = std::string(condition);
}

void GdbSession::do_ignore(std::string_view args) {
    const auto [word, rest] = text::split_word(args);
    debugger::Breakpoint* b = numbered_breakpoint(word, "a breakpoint number");
    if (b == nullptr) {
        return;
    }
    if (rest.empty()) {
        io_.out << "Second argument (specified ignore-count) is missing.\n";
        return;
    }
    const auto count = text::number_of(rest);
    if (!count) {
        io_.out << "Invalid number \"" << rest << "\".\n";
        return;
    }
    b->ignore = static_cast<int>(std::max(0L, *count));
    if (b->ignore == 0) {
        io_.out << "Will stop next time breakpoint " << b->number << " is reached.\n";
    } else if (b->ignore == 1) {
        io_.out << "Will ignore next crossing of breakpoint " << b->number << ".\n";
    } else {
        io_.out << "Will ignore next " << b->ignore << " crossings of breakpoint " << b->number
                << ".\n";
    }
}

void GdbSession::do_enable(std::string_view args, bool enable) {
    args = trim(args);
    for (const std::string_view word : {"breakpoints", "once", "delete"}) {
        if (args.starts_with(word)) {
            args = trim(args.substr(word.size()));
        }
    }
    if (args.empty()) {
        for (const debugger::Breakpoint& b : engine_.breakpoints()) {
            engine_.find_breakpoint(b.number)->enabled = enable;
        }
    }
    while (!args.empty()) {
        const auto [word, rest] = text::split_word(args);
        const auto number = text::number_of(word);
        debugger::Breakpoint* b =
            number ? engine_.find_breakpoint(static_cast<int>(*number)) : nullptr;
        if (b == nullptr) {
            io_.out << "No breakpoint number " << word << ".\n";
        } else {
            b->enabled = enable;
        }
        args = rest;
    }
    engine_.update_breakpoints();
}

void GdbSession::do_info_breakpoints(std::string_view) {
    const auto& all = engine_.breakpoints();
    if (all.empty()) {
        io_.out << "No breakpoints or watchpoints.\n";
        return;
    }
    std::size_t width = 14;
    for (const debugger::Breakpoint& b : all) {
        width = std::max(width, type_of(b.kind).size());
    }
    char line[160];
    std::snprintf(line, sizeof line, "%-7s %-*s Disp Enb %-10s What\n", "Num",
                  static_cast<int>(width), "Type", "Address");
    io_.out << line;
    for (const debugger::Breakpoint& b : all) {
        const bool code = b.kind == Kind::breakpoint;
        std::snprintf(line, sizeof line, "%-7d %-*s %-4s %-3s %-10s ", b.number,
                      static_cast<int>(width), std::string(type_of(b.kind)).c_str(),
                      b.temporary ? "del" : "keep", b.enabled ? "y" : "n",
                      code ? hex(b.address, 8).c_str() : "");
        io_.out << line;
        if (!code) {
            io_.out << b.expression << '\n';
        } else if (b.location.function != nullptr && !b.location.file.empty()) {
            io_.out << "in " << b.location.function->name << " at " << b.location.file << ':'
                    << b.location.line << '\n';
        } else {
            io_.out << where(b.location) << '\n';
        }
        if (!b.condition.empty()) {
            io_.out << "\tstop only if " << b.condition << '\n';
        }
        if (b.hits > 0) {
            // gdb's words for watchpoints too.
            io_.out << "\tbreakpoint already hit " << b.hits
                    << (b.hits == 1 ? " time\n" : " times\n");
        }
        if (b.ignore > 0) {
            io_.out << "\tignore next " << b.ignore << " hits\n";
        }
    }
}

}  // namespace qcli
