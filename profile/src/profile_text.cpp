// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Finding and changing one key's value in a profile's text.
#include "profile/profile_text.h"

#include <cstdint>
#include <vector>

namespace quillon::profile {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the text: its content and its line ending ("", "\n" or "\r\n").
struct Line {
    std::string_view content;
    std::string_view ending;
};

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({text, {}});
            break;
        }
        std::size_t end = newline;
        if (end > 0 && text[end - 1] == '\r') {
            --end;
        }
        lines.push_back({text.substr(0, end), text.substr(end, newline + 1 - end)});
        text.remove_prefix(newline + 1);
    }
    return lines;
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string_view> section_name(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    return trim(line.substr(0, line.find(']')));
}

// A "key=value" line: where its value starts and ends in the line.
struct Entry {
    std::string_view key;
    std::size_t value_begin;
    std::size_t value_end;
};

std::optional<Entry> entry_of(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || section_name(line)) {
        return std::nullopt;
    }
    const std::string_view value = trim(line.substr(equals + 1));
    const std::size_t begin =
        value.empty() ? equals + 1 : static_cast<std::size_t>(value.data() - line.data());
    return Entry{trim(line.substr(0, equals)), begin, begin + value.size()};
}

// Where the section and the key were found among the lines.
struct Place {
    std::optional<std::size_t> header;
    std::optional<std::size_t> key_line;
    std::optional<std::size_t> last_entry;  // of the section, where a new key goes after
};

Place locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = section_name(lines[i].content)) {
            if (place.header) {
                break;  // the first section of that name is the one used
            }
            if (same_name(*name, section)) {
                place.header = i;
            }
            continue;
        }
        if (!place.header) {
            continue;
        }
        if (const auto entry = entry_of(lines[i].content)) {
            place.last_entry = i;
            if (same_name(entry->key, key)) {
                place.key_line = i;
                break;
            }
        }
    }
    return place;
}

std::string_view line_ending_of(const std::vector<Line>& lines) {
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            return line.ending;
        }
    }
    return "\n";
}

}  // namespace

std::optional<std::string> find_value(std::string_view text, std::string_view section,
                                      std::string_view key) {
    const std::vector<Line> lines = split_lines(text);
    const Place place = locate(lines, section, key);
    if (!place.key_line) {
        return std::nullopt;
    }
    const std::string_view line = lines[*place.key_line].content;
    const Entry entry = *entry_of(line);
    std::string_view value = line.substr(entry.value_begin, entry.value_end - entry.value_begin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string with_value(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value) {
    const std::vector<Line> lines = split_lines(text);
    const std::string_view ending = line_ending_of(lines);
    const Place place = locate(lines, section, key);
    const std::string new_entry = std::string(key) + '=' + std::string(value);

    std::string result;
    result.reserve(text.size() + section.size() + new_entry.size() + 8);
    // Appends line i; a last line without an ending gets one when more follows.
    const auto keep = [&](std::size_t i, bool more_follows) {
        result += lines[i].content;
        result += lines[i].ending.empty() && more_follows ? ending : lines[i].ending;
    };

    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (place.key_line == i) {
            const std::string_view line = lines[i].content;
            const Entry entry = *entry_of(line);
            result += line.substr(0, entry.value_begin);
            result += value;
            result += line.substr(entry.value_end);
            result += lines[i].ending;
            continue;
        }
        const bool insert_here =
            place.header && !place.key_line && place.last_entry.value_or(*place.header) == i;
        keep(i, insert_here);
        if (insert_here) {
            result += new_entry;
            result += lines[i].ending.empty() ? std::string_view{} : ending;
        }
    }
    if (!place.header) {
        if (!result.empty() && result.back() != '\n') {
            result += ending;
        }
        if (!lines.empty() && !trim(lines.back().content).empty()) {
            result += ending;  // a blank line between the last section and the new one
        }
        result += '[';
        result += section;
        result += ']';
        result += ending;
        result += new_entry;
        result += ending;
    }
    return result;
}

int leading_number(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && is_blank(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    // Wraps like the platform's 32-bit arithmetic instead of overflowing.
    std::uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10u + static_cast<std::uint32_t>(value[i] - '0');
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int>(number);
}

}  // namespace quillon::profile
