// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "gdb_session.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

namespace qcli {

namespace {

using debugger::Stop;

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<unsigned> count_of(std::string_view args) {
    args = trim(args);
    if (args.empty()) {
        return 1;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(args.data(), args.data() + args.size(), value);
    if (ec != std::errc{} || end != args.data() + args.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

std::string hex(std::uint32_t value, int digits = 4) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

}  // namespace

// One command: its names (the first is its own, the others its short
// forms), what `help` says of it, and what it does.
struct GdbSession::Entry {
    std::array<std::string_view, 4> names;
    std::string_view help;
    void (*act)(GdbSession&, std::string_view);
};

GdbSession::GdbSession(debugger::Engine& engine, SessionIo io)
    : engine_(engine), io_(std::move(io)) {}

void GdbSession::run(std::istream& in) {
    std::string line;
    while (!quit_ && !engine_.last_stop().ended() && !(io_.over && io_.over())) {
        if (io_.interactive) {
            io_.before_output();
            io_.out << "(quillon gdb) " << std::flush;
        }
        if (!std::getline(in, line)) {
            break;
        }
        if (io_.interactive && trim(line).empty()) {
            line = last_line_;  // an empty line repeats the last command, as in gdb
        }
        if (!command(line)) {
            break;
        }
        if (!trim(line).empty()) {
            last_line_ = line;
        }
    }
}

bool GdbSession::command(const std::string& text) {
    std::string_view line = trim(text);
    if (line.empty() || line.front() == '#') {
        return true;
    }
    std::size_t end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '/' && line[end] != '\t') {
        ++end;
    }
    const std::string_view name = line.substr(0, end);
    std::string_view args = trim(line.substr(end));
    char format = 0;
    if (args.starts_with("/") && args.size() >= 2) {
        format = args[1];
        args = trim(args.substr(2));
    }
    static constexpr auto kCommands = std::to_array<Entry>({
        {{"break", "b", "br"},
         "break LOCATION: a breakpoint at FILE:LINE, LINE or FUNCTION",
         [](GdbSession& s, std::string_view a) { s.do_break(a, false); }},
        {{"tbreak"},
         "tbreak LOCATION: a breakpoint that goes once hit",
         [](GdbSession& s, std::string_view a) { s.do_break(a, true); }},
        {{"delete", "d"},
         "delete [N...]: delete breakpoints, all without N",
         [](GdbSession& s, std::string_view a) { s.do_delete(a); }},
        {{"info", "i"},
         "info breakpoints|registers|locals|ports",
         [](GdbSession& s, std::string_view a) { s.do_info(a); }},
        {{"run", "r"},
         "run: start the firmware from its reset",
         [](GdbSession& s, std::string_view a) { s.do_run(a); }},
        {{"continue", "c", "cont"},
         "continue: run on to a breakpoint or the end",
         [](GdbSession& s, std::string_view a) { s.do_continue(a); }},
        {{"next", "n"},
         "next [N]: the next line, over calls",
         [](GdbSession& s, std::string_view a) { s.do_step(a, false); }},
        {{"step", "s"},
         "step [N]: the next line, into calls",
         [](GdbSession& s, std::string_view a) { s.do_step(a, true); }},
        {{"finish", "fin"},
         "finish: run until the current function returns",
         [](GdbSession& s, std::string_view a) { s.do_finish(a); }},
        {{"print", "p", "inspect"},
         "print[/x] EXPRESSION [= VALUE]: a variable, member or element",
         nullptr},
        {{"set"},
         "set var EXPRESSION = VALUE: change a variable",
         [](GdbSession& s, std::string_view a) { s.do_set(a); }},
        {{"backtrace", "bt", "where"},
         "backtrace: the calls the 8051 is in",
         [](GdbSession& s, std::string_view a) { s.do_backtrace(a); }},
        {{"list", "l"},
         "list [LINE|FUNCTION]: ten lines of the source",
         [](GdbSession& s, std::string_view a) { s.do_list(a); }},
        {{"echo"},
         "echo TEXT: print TEXT (\\n for a line end)",
         [](GdbSession& s, std::string_view a) {
             std::string text(a);
             for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) {
                 text.replace(at, 2, "\n");
             }
             s.io_.out << text;
         }},
        {{"help", "h"}, "help: this list", [](GdbSession& s, std::string_view a) { s.do_help(a); }},
        {{"quit", "q", "exit"},
         "quit: end the session and take the board back",
         [](GdbSession& s, std::string_view) { s.quit_ = true; }},
    });
    const Entry* found = nullptr;
    for (const Entry& entry : kCommands) {
        if (std::ranges::find(entry.names, name) != entry.names.end()) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) {
        // A unique beginning of a command's own name, as gdb takes "cont" or "fin".
        for (const Entry& entry : kCommands) {
            if (entry.names[0].starts_with(name)) {
                found = found == nullptr ? &entry : nullptr;
                if (found == nullptr) {
                    break;
                }
            }
        }
    }
    io_.before_output();
    if (found == nullptr) {
        io_.out << "Undefined command: \"" << name << "\".  Try \"help\".\n";
        return true;
    }
    if (found->act == nullptr) {
        do_print(args, format);
    } else {
        found->act(*this, args);
    }
    return !quit_;
}

void GdbSession::do_help(std::string_view) {
    static constexpr auto kLines = std::to_array<std::string_view>({
        "break LOCATION (b)      a breakpoint at FILE:LINE, LINE, FUNCTION or *ADDRESS",
        "tbreak LOCATION         a breakpoint that goes once hit",
        "delete [N...] (d)       delete breakpoints, all without N",
        "info breakpoints (i b)  the breakpoints",
        "info registers (i r)    the registers of the current bank and the special ones",
        "info locals             the current function's variables",
        "info ports              the latches of P0 to P3",
        "run (r)                 start the firmware from its reset",
        "continue (c, cont)      run on to a breakpoint or the end",
        "next [N] (n)            the next line, over calls",
        "step [N] (s)            the next line, into calls",
        "finish                  run until the current function returns",
        "print[/x] EXPR (p)      a variable, member or element; EXPR = VALUE sets it",
        "set var EXPR = VALUE    change a variable",
        "backtrace (bt)          the calls the 8051 is in; list [LINE]  ten lines of source",
        "echo TEXT, quit (q)     print TEXT; end the session",
    });
    for (const std::string_view line : kLines) {
        io_.out << line << '\n';
    }
}

std::string GdbSession::where(const debugger::Location& location) const {
    std::string text = (location.function != nullptr ? location.function->name : "??") + " ()";
    if (!location.file.empty()) {
        text += " at " + location.file + ":" + std::to_string(location.line);
    }
    return text;
}

void GdbSession::show_location(const Stop& stop, bool with_function) {
    const debugger::Location& at = stop.location;
    if (with_function) {
        if (!at.line_start) {
            io_.out << hex(stop.pc) << " in ";
        }
        io_.out << where(at) << '\n';
    }
    if (at.file.empty()) {
        return;
    }
    if (io_.fullname) {
        const auto path = engine_.program().source_path(at.file);
        io_.out << "\032\032" << (path.empty() ? at.file : path.string()) << ':' << at.line
                << ":1:" << (at.line_start ? "beg" : "middle") << ':' << hex(stop.pc, 0) << '\n';
        return;
    }
    if (const auto text = engine_.program().source_line(at.file, at.line)) {
        io_.out << at.line << '\t' << *text << '\n';
    } else {
        io_.out << at.line << '\t' << at.file << ": No such file or directory.\n";
    }
    listed_ = at.line;
}

void GdbSession::report(const Stop& stop, const Stop& before) {
    io_.before_output();
    switch (stop.reason) {
        case Stop::Reason::breakpoint:
            io_.out << "\nBreakpoint " << stop.breakpoint << ", ";
            show_location(stop, true);
            return;
        case Stop::Reason::pause:
            io_.out << "\nProgram received signal SIGINT, Interrupt.\n";
            show_location(stop, true);
            return;
        case Stop::Reason::entry:
        case Stop::Reason::step:
            show_location(stop, stop.location.function != before.location.function);
            return;
        case Stop::Reason::exited:
            io_.out << "firmware result " << stop.result << '\n';
            return;
        case Stop::Reason::budget:
            io_.out << "the budget ran out without a result from the firmware\n";
            return;
        case Stop::Reason::held:
            io_.out << "the firmware was stopped\n";
            return;
        case Stop::Reason::failed:
            io_.err << "quillon-cli: " << (stop.text.empty() ? "the 8051 stopped" : stop.text)
                    << '\n';
            return;
    }
}

bool GdbSession::running_or_say() {
    if (engine_.last_stop().ended()) {
        io_.out << "The program is not being run.\n";
        return false;
    }
    return true;
}

void GdbSession::do_break(std::string_view args, bool temporary) {
    std::string place(trim(args));
    if (place.empty()) {
        place = "*" + std::to_string(engine_.last_stop().pc);
    }
    const auto added = engine_.add_breakpoint(place, temporary);
    if (const auto* wrong = std::get_if<std::string>(&added)) {
        io_.out << *wrong << '\n';
        return;
    }
    const auto& b = std::get<debugger::Breakpoint>(added);
    io_.out << (temporary ? "Temporary breakpoint " : "Breakpoint ") << b.number << " at "
            << hex(b.address, 0);
    if (!b.location.file.empty()) {
        io_.out << ": file " << b.location.file << ", line " << b.location.line;
    }
    io_.out << ".\n";
}

void GdbSession::do_delete(std::string_view args) {
    args = trim(args);
    if (args.starts_with("breakpoints")) {
        args = trim(args.substr(11));
    }
    if (args.empty()) {
        while (!engine_.breakpoints().empty()) {
            engine_.delete_breakpoint(engine_.breakpoints().front().number);
        }
        return;
    }
    while (!args.empty()) {
        const std::size_t end = args.find(' ');
        const std::string_view word = args.substr(0, end);
        const auto number = count_of(word);
        if (!number || !engine_.delete_breakpoint(static_cast<int>(*number))) {
            io_.out << "No breakpoint number " << word << ".\n";
        }
        args = end == std::string_view::npos ? std::string_view{} : trim(args.substr(end));
    }
}

void GdbSession::do_info(std::string_view args) {
    args = trim(args);
    const auto is = [&args](std::string_view word, std::string_view shortest) {
        return args.size() >= shortest.size() && word.starts_with(args);
    };
    if (is("breakpoints", "b")) {
        if (engine_.breakpoints().empty()) {
            io_.out << "No breakpoints or watchpoints.\n";
            return;
        }
        io_.out << "Num     Type           Disp Enb Address    What\n";
        for (const debugger::Breakpoint& b : engine_.breakpoints()) {
            char line[64];
            std::snprintf(line, sizeof line, "%-7d %-14s %-4s %-3s %-10s ", b.number, "breakpoint",
                          b.temporary ? "del" : "keep", "y", hex(b.address, 8).c_str());
            io_.out << line << "in " << where(b.location) << '\n';
            if (b.hits > 0) {
                io_.out << "\tbreakpoint already hit " << b.hits
                        << (b.hits == 1 ? " time\n" : " times\n");
            }
        }
        return;
    }
    if (!running_or_say()) {
        return;
    }
    if (is("registers", "r")) {
        for (const auto& [name, value] : engine_.values().registers(engine_.last_stop().pc)) {
            char line[64];
            if (value) {
                std::snprintf(line, sizeof line, "%-15s0x%-17x%u\n", name.c_str(), *value, *value);
            } else {
                std::snprintf(line, sizeof line, "%-15s<unavailable>\n", name.c_str());
            }
            io_.out << line;
        }
        return;
    }
    if (is("locals", "lo")) {
        const debugger::Frame frame = engine_.frame();
        const auto locals = engine_.values().locals(frame);
        if (locals.empty()) {
            io_.out << "No locals.\n";
        }
        for (const cdb::Symbol* local : locals) {
            const auto value = engine_.values().of(*local, frame);
            if (const auto* read = std::get_if<debugger::Value>(&value)) {
                io_.out << local->name << " = " << engine_.values().format(*read) << '\n';
            } else {
                io_.out << local->name << " = <" << std::get<std::string>(value) << ">\n";
            }
        }
        return;
    }
    if (is("ports", "p")) {
        const debugger::Frame frame = engine_.frame();
        std::string line;
        for (const char* port : {"P0", "P1", "P2", "P3"}) {
            const auto value = engine_.values().evaluate(port, frame);
            const auto* read = std::get_if<debugger::Value>(&value);
            char text[16];
            std::snprintf(text, sizeof text, "%s=0x%02X", port,
                          read != nullptr && !read->bytes.empty() ? read->bytes[0] : 0);
            line += (line.empty() ? "" : " ") + std::string(read != nullptr ? text : "?");
        }
        io_.out << "ports: " << line << '\n';
        return;
    }
    io_.out << "Undefined info command: \"" << args << "\".  Try \"help info\".\n";
}

void GdbSession::do_run(std::string_view) {
    if (engine_.last_stop().reason != Stop::Reason::entry) {
        io_.out << (engine_.last_stop().ended()
                        ? "The firmware has ended; start a new session to run it again.\n"
                        : "The firmware runs already; use continue.\n");
        return;
    }
    io_.out << "Starting program: " << io_.image << '\n';
    const Stop before = engine_.last_stop();
    report(engine_.go(io_.watch), before);
}

void GdbSession::do_continue(std::string_view) {
    if (!running_or_say()) {
        return;
    }
    io_.out << "Continuing.\n";
    const Stop before = engine_.last_stop();
    report(engine_.go(io_.watch), before);
}

void GdbSession::do_step(std::string_view args, bool into) {
    const auto count = count_of(args);
    if (!count) {
        io_.out << "Invalid number \"" << trim(args) << "\".\n";
        return;
    }
    for (unsigned i = 0; i < *count; ++i) {
        if (!running_or_say()) {
            return;
        }
        const Stop before = engine_.last_stop();
        const Stop& stop = into ? engine_.step(io_.watch) : engine_.next(io_.watch);
        report(stop, before);
        if (stop.reason != Stop::Reason::step) {
            return;
        }
    }
}

void GdbSession::do_finish(std::string_view) {
    if (!running_or_say()) {
        return;
    }
    const auto frames = engine_.backtrace();
    if (frames.size() < 2) {
        io_.out << "\"finish\" not meaningful in the outermost frame.\n";
        return;
    }
    io_.out << "Run till exit from #0  " << where(frames[0].location) << '\n';
    const cdb::Function* leaving = frames[0].frame.function;
    const Stop before = engine_.last_stop();
    const Stop stop = engine_.finish(io_.watch);
    report(stop, before);
    if (stop.reason == Stop::Reason::step && leaving != nullptr) {
        if (const auto value = engine_.returned(*leaving)) {
            io_.out << "Value returned is $" << ++history_ << " = "
                    << engine_.values().format(*value) << '\n';
        }
    }
}

void GdbSession::print_value(const std::string& expression, char format) {
    const auto value = engine_.values().evaluate(expression, engine_.frame());
    if (const auto* wrong = std::get_if<std::string>(&value)) {
        io_.out << *wrong << '\n';
        return;
    }
    const auto& read = std::get<debugger::Value>(value);
    if (!read.type.chain.empty() && read.type.chain.front().kind == cdb::Declarator::Kind::void_) {
        io_.out << "$" << ++history_ << " = void\n";
        return;
    }
    io_.out << "$" << ++history_ << " = " << engine_.values().show(read, format) << '\n';
}

void GdbSession::do_print(std::string_view args, char format) {
    if (!running_or_say()) {
        return;
    }
    if (trim(args).empty()) {
        io_.out << "The history is empty.\n";
        return;
    }
    print_value(std::string(args), format);
}

void GdbSession::do_set(std::string_view args) {
    args = trim(args);
    for (const std::string_view word : {"variable ", "var "}) {
        if (args.starts_with(word)) {
            args = trim(args.substr(word.size()));
            break;
        }
    }
    if (!running_or_say()) {
        return;
    }
    const auto value = engine_.values().evaluate(std::string(args), engine_.frame());
    if (const auto* wrong = std::get_if<std::string>(&value)) {
        io_.out << *wrong << '\n';
    }
}

void GdbSession::do_backtrace(std::string_view) {
    if (!running_or_say()) {
        return;
    }
    const auto frames = engine_.backtrace();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        io_.out << '#' << i << "  ";
        if (i > 0 || !frames[i].location.line_start) {
            io_.out << hex(frames[i].frame.pc) << " in ";
        }
        io_.out << where(frames[i].location) << '\n';
    }
}

void GdbSession::do_list(std::string_view args) {
    args = trim(args);
    std::string file = engine_.current_file();
    unsigned center = listed_ != 0 ? listed_ + 5 : engine_.last_stop().location.line;
    if (!args.empty()) {
        const debugger::Resolved place = engine_.program().resolve(std::string(args), file);
        if (!place.error.empty()) {
            io_.out << place.error << '\n';
            return;
        }
        file = place.location.file;
        center = place.location.line;
    } else if (listed_ == 0 && center == 0) {
        center = 1;
    }
    const unsigned first = center > 5 ? center - 5 : 1;
    unsigned shown = 0;
    for (unsigned line = first; line < first + 10; ++line) {
        const auto text = engine_.program().source_line(file, line);
        if (!text) {
            break;
        }
        io_.out << line << '\t' << *text << '\n';
        listed_ = line;
        ++shown;
    }
    if (shown == 0) {
        io_.out << "Line number " << first << " out of range; \"" << file
                << "\" has fewer lines.\n";
    }
}

}  // namespace qcli
