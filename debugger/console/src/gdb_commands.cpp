// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's command table: each command's names, its help and what it
// runs; reading a line into a command, `help` and `complete` from the table.
#include <algorithm>
#include <set>

#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using text::trim;
using Kind = debugger::Breakpoint::Kind;

std::span<const GdbSession::Entry> GdbSession::commands() {
    static constexpr auto kCommands = std::to_array<Entry>({
        {{"break", "b", "br"},
         "Set breakpoint at specified location.\n"
         "Usage: break [LOCATION] [if CONDITION]\n"
         "LOCATION is LINE, FILE:LINE, FUNCTION, FILE:FUNCTION or *ADDRESS; without it, the\n"
         "place the selected frame is at. With CONDITION, it stops only where that is true.",
         [](GdbSession& s, std::string_view a) { s.do_break(a, false); }},
        {{"tbreak"},
         "Set a temporary breakpoint.\nUsage: tbreak [LOCATION] [if CONDITION]\n"
         "Like \"break\", but the breakpoint is deleted when it is first hit.",
         [](GdbSession& s, std::string_view a) { s.do_break(a, true); }},
        {{"watch"},
         "Set a watchpoint for EXPRESSION.\nUsage: watch EXPRESSION\n"
         "The firmware stops when it writes a new value into what EXPRESSION names.",
         [](GdbSession& s, std::string_view a) { s.do_watch(a, Kind::watch); }},
        {{"rwatch"},
         "Set a read watchpoint for EXPRESSION.\nUsage: rwatch EXPRESSION\n"
         "The firmware stops when it reads what EXPRESSION names.",
         [](GdbSession& s, std::string_view a) { s.do_watch(a, Kind::read_watch); }},
        {{"awatch"},
         "Set an access watchpoint for EXPRESSION.\nUsage: awatch EXPRESSION\n"
         "The firmware stops when it reads or writes what EXPRESSION names.",
         [](GdbSession& s, std::string_view a) { s.do_watch(a, Kind::access_watch); }},
        {{"delete", "d"},
         "Delete all or some breakpoints.\nUsage: delete [BREAKPOINTNUM]...\n"
         "Without a number, every breakpoint and watchpoint is deleted.",
         [](GdbSession& s, std::string_view a) { s.do_delete(a); }},
        {{"disable", "disa", "dis"},
         "Disable all or some breakpoints.\nUsage: disable [BREAKPOINTNUM]...",
         [](GdbSession& s, std::string_view a) { s.do_enable(a, false); }},
        {{"enable", "en"},
         "Enable all or some breakpoints.\nUsage: enable [BREAKPOINTNUM]...",
         [](GdbSession& s, std::string_view a) { s.do_enable(a, true); }},
        {{"condition"},
         "Specify breakpoint number N to break only if COND is true.\n"
         "Usage: condition N [COND]\nWithout COND, the breakpoint is made unconditional.",
         [](GdbSession& s, std::string_view a) { s.do_condition(a); }},
        {{"ignore"},
         "Set ignore-count of breakpoint number N to COUNT.\nUsage: ignore N COUNT",
         [](GdbSession& s, std::string_view a) { s.do_ignore(a); }},
        {{"info", "i", "inf"},
         "Generic command for showing things about the program being debugged.\n"
         "Usage: info args|breakpoints|display|frame|line|locals|ports|registers|source|"
         "watchpoints",
         [](GdbSession& s, std::string_view a) { s.do_info(a); }},
        {{"run", "r"},
         "Start the firmware from its reset.\nUsage: run",
         [](GdbSession& s, std::string_view a) { s.do_run(a); }},
        {{"start"},
         "Start the firmware and stop at the beginning of main.\nUsage: start",
         [](GdbSession& s, std::string_view) {
             s.do_break("main", true);
             s.do_run({});
         }},
        {{"continue", "c", "cont", "fg"},
         "Continue the firmware being debugged.\nUsage: continue [N]\n"
         "With N, the breakpoint it stopped at is ignored N-1 more times.",
         [](GdbSession& s, std::string_view a) { s.do_continue(a); }},
        {{"next", "n"},
         "Step program, proceeding through subroutine calls.\nUsage: next [N]",
         [](GdbSession& s, std::string_view a) { s.do_step(a, false); }},
        {{"step", "s"},
         "Step program until it reaches a different source line.\nUsage: step [N]",
         [](GdbSession& s, std::string_view a) { s.do_step(a, true); }},
        {{"finish", "fin"},
         "Execute until selected stack frame returns.\nUsage: finish\n"
         "The value it returns is printed and put in the value history.",
         [](GdbSession& s, std::string_view a) { s.do_finish(a); }},
        {{"until", "u"},
         "Execute until past the current line or past a LOCATION.\nUsage: until [LOCATION]\n"
         "Without LOCATION, like \"next\", but a jump back (the end of a loop) does not stop.",
         [](GdbSession& s, std::string_view a) { s.do_until(a, false); }},
        {{"advance"},
         "Continue the firmware up to the given location (same form as args for break).\n"
         "Usage: advance LOCATION",
         [](GdbSession& s, std::string_view a) { s.do_until(a, true); }},
        {{"kill", "k"},
         "Kill execution of the firmware being debugged.\nUsage: kill\n"
         "\"run\" starts it again from the board's reset.",
         [](GdbSession& s, std::string_view a) { s.do_kill(a); }},
        {{"print", "p", "inspect", "call"},
         "Print value of expression EXP.\nUsage: print[/FMT] [EXP]\n"
         "EXP is a C expression: variables, members, elements, pointers, casts, operators,\n"
         "assignment. FMT is x (hexadecimal), d (decimal), u (unsigned) or c (character).",
         [](GdbSession& s, std::string_view a) {
             s.do_print(a, s.format_.size() > 1 ? s.format_.back() : 0);
         }},
        {{"output"},
         "Like \"print\" but don't put in value history and don't print newline.\n"
         "Usage: output[/FMT] EXP",
         [](GdbSession& s, std::string_view a) {
             const auto value = s.engine_.values().evaluate(std::string(a), s.selected_frame());
             if (const auto* wrong = std::get_if<std::string>(&value)) {
                 s.io_.out << *wrong << '\n';
             } else {
                 s.io_.out << s.engine_.values().show(std::get<debugger::Value>(value),
                                                      s.format_.size() > 1 ? s.format_.back() : 0);
             }
         }},
        {{"set"},
         "Evaluate expression EXP and assign result to variable VAR.\n"
         "Usage: set var VAR = EXP",
         [](GdbSession& s, std::string_view a) { s.do_set(a); }},
        {{"x"},
         "Examine memory: x/FMT ADDRESS.\nUsage: x[/NFU] [ADDRESS]\n"
         "N is a count, F a format (x d u o t c a i s), U a unit size (b h w g).\n"
         "ADDRESS is an expression; a pointer reads its own space, a number __xdata.",
         [](GdbSession& s, std::string_view a) { s.do_x(a, s.format_); }},
        {{"display", "disp"},
         "Print value of expression EXP each time the program stops.\n"
         "Usage: display[/FMT] EXP",
         [](GdbSession& s, std::string_view a) { s.do_display(a, s.format_); }},
        {{"undisplay"},
         "Cancel some expressions to be displayed when program stops.\n"
         "Usage: undisplay [NUM]...",
         [](GdbSession& s, std::string_view a) { s.do_undisplay(a); }},
        {{"ptype"},
         "Print definition of type TYPE, or of the type of expression EXP.\n"
         "Usage: ptype[/FLAGS] TYPE | EXP",
         [](GdbSession& s, std::string_view a) { s.do_ptype(a, true); }},
        {{"whatis"},
         "Print data type of expression EXP.\nUsage: whatis EXP",
         [](GdbSession& s, std::string_view a) { s.do_ptype(a, false); }},
        {{"backtrace", "bt", "where"},
         "Print backtrace of all stack frames.\nUsage: backtrace",
         [](GdbSession& s, std::string_view a) { s.do_backtrace(a); }},
        {{"frame", "f"},
         "Select and print a stack frame.\nUsage: frame [LEVEL]",
         [](GdbSession& s, std::string_view a) { s.do_frame(a); }},
        {{"up"},
         "Select and print stack frame that called this one.\nUsage: up [N]",
         [](GdbSession& s, std::string_view a) { s.do_up(a, 1); }},
        {{"down", "do"},
         "Select and print stack frame called by this one.\nUsage: down [N]",
         [](GdbSession& s, std::string_view a) { s.do_up(a, -1); }},
        {{"list", "l"},
         "List specified function or line.\n"
         "Usage: list [LINE | FUNCTION | FILE:LINE | FIRST,LAST | FIRST, | ,LAST]",
         [](GdbSession& s, std::string_view a) { s.do_list(a); }},
        {{"echo"},
         "Print a constant string.\nUsage: echo TEXT\nC escapes: \\n for a line end.",
         [](GdbSession& s, std::string_view a) {
             std::string text(a);
             for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) {
                 text.replace(at, 2, "\n");
             }
             s.io_.out << text;
         }},
        {{"help", "h"},
         "Print list of commands.\nUsage: help [COMMAND]",
         [](GdbSession& s, std::string_view a) { s.do_help(a); }},
        {{"complete"},
         "List the completions for the rest of the line as a command.\nUsage: complete TEXT",
         [](GdbSession& s, std::string_view a) { s.do_complete(a); }},
        {{"quit", "q", "exit"},
         "Exit the debugger and take the board back.\nUsage: quit",
         [](GdbSession& s, std::string_view) { s.quit_ = true; }},
    });
    return kCommands;
}

