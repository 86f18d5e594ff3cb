// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
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

// SDCC marks a function's end at its exit label, before the epilogue that
// moves the result into place, pops what the prologue pushed and returns:
// the return follows within this many bytes. A naked function has no
// epilogue and ends where the next function begins.
constexpr std::uint32_t kEpilogue = 64;

// With --peep-return SDCC ends a function in a jump instead: a last call
// made ljmp, or the loop of one that never returns.
constexpr bool jumps(std::uint8_t opcode) {
    constexpr std::uint8_t kLjmp = 0x02;
    constexpr std::uint8_t kSjmp = 0x80;
    constexpr std::uint8_t kAjmpMask = 0x1F;
    constexpr std::uint8_t kAjmp = 0x01;
    return opcode == kLjmp || opcode == kSjmp || (opcode & kAjmpMask) == kAjmp;
}

// Whether the image holds this build's code for the function: its range lies
// in the image and a return follows its end (or a jump, or the next function).
// Every build SDCC makes passes; the debug information of another build
// mostly does not.
std::string misfit(const cdb::DebugInfo& info, const std::vector<std::uint8_t>& code) {
    const auto starts_function = [&info](std::uint32_t address) {
        return std::ranges::any_of(
            info.functions, [address](const cdb::Function& f) { return f.entry == address; });
    };
    for (const cdb::Function& function : info.functions) {
        if (!function.entry || !function.exit) {
            continue;
        }
        const std::uint32_t exit = *function.exit;
        if (*function.entry >= code.size() || exit >= code.size() || *function.entry > exit) {
            return "function " + function.name + " lies at " + hex4(*function.entry) + " to " +
                   hex4(exit) + ", outside the image's " + std::to_string(code.size()) + " bytes";
        }
        const auto tail =
            std::span(code).subspan(exit, std::min<std::size_t>(kEpilogue, code.size() - exit));
        if (std::ranges::none_of(tail, [](std::uint8_t b) { return b == kRet || b == kReti; }) &&
            !jumps(code[exit]) && !starts_function(exit)) {
            return "function " + function.name + " ends at " + hex4(exit) +
                   ", where the image holds no return";
        }
    }
    return {};
}

// SDCC's linker writes the image and its debug information together: far
// apart, the image is older than its .cdb (a link that stopped before
// replacing it) or the two come from different builds.
constexpr auto kSameLink = std::chrono::seconds(2);

std::string written_apart(const fs::path& image, const fs::path& cdb) {
    std::error_code ec_image;
    std::error_code ec_cdb;
    const auto image_time = fs::last_write_time(image, ec_image);
    const auto cdb_time = fs::last_write_time(cdb, ec_cdb);
    if (ec_image || ec_cdb) {
        return {};
    }
    const auto apart = std::chrono::duration_cast<std::chrono::seconds>(cdb_time - image_time);
    if (apart > kSameLink) {
        return cdb.string() + " was written " + std::to_string(apart.count()) + " s after " +
               image.string() +
               ": the image may be left from an earlier build, and its variables may not be "
               "where the debug information says (link again)";
    }
    if (-apart > kSameLink) {
        return image.string() + " was written " + std::to_string(-apart.count()) + " s after " +
               cdb.string() +
               ": the debug information may come from another build (build with sdcc --debug "
               "again)";
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

// SDCC names a module, and the file of its C line records, after the source
// with every character that may not stand in a C name made '_'
// ("scott-struct1.c" gives "scott_struct1.c"); only its assembler line
// records ("L:A$scott-struct1$93:0") keep the real name.
std::string as_module(std::string_view name) {
    std::string module(name);
    for (char& c : module) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) {
            c = '_';
        }
    }
    return module;
}

