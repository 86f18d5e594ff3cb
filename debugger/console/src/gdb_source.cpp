// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's sources: `list` in gdb's forms (LINE, FUNCTION, FILE:LINE,
// FIRST,LAST), `info line` and `info source`.
#include <algorithm>

#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using text::trim;

namespace {

// A place's file and line without needing code there: "20", "t.c:20",
// "main", "t.c:main"; what is wrong otherwise.
std::optional<std::pair<std::string, unsigned>> line_place(const debugger::Program& program,
                                                           std::string_view place,
                                                           const std::string& file,
                                                           std::string& wrong) {
    place = trim(place);
    std::string in = file;
    const std::size_t colon = place.rfind(':');
    if (colon != std::string_view::npos) {
        in = std::string(place.substr(0, colon));
        place = place.substr(colon + 1);
    }
    if (const auto line = text::number_of(place)) {
        if (*line < 1) {
            wrong = "Line number " + std::to_string(*line) + " out of range.";
            return std::nullopt;
        }
        return std::pair{in, static_cast<unsigned>(*line)};
    }
    for (const cdb::Function& function : program.info().functions) {
        const bool module_fits = colon == std::string_view::npos ||
                                 function.scope.file + ".c" == in || function.scope.file == in;
        if (function.name == place && module_fits && function.entry) {
            const debugger::Location at = program.location(*function.entry);
            return std::pair{at.file, at.line};
        }
    }
    wrong = "Function \"" + std::string(place) + "\" not defined.";
    return std::nullopt;
}

}  // namespace

void GdbSession::do_list(std::string_view args) {
    args = trim(args);
    const debugger::Program& program = engine_.program();
    std::string file = listed_file_.empty() ? engine_.current_file() : listed_file_;
    unsigned first = 0;
    unsigned last = 0;
    std::string wrong;
    if (args.empty()) {
        if (listed_ == 0) {
            const unsigned center = std::max(1u, engine_.last_stop().location.line);
            first = center > 5 ? center - 5 : 1;
        } else {
            first = listed_ + 1;
        }
        last = first + 9;
    } else if (args == "-") {
        if (list_first_ <= 1) {
            io_.out << "Already at the start of " << file << ".\n";
            return;
        }
        last = list_first_ - 1;
        first = last > 10 ? last - 9 : 1;
    } else if (const std::size_t comma = args.find(','); comma != std::string_view::npos) {
        const std::string_view from = trim(args.substr(0, comma));
        const std::string_view to = trim(args.substr(comma + 1));
        if (!from.empty()) {
            const auto place = line_place(program, from, file, wrong);
            if (!place) {
                io_.out << wrong << '\n';
                return;
            }
            file = place->first;
            first = place->second;
        }
        if (!to.empty()) {
            const auto place = line_place(program, to, file, wrong);
            if (!place) {
                io_.out << wrong << '\n';
                return;
            }
            file = place->first;
            last = place->second;
        }
        if (from.empty()) {
            first = last > 10 ? last - 9 : 1;
        }
        if (to.empty()) {
            last = first + 9;
        }
    } else {
        const auto place = line_place(program, args, file, wrong);
        if (!place) {
            io_.out << wrong << '\n';
            return;
        }
        file = place->first;
        first = place->second > 5 ? place->second - 5 : 1;
        last = first + 9;
    }
    unsigned shown = 0;
    for (unsigned line = first; line <= last; ++line) {
        const auto source = program.source_line(file, line);
        if (!source) {
            break;
        }
        io_.out << line << '\t' << *source << '\n';
        listed_ = line;
        ++shown;
    }
    if (shown == 0) {
        unsigned count = 0;
        while (program.source_line(file, count + 1)) {
            ++count;
        }
        io_.out << "Line number " << first << " out of range; \"" << file << "\" has " << count
                << " lines.\n";
        return;
    }
    list_first_ = first;
    listed_file_ = file;
}

void GdbSession::do_info_line(std::string_view args) {
    const debugger::Program& program = engine_.program();
    std::string file = engine_.current_file();
    unsigned line = 0;
    args = trim(args);
    if (args.empty()) {
        const auto frames = engine_.backtrace();
        if (selected_ < frames.size()) {
            file = frames[selected_].location.file;
            line = frames[selected_].location.line;
        }
        if (line == 0) {
            io_.out << "No line number information available.\n";
            return;
        }
    } else {
        std::string wrong;
        const auto place = line_place(program, args, file, wrong);
        if (!place) {
            io_.out << wrong << '\n';
            return;
        }
        std::tie(file, line) = *place;
    }
    // The line's code runs from its first record to the next record after it.
    std::optional<std::uint32_t> start;
    for (const cdb::Line& record : program.info().lines) {
        if (record.line == line && record.file == file && (!start || record.address < *start)) {
            start = record.address;
        }
    }
    const auto code = [this](std::uint32_t address) {
        const auto value = engine_.values().evaluate("(void __code *)" + std::to_string(address),
                                                     selected_frame());
        const auto* v = std::get_if<debugger::Value>(&value);
        return v != nullptr ? engine_.values().format(*v) : text::hex(address, 0);
    };
    if (!start) {
        io_.out << "Line " << line << " of \"" << file << "\" is at address ";
        // gdb names the code of the next line that has some.
        std::optional<std::pair<unsigned, std::uint32_t>> next;
        for (const cdb::Line& record : program.info().lines) {
            if (record.file == file && record.line > line &&
                (!next || record.line < next->first ||
                 (record.line == next->first && record.address < next->second))) {
                next = std::pair{record.line, record.address};
            }
        }
        if (!next) {
            io_.out << "<none> but contains no code.\n";
            return;
        }
        io_.out << code(next->second) << " but contains no code.\n";
        return;
    }
    std::optional<std::uint32_t> end;
    for (const cdb::Line& record : program.info().lines) {
        if (record.address > *start && (!end || record.address < *end)) {
            end = record.address;
        }
    }
    const cdb::Function* function = program.info().function_at(*start);
    if (function != nullptr && function->exit && (!end || *end > *function->exit)) {
        end = *function->exit + 1;
    }
    io_.out << "Line " << line << " of \"" << file << "\" starts at address " << code(*start)
            << " and ends at " << code(end.value_or(*start + 1)) << ".\n";
}

void GdbSession::do_info_source(std::string_view) {
    const std::string file = listed_file_.empty() ? engine_.current_file() : listed_file_;
    if (file.empty()) {
        io_.out << "No current source file.\n";
        return;
    }
    io_.out << "Current source file is " << file << '\n';
    const auto path = engine_.program().source_path(file);
    if (!path.empty()) {
        io_.out << "Located in " << path.string() << '\n';
        unsigned count = 0;
        while (engine_.program().source_line(file, count + 1)) {
            ++count;
        }
        io_.out << "Contains " << count << " lines.\n";
    }
    io_.out << "Source language is c.\nProducer is SDCC.\n"
            << "Compiled with SDCC's .cdb debugging format ("
            << engine_.program().cdb_path().filename().string() << ").\n";
}

}  // namespace qcli