std::span<const GdbSession::Entry> GdbSession::info_commands() {
    static constexpr auto kInfo = std::to_array<Entry>({
        {{"args"},
         "All argument variables of current stack frame.",
         [](GdbSession& s, std::string_view a) { s.do_info_args(a); }},
        {{"breakpoints", "b", "watchpoints"},
         "Status of specified breakpoints (all user-settable breakpoints if no argument).",
         [](GdbSession& s, std::string_view a) { s.do_info_breakpoints(a); }},
        {{"display"},
         "Expressions to display when program stops.",
         [](GdbSession& s, std::string_view a) { s.do_info_display(a); }},
        {{"frame", "f"},
         "All about the selected stack frame.",
         [](GdbSession& s, std::string_view a) { s.do_info_frame(a); }},
        {{"line"},
         "Core addresses of the code for a source line.",
         [](GdbSession& s, std::string_view a) { s.do_info_line(a); }},
        {{"locals"}, "All local variables of current stack frame.", nullptr},
        {{"ports"}, "The latches of P0 to P3.", nullptr},
        {{"registers", "r"}, "List of registers and their contents.", nullptr},
        {{"source"},
         "Information about the current source file.",
         [](GdbSession& s, std::string_view a) { s.do_info_source(a); }},
    });
    return kInfo;
}

