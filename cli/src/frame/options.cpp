// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Parsing the command line against the option and command tables, and the port's values.
#include "options.h"

#include <vandrel_board.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace qcli {
namespace {

using vandrel::board::kPortBases;

std::string port_address_text(std::size_t index) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%X", unsigned{kPortBases[index]});
    return text.data();
}

// "0, 1, 2 or 0x278, 0x378, 0x3BC" (help) or "0, 1, 2, 0x278, 0x378 or 0x3BC" (message).
std::string port_list(bool one_list) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < std::size(kPortBases); ++i) {
        items.push_back(std::to_string(i));
    }
    const std::size_t indexes = items.size();
    for (std::size_t i = 0; i < std::size(kPortBases); ++i) {
        items.push_back(port_address_text(i));
    }
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool last_index = !one_list && i + 1 == indexes;
        const bool last = i + 1 == items.size();
        out += items[i];
        if (last) {
            break;
        }
        const bool before_last = i + 2 == items.size();
        out += (last_index || (one_list && before_last)) ? " or " : ", ";
    }
    return out;
}

// "0 1 2 0x278 0x378 0x3BC", the words a shell offers.
std::string port_words() {
    std::string out;
    for (std::size_t i = 0; i < std::size(kPortBases); ++i) {
        out += std::to_string(i) + ' ';
    }
    for (std::size_t i = 0; i < std::size(kPortBases); ++i) {
        out += port_address_text(i) + (i + 1 < std::size(kPortBases) ? " " : "");
    }
    return out;
}

void replace_all(std::string& text, std::string_view key, std::string_view with) {
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + with.size())) {
        text.replace(at, key.size(), with);
    }
}

const OptionSpec* find_option(std::span<const OptionSpec> table, std::string_view name) {
    for (const OptionSpec& option : table) {
        if (option.name == name || (!option.short_name.empty() && option.short_name == name)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

bool Options::gave(Option option) const {
    return std::find(given.begin(), given.end(), option) != given.end();
}

const OptionSpec& option_spec(Option id) {
    return option_table()[static_cast<std::size_t>(id)];
}

std::string expand(std::string_view text, std::string_view value) {
    std::string out(text);
    replace_all(out, "{port-choices}", port_list(true));
    replace_all(out, "{ports}", port_list(false));
    replace_all(out, "{port-words}", port_words());
    replace_all(out, "{}", value);
    return out;
}

std::optional<unsigned long> parse_number(std::string_view text, unsigned long low,
                                          unsigned long high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parse_seconds(std::string_view text) {
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0 || value > 3600) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> parse_port(std::string_view text) {
    const bool address = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const auto number = parse_number(text, 0, 0xFFFF);
    if (!number) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < std::size(kPortBases); ++i) {
        if (address ? *number == kPortBases[i] : *number == i) {
            return static_cast<std::uint8_t>(i);
        }
    }
    return std::nullopt;
}

ParseResult parse_options(const std::vector<std::string>& argv, std::span<const OptionSpec> table) {
    ParseResult result;
    Options& o = result.options;
    bool options_end = false;

    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            if (o.command.empty()) {
                o.command = arg;
            } else {
                o.args.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> inline_value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != name.npos) {
            inline_value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionSpec* option = find_option(table, name);
        if (option == nullptr) {
            result.error = "unknown option '" + arg + "'";
            return result;
        }
        if (!kGlobalOptions.contains(option->id)) {
            o.given.push_back(option->id);
        }
        if (option->value.empty()) {
            option->set(o, {});
            if (inline_value) {
                result.error = "option '" + std::string(name) + "' takes no value";
                return result;
            }
            continue;
        }
        if (!inline_value && i + 1 < argv.size()) {
            inline_value = argv[++i];
        }
        if (!inline_value) {
            // A message that quotes the value has nothing to quote.
            const bool quotes = option->bad.find("{}") != std::string_view::npos;
            result.error =
                quotes ? "option '" + std::string(name) + "' needs a value" : expand(option->bad);
            return result;
        }
        if (!option->set(o, *inline_value)) {
            result.error = expand(option->bad, *inline_value);
            return result;
        }
    }
    return result;
}

}  // namespace qcli