void restore_file_names(std::string_view text, std::vector<cdb::Line>& lines) {
    std::map<std::string, std::string> real;  // module name -> the source's stem
    constexpr std::string_view kAsm = "L:A$";
    for (std::size_t at = text.find(kAsm); at != std::string_view::npos;
         at = text.find(kAsm, at + 1)) {
        if (at != 0 && text[at - 1] != '\n') {
            continue;
        }
        const std::size_t from = at + kAsm.size();
        const std::size_t end = text.find('$', from);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string stem(text.substr(from, end - from));
        if (as_module(stem) != stem) {
            real.emplace(as_module(stem), stem);
        }
    }
    if (real.empty()) {
        return;
    }
    for (cdb::Line& line : lines) {
        fs::path file(line.file);
        if (const auto found = real.find(file.stem().string()); found != real.end()) {
            line.file = file.replace_filename(found->second + file.extension().string()).string();
        }
    }
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
    restore_file_names(text.str(), program.info_.lines);
    program.code_ = bytes;
    if (const std::string wrong = misfit(program.info_, bytes); !wrong.empty()) {
        error = program.cdb_path_.string() + " does not fit " + image.string() + ": " + wrong;
        return std::nullopt;
    }
    program.warning_ = written_apart(image, program.cdb_path_);
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
    // gdb's rule: a function's code after its prologue begins at its second
    // line record, whatever line that is (a function on one line has
    // several); where two records share the entry there is no prologue.
    if (!function.entry || !function.exit) {
        return function.entry;
    }
    std::size_t at_entry = 0;
    std::optional<std::uint32_t> second;
    for (const cdb::Line& line : info_.lines) {
        if (line.address == *function.entry) {
            ++at_entry;
        } else if (line.address > *function.entry && line.address <= *function.exit &&
                   (!second || line.address < *second)) {
            second = line.address;
        }
    }
    return at_entry >= 2 || !second ? function.entry : second;
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
    // A line whose code the start-up runs (a function's static initialiser)
    // lies outside every function: the breakpoint goes to the next line with
    // code in one.
    const cdb::Line* best = nullptr;
    for (const cdb::Line& l : info_.lines) {
        if (in_file(l) && l.line >= *line && info_.function_at(l.address) != nullptr &&
            (best == nullptr || l.line < best->line ||
             (l.line == best->line && l.address < best->address))) {
            best = &l;
        }
    }
    // A line without code lies in the function when the function's lines
    // (its opening among them) begin at or before it.
    const cdb::Function* owner = best != nullptr ? info_.function_at(best->address) : nullptr;
    const bool inside =
        owner != nullptr && std::ranges::any_of(info_.lines, [&](const cdb::Line& l) {
            return in_file(l) && l.line <= *line && owner->entry && owner->exit &&
                   l.address >= *owner->entry && l.address <= *owner->exit;
        });
    if (best == nullptr || (best->line != *line && !inside)) {
        resolved.error = "No line " + std::to_string(*line) + " in file \"" + file + "\".";
        return resolved;
    }
    resolved.address = best->address;
    resolved.location = location(best->address);
    return resolved;
}

std::optional<Program::FramePointer> Program::frame_pointer(const cdb::Function& function) const {
    // SDCC's prologue for a frame: push _bp; mov _bp,sp (after what an
    // interrupt handler pushes first).
    constexpr std::uint8_t kPush = 0xC0;
    constexpr std::uint8_t kMovDirect = 0x85;
    constexpr std::uint8_t kSp = 0x81;
    constexpr std::uint32_t kPrologue = 32;
    if (!function.entry || !function.exit) {
        return std::nullopt;
    }
    const std::uint32_t end = std::min<std::uint32_t>(
        {*function.exit, *function.entry + kPrologue, static_cast<std::uint32_t>(code_.size())});
    for (std::uint32_t at = *function.entry; at + 5 <= end; ++at) {
        if (code_[at] == kPush && code_[at + 2] == kMovDirect && code_[at + 3] == kSp &&
            code_[at + 4] == code_[at + 1]) {
            return FramePointer{code_[at + 1], at + 5};
        }
    }
    return std::nullopt;
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
