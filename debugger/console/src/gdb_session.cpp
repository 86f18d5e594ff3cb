// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "gdb_session.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

#include "session_text.h"

namespace qcli {

namespace {

using debugger::Stop;

using text::count_of;
using text::hex;
using text::trim;

}  // namespace

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
            // Ctrl+C while waiting for a line: gdb's "Quit", and a new prompt.
            if (io_.interrupted && io_.interrupted()) {
                in.clear();
                io_.out << "Quit\n";
                continue;
            }
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
        io_.out << "\032\032" << (path.empty() ? at.file : path.string()) << ':' << at.line << ':'
                << line_offset(at.file, at.line) << ':' << (at.line_start ? "beg" : "middle") << ':'
                << hex(stop.pc, 0) << '\n';
        return;
    }
    if (const auto text = engine_.program().source_line(at.file, at.line)) {
        io_.out << at.line << '\t' << *text << '\n';
    } else {
        io_.out << at.line << '\t' << at.file << ": No such file or directory.\n";
    }
    listed_ = at.line;
}

std::size_t GdbSession::line_offset(const std::string& file, unsigned line) const {
    std::size_t offset = 0;
    for (unsigned n = 1; n < line; ++n) {
        const auto text = engine_.program().source_line(file, n);
        if (!text) {
            return 0;
        }
        offset += text->size() + 1;
    }
    return offset;
}

