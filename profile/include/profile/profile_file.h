/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The settings file itself: an integer read and a string written by section and
// key, as the platform's private-profile functions do it. Only a regular file
// of sane size is read, so that a FIFO or a link to a device never blocks a
// start: such a file gives the defaults and one note on standard error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::profile {

// The largest settings file read; a bigger one is refused as not a settings file.
inline constexpr std::uintmax_t max_file_size = 1024 * 1024;

// The file's text: "" when it does not exist, nullopt (with one note) when it
// is refused and the defaults serve.
std::optional<std::string> read_text(const std::filesystem::path& file);

// The integer under section/key (its value's leading number), or default_value
// when the file, the section or the key is missing or the file is refused.
int get_int(const std::filesystem::path& file, std::string_view section, std::string_view key,
            int default_value);

struct Entry {
    std::string_view key;
    std::string_view value;
};

// Sets each key of section to its value, in order, creating the folder, the
// file, the section or the key as needed and changing nothing else of the
// file. The new text replaces the old one only once it is wholly on disk, so
// a full disk loses nothing. False (with one note) when it could not be written.
bool write_strings(const std::filesystem::path& file, std::string_view section,
                   std::initializer_list<Entry> entries);

inline bool write_string(const std::filesystem::path& file, std::string_view section,
                         std::string_view key, std::string_view value) {
    return write_strings(file, section, {{key, value}});
}

// Where notes go; the default prints "<program>: <note>" on standard error.
// Each note is given once per process.
using NoteSink = void (*)(std::string_view note);
NoteSink set_note_sink(NoteSink sink);

}  // namespace quillon::profile
