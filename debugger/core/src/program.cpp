// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace debugger {

namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kRet = 0x22;
constexpr std::uint8_t kReti = 0x32;

std::string hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

// A function's last instruction returns: where the image holds something
// else there, the debug information belongs to another build.
std::string misfit(const cdb::DebugInfo& info, const std::vector<std::uint8_t>& code) {
    for (const cdb::Function& function : info.functions) {
        if (!function.entry || !function.exit) {
            continue;
        }
        if (*function.exit >= code.size() || *function.entry > *function.exit ||
            (code[*function.exit] != kRet && code[*function.exit] != kReti)) {
            return "function " + function.name + " ends at " + hex4(*function.exit) +
                   ", where the image holds no return";
        }
    }
    return {};
}

std::optional<unsigned> number(std::string_view text, int base = 10) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<Program> Program::load(const fs::path& image, const std::vector<std::uint8_t>& bytes,
                                     const std::vector<fs::path>& source_dirs, std::string& error) {
    Program program;
    program.cdb_path_ = fs::path(image).replace_extension(".cdb");
    std::ifstream in(program.cdb_path_, std::ios::binary);
    if (!in) {
        error = "cannot read " + program.cdb_path_.string() + ": " + std::strerror(errno) +
                " (build the image with sdcc --debug)";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    cdb::Read read = cdb::read(text.str(), program.cdb_path_.string());
    if (read.error) {
        error = read.error->text();
        return std::nullopt;
    }
    program.info_ = std::move(read.info);
    program.code_ = bytes;
    if (const std::string wrong = misfit(program.info_, bytes); !wrong.empty()) {
        error = program.cdb_path_.string() + " does not fit " + image.string() + ": " + wrong;
        return std::nullopt;
    }
    program.source_dirs_.push_back(image.has_parent_path() ? image.parent_path() : fs::path("."));
    program.source_dirs_.insert(program.source_dirs_.end(), source_dirs.begin(), source_dirs.end());
    // Where a function's code begins, its opening line and its first
    // statement may share the address: the statement is the line shown there.
    for (const cdb::Line& line : program.info_.lines) {
        const auto [at, added] = program.by_address_.try_emplace(line.address, &line);
        const cdb::Function* owner = program.info_.function_at(line.address);
        if (!added && owner != nullptr && owner->entry == line.address &&
            at->second->line == program.header_line(*owner)) {
            at->second = &line;
        }
    }
    return program;
}

Location Program::location(std::uint32_t address) const {
    Location where;
    where.function = info_.function_at(address);
    // The line whose code is the last to begin at or before the address,
    // within the same function.
    auto found = by_address_.upper_bound(address);
    if (found == by_address_.begin()) {
        return where;
    }
    --found;
    if (where.function != nullptr && where.function->entry &&
        found->first < *where.function->entry) {
        return where;
    }
    where.file = found->second->file;
    where.line = found->second->line;
    where.line_start = found->first == address;
    return where;
}

const cdb::Function* Program::function(const std::string& name) const {
    const auto found = std::ranges::find(info_.functions, name, &cdb::Function::name);
    return found != info_.functions.end() && found->entry ? &*found : nullptr;
}

std::vector<std::pair<std::uint32_t, unsigned>> Program::lines_of(
    const cdb::Function& function) const {
    std::vector<std::pair<std::uint32_t, unsigned>> lines;
    if (!function.entry || !function.exit) {
        return lines;
    }
    for (auto it = by_address_.lower_bound(*function.entry);
         it != by_address_.end() && it->first <= *function.exit; ++it) {
        lines.emplace_back(it->first, it->second->line);
    }
    return lines;
}

unsigned Program::header_line(const cdb::Function& function) const {
    for (const cdb::Line& line : info_.lines) {
        if (line.address == function.entry) {
            return line.line;
        }
    }
    return 0;
}

std::optional<std::uint32_t> Program::first_line(const cdb::Function& function) const {
    // The function's opening line holds its entry; its body starts at the
    // next line, as a debugger stops after the prologue.
    const unsigned header = header_line(function);
    for (const auto& [address, line] : lines_of(function)) {
        if (line != header) {
            return address;
        }
    }
    return function.entry;
}

Resolved Program::resolve(const std::string& place, const std::string& current_file) const {
    Resolved resolved;
    if (place.starts_with("*")) {
        const std::string text = place.substr(1);
        const bool hexadecimal = text.starts_with("0x") || text.starts_with("0X");
        const auto address =
            number(hexadecimal ? std::string_view(text).substr(2) : text, hexadecimal ? 16 : 10);
        if (!address || *address >= code_.size()) {
            resolved.error = "No code at " + text + ".";
            return resolved;
        }
        resolved.address = *address;
        resolved.location = location(*address);
        return resolved;
    }
    const std::size_t colon = place.rfind(':');
    const std::string file = colon == std::string::npos ? current_file : place.substr(0, colon);
    const auto line = number(colon == std::string::npos ? place : place.substr(colon + 1));
    if (!line) {
        const cdb::Function* named = function(place);
        if (colon != std::string::npos) {
            // "t.c:twice": the function of that module, for a static name two modules share.
            const std::string name = place.substr(colon + 1);
            const std::string module = fs::path(file).stem().string();
            const auto found = std::ranges::find_if(info_.functions, [&](const cdb::Function& f) {
                return f.name == name && f.entry &&
                       (f.scope.file == module ||
                        fs::path(location(*f.entry).file).stem().string() == module);
            });
            named = found != info_.functions.end() ? &*found : nullptr;
        }
        if (named == nullptr) {
            resolved.error = "Function \"" + place + "\" not defined.";
            return resolved;
        }
        resolved.address = first_line(*named).value_or(*named->entry);
        resolved.location = location(resolved.address);
        return resolved;
    }
    const auto in_file = [&file](const cdb::Line& l) {
        return l.file == file || fs::path(l.file).filename() == fs::path(file).filename();
    };
    if (std::ranges::none_of(info_.lines, in_file)) {
        resolved.error = "No source file named " + (file.empty() ? place : file) + ".";
        return resolved;
    }
    // The line itself or, where it has no code, the next one that has, as
    // long as both lie in the same function.
    const cdb::Line* best = nullptr;
    for (const cdb::Line& l : info_.lines) {
        if (in_file(l) && l.line >= *line &&
            (best == nullptr || l.line < best->line ||
             (l.line == best->line && l.address < best->address))) {
            best = &l;
        }
    }
    const cdb::Function* owner = best != nullptr ? info_.function_at(best->address) : nullptr;
    const auto owner_lines =
        owner != nullptr ? lines_of(*owner) : std::vector<std::pair<std::uint32_t, unsigned>>{};
    const bool inside =
        !owner_lines.empty() &&
        std::ranges::min(owner_lines, {}, &std::pair<std::uint32_t, unsigned>::second).second <=
            *line;
    if (best == nullptr || (best->line != *line && !inside)) {
        resolved.error = "No line " + std::to_string(*line) + " in file \"" + file + "\".";
        return resolved;
    }
    resolved.address = best->address;
    resolved.location = location(best->address);
    return resolved;
}

fs::path Program::source_path(const std::string& file) const {
    std::error_code ec;
    if (fs::path(file).is_absolute() && fs::is_regular_file(file, ec)) {
        return file;
    }
    for (const fs::path& dir : source_dirs_) {
        for (const fs::path& candidate : {dir / file, dir / fs::path(file).filename()}) {
            if (fs::is_regular_file(candidate, ec)) {
                return fs::absolute(candidate, ec).lexically_normal();
            }
        }
    }
    return {};
}

std::optional<std::string> Program::source_line(const std::string& file, unsigned line) const {
    auto cached = sources_.find(file);
    if (cached == sources_.end()) {
        std::vector<std::string> lines;
        if (const fs::path path = source_path(file); !path.empty()) {
            std::ifstream in(path);
            for (std::string text; std::getline(in, text);) {
                if (!text.empty() && text.back() == '\r') {
                    text.pop_back();
                }
                lines.push_back(std::move(text));
            }
        }
        cached = sources_.emplace(file, std::move(lines)).first;
    }
    if (line == 0 || line > cached->second.size()) {
        return std::nullopt;
    }
    return cached->second[line - 1];
}

}  // namespace debugger
