// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The tokens of a C expression: numbers in C's forms, characters and strings
// with their escapes, names and operators; gdb's words for what cannot be read.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "expression_parser.h"

namespace debugger::detail {

namespace {

bool is_name_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
}

bool is_name_char(char c) {
    return is_name_start(c) || std::isdigit(static_cast<unsigned char>(c));
}

// Longest first, so that "<<=" is not read as "<<" and "=".
constexpr auto kPuncts = std::to_array<std::string_view>({
    "<<=", ">>=", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "+=",
    "-=",  "*=",  "/=", "%=", "&=", "|=", "^=", "+",  "-",  "*",  "/",  "%",  "<",  ">",
    "=",   "!",   "~",  "&",  "|",  "^",  "?",  ":",  "(",  ")",  "[",  "]",  ".",  ",",
});

// One character after a backslash, from `at` (past the backslash); moves `at` on.
unsigned escape(std::string_view text, std::size_t& at) {
    const char c = text[at++];
    switch (c) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'v':
            return '\v';
        case 'e':
            return 033;
        case 'x': {
            unsigned value = 0;
            while (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at]))) {
                value = value * 16 +
                        static_cast<unsigned>(std::stoi(std::string(1, text[at]), nullptr, 16));
                ++at;
            }
            return value & 0xFF;
        }
        default:
            break;
    }
    if (c >= '0' && c <= '7') {
        unsigned value = static_cast<unsigned>(c - '0');
        for (int i = 0; i < 2 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++i) {
            value = value * 8 + static_cast<unsigned>(text[at++] - '0');
        }
        return value & 0xFF;
    }
    return static_cast<unsigned char>(c);
}

// A number's digits and suffixes; false when they are not one.
bool read_number(std::string_view word, Token& token) {
    std::string_view digits = word;
    while (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U' ||
                               digits.back() == 'l' || digits.back() == 'L')) {
        (digits.back() == 'u' || digits.back() == 'U' ? token.is_unsigned : token.is_long) = true;
        digits.remove_suffix(1);
    }
    int base = 10;
    if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
        base = 2;
        digits.remove_prefix(2);
    } else if (digits.size() > 1 && digits[0] == '0') {
        base = 8;
        digits.remove_prefix(1);
    }
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), token.number, base);
    return !digits.empty() && ec == std::errc{} && end == digits.data() + digits.size();
}

// The characters of a quoted literal from `end` up to its closing `quote`,
// escapes read; `end` is left on the closing quote, or past the text.
std::string quoted(std::string_view text, std::size_t& end, char quote) {
    std::string held;
    while (end < text.size() && text[end] != quote) {
        if (text[end] == '\\' && end + 1 < text.size()) {
            ++end;
            held += static_cast<char>(escape(text, end));
        } else {
            held += text[end++];
        }
    }
    return held;
}

}  // namespace

std::variant<std::vector<Token>, std::string> tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t at = 0;
    while (true) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
            ++at;
        }
        Token token;
        token.at = at;
        if (at >= text.size()) {
            tokens.push_back(token);
            return tokens;
        }
        const char c = text[at];
        if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
            (c == '.' && at + 1 < text.size() &&
             std::isdigit(static_cast<unsigned char>(text[at + 1])))) {
            std::size_t end = at;
            bool floating = false;
            const bool hex = text.substr(at, 2) == "0x" || text.substr(at, 2) == "0X";
            while (end < text.size() && (is_name_char(text[end]) || text[end] == '.' ||
                                         (!hex && (text[end] == '+' || text[end] == '-') &&
                                          (text[end - 1] == 'e' || text[end - 1] == 'E')))) {
                floating = floating || text[end] == '.' ||
                           (!hex && (text[end] == 'e' || text[end] == 'E'));
                ++end;
            }
            const std::string word(text.substr(at, end - at));
            token.text = word;
            if (floating) {
                std::string digits = word;
                if (digits.back() == 'f' || digits.back() == 'F') {
                    digits.pop_back();
                }
                char* stop = nullptr;
                token.floating = std::strtod(digits.c_str(), &stop);
                if (stop != digits.c_str() + digits.size()) {
                    return "Invalid number \"" + word + "\".";
                }
                token.kind = Token::Kind::floating;
            } else {
                if (!read_number(word, token)) {
                    return "Invalid number \"" + word + "\".";
                }
                token.kind = Token::Kind::number;
            }
            at = end;
        } else if (c == '\'') {
            std::size_t end = at + 1;
            const std::string held = quoted(text, end, '\'');
            if (end >= text.size()) {
                return std::string("Unmatched single quote.");
            }
            if (held.size() != 1) {
                return std::string("Invalid character constant.");
            }
            token.kind = Token::Kind::character;
            token.text = held;
            token.number = static_cast<unsigned char>(held[0]);
            at = end + 1;
        } else if (c == '"') {
            std::size_t end = at + 1;
            const std::string held = quoted(text, end, '"');
            if (end >= text.size()) {
                return std::string("Unterminated string in expression.");
            }
            token.kind = Token::Kind::string;
            token.text = held;
            at = end + 1;
        } else if (is_name_start(c)) {
            std::size_t end = at;
            while (end < text.size() && is_name_char(text[end])) {
                ++end;
            }
            token.kind = Token::Kind::name;
            token.text = std::string(text.substr(at, end - at));
            at = end;
        } else {
            const std::string_view rest = text.substr(at);
            const auto* found =
                std::find_if(kPuncts.begin(), kPuncts.end(),
                             [rest](std::string_view p) { return rest.starts_with(p); });
            if (found == kPuncts.end()) {
                return "Invalid character '" + std::string(1, c) + "' in expression.";
            }
            token.kind = Token::Kind::punct;
            token.text = std::string(*found);
            at += found->size();
        }
        tokens.push_back(std::move(token));
    }
}

}  // namespace debugger::detail
