// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Parsing numbers typed into fields.
#include "windowing/number_text.h"

#include <limits>

namespace windowing {

namespace {
bool is_blank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool is_digit(QChar c) {
    return c >= u'0' && c <= u'9';
}
}  // namespace

std::optional<std::uint32_t> parse_field_number(const QString& full_text) {
    const QString text = full_text.left(31);
    qsizetype i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    const QChar first = i < text.size() ? text[i] : QChar();
    if (first == u'-') {
        return std::nullopt;
    }
    qsizetype digits = i;
    if (first == u'+') {
        ++digits;
    }
    std::uint64_t value = 0;
    qsizetype end = digits;
    while (end < text.size() && is_digit(text[end])) {
        value = value * 10 + static_cast<unsigned>(text[end].unicode() - u'0');
        value = std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max());
        ++end;
    }
    if (end == digits) {
        end = i;  // no number at all: nothing was consumed
    }
    if (value == 0 && first != u'0') {
        return std::nullopt;
    }
    while (end < text.size() && is_blank(text[end])) {
        ++end;
    }
    if (end != text.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace windowing