const GdbSession::Entry* GdbSession::find(std::span<const Entry> table, std::string_view name) {
    for (const Entry& entry : table) {
        if (std::ranges::find(entry.names, name) != entry.names.end()) {
            return &entry;
        }
    }
    // A unique beginning of a command's own name, as gdb takes "cont" or "fin".
    const Entry* found = nullptr;
    for (const Entry& entry : table) {
        if (!name.empty() && entry.names[0].starts_with(name)) {
            if (found != nullptr) {
                return nullptr;
            }
            found = &entry;
        }
    }
    return found;
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
    format_.clear();
    if (args.starts_with("/")) {
        const std::size_t space = args.find_first_of(" \t");
        format_ = std::string(args.substr(0, space));
        args = space == std::string_view::npos ? std::string_view{} : trim(args.substr(space));
    }
    const Entry* found = find(commands(), name);
    io_.before_output();
    if (found == nullptr) {
        io_.out << "Undefined command: \"" << name << "\".  Try \"help\".\n";
        return true;
    }
    found->act(*this, args);
    return !quit_;
}

void GdbSession::do_help(std::string_view args) {
    args = trim(args);
    if (args.empty()) {
        io_.out << "List of commands:\n\n";
        for (const Entry& entry : commands()) {
            std::string names(entry.names[0]);
            for (std::size_t i = 1; i < entry.names.size() && !entry.names[i].empty(); ++i) {
                names += ", " + std::string(entry.names[i]);
            }
            io_.out << names << " -- " << entry.help.substr(0, entry.help.find('\n')) << '\n';
        }
        io_.out << "\nType \"help\" followed by command name for full documentation.\n";
        return;
    }
    const auto [word, rest] = text::split_word(args);
    const Entry* found = find(commands(), word);
    if (found == nullptr) {
        io_.out << "Undefined command: \"" << word << "\".  Try \"help\".\n";
        return;
    }
    if (found->names[0] == "info" && !rest.empty()) {
        if (const Entry* sub = find(info_commands(), text::split_word(rest).first)) {
            io_.out << sub->help << '\n';
            return;
        }
    }
    io_.out << found->help << '\n';
    if (found->names[0] == "info") {
        io_.out << '\n';
        for (const Entry& sub : info_commands()) {
            io_.out << "info " << sub.names[0] << " -- " << sub.help << '\n';
        }
    }
}

