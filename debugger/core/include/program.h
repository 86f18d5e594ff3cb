/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A firmware image with its debug information and sources: where its C lines
// and functions are, and what a breakpoint's place names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cdb.h"

namespace debugger {

// A place in the sources.
struct Location {
    const cdb::Function* function = nullptr;  // null outside every function
    std::string file;                         // as the debug information names it
    unsigned line = 0;                        // 0: no line known
    bool line_start = false;                  // the address begins the line's code
};

struct Resolved {
    std::uint32_t address = 0;
    Location location;
    std::string error;  // when the place has no code: what to tell
};

class Program {
public:
    // Reads IMAGE's .cdb beside it (IMAGE.cdb for IMAGE.ihx) and checks that
    // it fits the image's bytes `image`; sources are looked for beside IMAGE
    // and in `source_dirs`. On failure `error` says why.
    static std::optional<Program> load(const std::filesystem::path& image,
                                       const std::vector<std::uint8_t>& bytes,
                                       const std::vector<std::filesystem::path>& source_dirs,
                                       std::string& error);

    const cdb::DebugInfo& info() const { return info_; }
    const std::filesystem::path& cdb_path() const { return cdb_path_; }
    // What the user should know before trusting the debug information, or empty.
    const std::string& warning() const { return warning_; }

    Location location(std::uint32_t address) const;
    // "t.c:18", "18" (in `current_file`), "main" or "*0x8a".
    Resolved resolve(const std::string& place, const std::string& current_file) const;
    const cdb::Function* function(const std::string& name) const;

    // The addresses that begin C lines inside `function`, with their lines.
    std::vector<std::pair<std::uint32_t, unsigned>> lines_of(const cdb::Function& function) const;
    // Where execution of a function's C code begins: its first line's address.
    std::optional<std::uint32_t> first_line(const cdb::Function& function) const;

    // Where a function sets up its frame on the stack: the address of the
    // frame pointer SDCC keeps in internal RAM, and the first address at which
    // it points at this function's frame; nothing for a function without one.
    struct FramePointer {
        unsigned variable = 0;
        std::uint32_t set_from = 0;
    };
    std::optional<FramePointer> frame_pointer(const cdb::Function& function) const;

    // The source file's full path, empty when it is not found.
    std::filesystem::path source_path(const std::string& file) const;
    // The text of a line, without its end; nothing when unknown.
    std::optional<std::string> source_line(const std::string& file, unsigned line) const;

    // The code bytes as the image gave them.
    const std::vector<std::uint8_t>& code() const { return code_; }

private:
    // The line of the function's opening, whose record marks its entry.
    unsigned header_line(const cdb::Function& function) const;

    cdb::DebugInfo info_;
    std::filesystem::path cdb_path_;
    std::string warning_;
    std::vector<std::filesystem::path> source_dirs_;
    std::vector<std::uint8_t> code_;
    std::map<std::uint32_t, const cdb::Line*> by_address_;  // the first line record at each address
    mutable std::map<std::string, std::vector<std::string>> sources_;
};

}  // namespace debugger