void GdbSession::report(const Stop& stop, const Stop& before) {
    io_.before_output();
    selected_ = 0;
    switch (stop.reason) {
        case Stop::Reason::breakpoint:
            if (!stop.condition_error.empty()) {
                io_.out << "Error in testing condition for breakpoint " << stop.breakpoint << ":\n"
                        << stop.condition_error << '\n';
            }
            io_.out << (stop.temporary ? "\nTemporary breakpoint " : "\nBreakpoint ")
                    << stop.breakpoint << ", ";
            show_location(stop, true);
            break;
        case Stop::Reason::watchpoint: {
            const debugger::Breakpoint* b = engine_.find_breakpoint(stop.breakpoint);
            using K = debugger::Breakpoint::Kind;
            const K kind = b != nullptr ? b->kind : K::watch;
            io_.out << "\nHardware "
                    << (kind == K::read_watch     ? "read watchpoint "
                        : kind == K::access_watch ? "access (read/write) watchpoint "
                                                  : "watchpoint ")
                    << stop.breakpoint << ": " << (b != nullptr ? b->expression : "") << "\n\n";
            if (stop.old_value && stop.new_value) {
                io_.out << "Old value = " << engine_.values().show(*stop.old_value) << '\n'
                        << "New value = " << engine_.values().show(*stop.new_value) << '\n';
            } else if (stop.new_value) {
                io_.out << "Value = " << engine_.values().show(*stop.new_value) << '\n';
            }
            // gdb names the frame, and the line it is in.
            io_.out << where(stop.location) << '\n';
            debugger::Stop at_line = stop;
            at_line.location.line_start = true;
            show_location(at_line, false);
            break;
        }
        case Stop::Reason::pause:
            io_.out << "\nProgram received signal SIGINT, Interrupt.\n";
            show_location(stop, true);
            break;
        case Stop::Reason::entry:
        case Stop::Reason::step:
            show_location(stop, stop.location.function != before.location.function);
            break;
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
    show_displays();
}

bool GdbSession::running_or_say() {
    if (engine_.last_stop().ended() || killed_) {
        io_.out << "The program is not being run.\n";
        return false;
    }
    return true;
}

void GdbSession::do_break(std::string_view args, bool temporary) {
    args = trim(args);
    std::string condition;
    // "break LOCATION if EXPR" (or "break if EXPR" at the stop).
    for (std::size_t at = 0; (at = args.find("if", at)) != std::string_view::npos; ++at) {
        const bool word_start = at == 0 || args[at - 1] == ' ' || args[at - 1] == '\t';
        const bool word_end = at + 2 == args.size() || args[at + 2] == ' ' || args[at + 2] == '(' ||
                              args[at + 2] == '\t';
        if (word_start && word_end) {
            condition = std::string(trim(args.substr(at + 2)));
            args = trim(args.substr(0, at));
            break;
        }
    }
    std::string place(args);
    if (place.empty()) {
        // gdb's default place: where the selected frame is, once the firmware runs.
        if (engine_.last_stop().reason == Stop::Reason::entry || engine_.last_stop().ended()) {
            io_.out << "No default breakpoint address now.\n";
            return;
        }
        place = "*" + std::to_string(selected_frame().pc);
    }
    if (!condition.empty()) {
        const auto resolved = engine_.program().resolve(place, engine_.current_file());
        if (resolved.error.empty()) {
            const debugger::Frame frame{resolved.location.function, resolved.address};
            const auto test = engine_.values().evaluate(condition, frame);
            if (const auto* wrong = std::get_if<std::string>(&test);
                wrong != nullptr && wrong->starts_with("A syntax error")) {
                io_.out << *wrong << '\n';
                return;
            }
        }
    }
    const auto added = engine_.add_breakpoint(place, temporary);
    if (const auto* wrong = std::get_if<std::string>(&added)) {
        io_.out << *wrong << '\n';
        return;
    }
    const auto& b = std::get<debugger::Breakpoint>(added);
    if (!condition.empty()) {
        engine_.find_breakpoint(b.number)->condition = condition;
    }
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
    const auto [word, rest] = text::split_word(args);
    const Entry* sub = find(info_commands(), word);
    if (sub == nullptr) {
        io_.out << "Undefined info command: \"" << args << "\".  Try \"help info\".\n";
        return;
    }
    if (sub->act != nullptr) {
        sub->act(*this, rest);
        return;
    }
    const auto is = [sub](std::string_view name, std::string_view) {
        return sub->names[0] == name;
    };
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
        const debugger::Frame frame = selected_frame();
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
}

void GdbSession::do_run(std::string_view) {
    if (engine_.last_stop().reason != Stop::Reason::entry) {
        if (engine_.last_stop().ended()) {
            io_.out << "The firmware has ended; start a new session to run it again.\n";
            return;
        }
        // gdb asks first; a script's answer is yes.
        io_.out << "The program being debugged has been started already.\n"
                   "Start it from the beginning? (y or n) [answered Y; input not from terminal]\n";
        std::string error;
        if (!io_.restart || !io_.restart(error)) {
            io_.out << "Cannot start the firmware again: "
                    << (error.empty() ? "the board cannot be reset" : error) << '\n';
            return;
        }
        engine_.restarted();
    }
    killed_ = false;
    io_.out << "Starting program: " << io_.image << '\n';
    const Stop before = engine_.last_stop();
    report(engine_.go(io_.watch), before);
}

void GdbSession::do_continue(std::string_view args) {
    if (!running_or_say()) {
        return;
    }
    if (!trim(args).empty()) {
        const auto count = text::number_of(args);
        debugger::Breakpoint* b = engine_.last_stop().reason == Stop::Reason::breakpoint
                                      ? engine_.find_breakpoint(engine_.last_stop().breakpoint)
                                      : nullptr;
        if (!count || *count < 1) {
            io_.out << "Invalid number \"" << trim(args) << "\".\n";
            return;
        }
        if (b == nullptr) {
            io_.out << "Not stopped at any breakpoint; argument ignored.\n";
        } else {
            b->ignore = static_cast<int>(*count - 1);
            io_.out << "Will ignore next " << b->ignore << " crossings of breakpoint " << b->number
                    << ".  ";
        }
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
    const auto value = engine_.values().evaluate(expression, selected_frame());
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
    const auto value = engine_.values().evaluate(std::string(args), selected_frame());
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
        print_frame(i, false);
    }
}

}  // namespace qcli