// As gdb answers Emacs's TAB: each way to end the line, one a line.
void GdbSession::do_complete(std::string_view args) {
    const std::string line(args);
    const std::size_t space = line.find_last_of(' ');
    std::set<std::string> found;
    if (space == std::string::npos) {
        for (const Entry& entry : commands()) {
            for (const std::string_view name : entry.names) {
                if (!name.empty() && name.starts_with(line)) {
                    found.emplace(name);
                }
            }
        }
    } else {
        const std::string head = line.substr(0, space + 1);
        const std::string word = line.substr(space + 1);
        const std::string command(text::split_word(head).first);
        const Entry* entry = find(commands(), command);
        if (entry != nullptr && entry->names[0] == "info" && trim(head) == command) {
            for (const Entry& sub : info_commands()) {
                if (sub.names[0].starts_with(word)) {
                    found.insert(head + std::string(sub.names[0]));
                }
            }
        } else if (entry != nullptr && entry->names[0] == "help") {
            for (const Entry& e : commands()) {
                if (e.names[0].starts_with(word)) {
                    found.insert(head + std::string(e.names[0]));
                }
            }
        } else if (entry != nullptr) {
            // The names of the program: variables and functions, where an expression or place goes.
            std::string stem = word;
            std::size_t cut = stem.find_last_of("*&!~()+-/%<>=|^,[ ");
            const std::string kept =
                cut == std::string::npos ? std::string() : stem.substr(0, cut + 1);
            stem = cut == std::string::npos ? stem : stem.substr(cut + 1);
            const cdb::DebugInfo& info = engine_.program().info();
            for (const cdb::Symbol& symbol : info.symbols) {
                if (symbol.name.starts_with(stem) && !symbol.name.starts_with("__")) {
                    found.insert(head + kept + symbol.name);
                }
            }
            for (const cdb::Function& function : info.functions) {
                if (function.name.starts_with(stem)) {
                    found.insert(head + kept + function.name);
                }
            }
        }
    }
    for (const std::string& completion : found) {
        io_.out << completion << '\n';
    }
}

}  // namespace qcli
