// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Numbers typed into fields: what is taken and what refused.
#include <gtest/gtest.h>

#include <optional>

#include "windowing/number_text.h"

using windowing::parse_field_number;

TEST(FieldNumber, AcceptsDecimalNumbersWithBlanksAndPlusSign) {
    const std::pair<const char*, std::uint32_t> accepted[] = {
        {"0", 0},
        {"4096", 4096},
        {"  \t17", 17},
        {"17 \t ", 17},
        {"+25", 25},
        {"00012", 12},
        {"32768", 32768},
        {"0000", 0},
        {"4294967295", 4294967295u},
        {"99999999999999", 4294967295u},
    };
    for (const auto& [text, value] : accepted) {
        EXPECT_EQ(parse_field_number(QString::fromLatin1(text)), std::optional(value)) << text;
    }
}

TEST(FieldNumber, RefusesWhatIsNoPositiveNumber) {
    for (const char* text :
         {"", "   ", "abc", "-5", "-0", " -1", "12a", "1 2", "+", "+0", "0x10", "1.5", "+ 5"}) {
        EXPECT_EQ(parse_field_number(QString::fromLatin1(text)), std::nullopt) << text;
    }
}

TEST(FieldNumber, ReadsOnlyTheFirst31Characters) {
    // Whatever follows the 31st character is never looked at.
    EXPECT_EQ(parse_field_number(QString(30, u' ') + QStringLiteral("7xyz")), std::optional(7u));
    EXPECT_EQ(parse_field_number(QString(31, u' ') + QStringLiteral("7")), std::nullopt);
}
