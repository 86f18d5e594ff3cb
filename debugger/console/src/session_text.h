// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The small pieces of text the console's commands share: trimming, counts
// and numbers as gdb reads them, addresses as it prints them.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace qcli::text {

inline std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// A positive count, 1 when none is given.
inline std::optional<unsigned> count_of(std::string_view args) {
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

// A whole number, or nothing.
inline std::optional<long> number_of(std::string_view word) {
    word = trim(word);
    long value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc{} || end != word.data() + word.size()) {
        return std::nullopt;
    }
    return value;
}

inline std::string hex(std::uint32_t value, int digits = 4) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

// The first word and the rest.
inline std::pair<std::string_view, std::string_view> split_word(std::string_view args) {
    args = trim(args);
    const std::size_t end = args.find_first_of(" \t");
    if (end == std::string_view::npos) {
        return {args, {}};
    }
    return {args.substr(0, end), trim(args.substr(end))};
}

}  // namespace qcli::text
