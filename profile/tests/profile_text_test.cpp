// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Finding and changing one value in a profile's text.
#include "profile/profile_text.h"

#include <gtest/gtest.h>

#include <string>

#include "quillon_test/param_name.h"

namespace quillon::profile {
namespace {

struct Lookup {
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class FindValue : public testing::TestWithParam<Lookup> {};

TEST_P(FindValue, FindsTheFirstKeyOfTheFirstSectionOfThatName) {
    const Lookup& c = GetParam();
    EXPECT_EQ(find_value(c.text, c.section, c.key), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FindValue,
    testing::Values(Lookup{"", "section", "Delay", std::nullopt},
                    Lookup{"[section]\nDelay=12\n", "section", "Delay", "12"},
                    Lookup{"[Section]\ndelay=20\n", "section", "Delay", "20"},
                    Lookup{"[SECTION]\nDELAY=20", "Section", "delay", "20"},
                    Lookup{"  [ section ]  \n  Delay  =  7 9 \t\n", "section", "Delay", "7 9"},
                    Lookup{"[section]\r\nDelay=5\r\n", "section", "Delay", "5"},
                    Lookup{"[section]\nDelay=\"20\"\n", "section", "Delay", "20"},
                    Lookup{"[section]\nDelay='20'\n", "section", "Delay", "20"},
                    Lookup{"[section]\nDelay=\"20'\n", "section", "Delay", "\"20'"},
                    Lookup{"[section]\nDelay=\n", "section", "Delay", ""},
                    Lookup{"Delay=1\n[section]\nPort=2\n", "section", "Delay", std::nullopt},
                    Lookup{"[other]\nDelay=1\n", "section", "Delay", std::nullopt},
                    Lookup{"[section]\nPort=1\n[other]\nDelay=3\n", "section", "Delay",
                           std::nullopt},
                    Lookup{"[section]\n;Delay=3\nDelayed=4\n", "section", "Delay", std::nullopt},
                    Lookup{"[section]\nDelay=1\nDelay=2\n", "section", "Delay", "1"},
                    Lookup{"[section]\nDelay=1\n[section]\nDelay=2\n", "section", "Delay", "1"},
                    Lookup{"[section]\nDelay=a=b\n", "section", "Delay", "a=b"}),
    quillon_test::numbered_from([](const Lookup& c) {
        return std::string(c.text) + " " + c.section + " " + c.key;
    }));

struct Change {
    const char* before;
    const char* key;
    const char* value;
    const char* after;
};

class WithValue : public testing::TestWithParam<Change> {};

TEST_P(WithValue, ChangesOnlyThatKeysValue) {
    const Change& c = GetParam();
    EXPECT_EQ(with_value(c.before, "section", c.key, c.value), c.after) << c.before;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WithValue,
    testing::Values(
        // A new file: the section and the key.
        Change{"", "Delay", "42", "[section]\nDelay=42\n"},
        // Comments, order, spacing and other sections stay as they were.
        Change{"; mine\n[Section]\n  port = 7 \nDELAY=3 ; slow cable\n\n[other]\nDelay=1\n",
               "Delay", "10", "; mine\n[Section]\n  port = 7 \nDELAY=10\n\n[other]\nDelay=1\n"},
        Change{"[section]\n  Port = 7 \nDelay=3\n", "port", "1",
               "[section]\n  Port = 1 \nDelay=3\n"},
        Change{"[section]\nDelay=\n", "Delay", "5", "[section]\nDelay=5\n"},
        Change{"[section]\nDelay=\"20\"\n", "Delay", "5", "[section]\nDelay=5\n"},
        // A missing key goes after the section's last key, before what follows it.
        Change{"[section]\nDelay=3\n; ports\n\n[other]\nPort=2\n", "Port", "1",
               "[section]\nDelay=3\nPort=1\n; ports\n\n[other]\nPort=2\n"},
        Change{"[section]\n\n[other]\n", "Port", "1", "[section]\nPort=1\n\n[other]\n"},
        // A missing section is added at the end.
        Change{"[other]\nPort=2\n", "Port", "1", "[other]\nPort=2\n\n[section]\nPort=1\n"},
        Change{"[other]\nPort=2", "Port", "1", "[other]\nPort=2\n\n[section]\nPort=1\n"},
        Change{"; only a comment\n\n", "Port", "1", "; only a comment\n\n[section]\nPort=1\n"},
        // The file's own line endings are kept and used for new lines.
        Change{"[section]\r\nDelay=3\r\n", "Port", "1", "[section]\r\nDelay=3\r\nPort=1\r\n"},
        Change{"[section]\r\nDelay=3\r\n", "Delay", "9", "[section]\r\nDelay=9\r\n"},
        Change{"[x]\r\n", "Delay", "9", "[x]\r\n\r\n[section]\r\nDelay=9\r\n"},
        // A last line without an ending keeps having none.
        Change{"[section]\nDelay=3", "Delay", "4", "[section]\nDelay=4"},
        Change{"[section]\nDelay=3", "Port", "1", "[section]\nDelay=3\nPort=1"}),
    quillon_test::numbered_from([](const Change& c) {
        return std::string(c.key) + " " + c.value + " " + c.before;
    }));

TEST(WithValue, WhatItWritesReadsBack) {
    std::string text = "; settings\n[Section]\nport=2\n";
    text = with_value(text, "section", "Delay", "17");
    text = with_value(text, "section", "Port", "0");
    EXPECT_EQ(find_value(text, "SECTION", "delay"), "17");
    EXPECT_EQ(find_value(text, "section", "Port"), "0");
    EXPECT_EQ(text, "; settings\n[Section]\nport=0\nDelay=17\n");
}

struct Number {
    const char* text;
    int expected;
};

class LeadingNumber : public testing::TestWithParam<Number> {};

TEST_P(LeadingNumber, IsTheValuesLeadingDecimalNumber) {
    EXPECT_EQ(leading_number(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, LeadingNumber,
                         testing::Values(Number{"266", 266}, Number{"  12abc", 12},
                                         Number{"\t+9", 9}, Number{"-3", -3}, Number{"abc", 0},
                                         Number{"", 0}, Number{"1,2", 1}, Number{"0x10", 0},
                                         Number{"- 5", 0},
                                         // wraps at 32 bits: 4294967306 is 2^32 + 10
                                         Number{"4294967306", 10}, Number{"4294967295", -1}),
                         quillon_test::numbered_from([](const Number& c) { return c.text; }));

}  // namespace
}  // namespace quillon::profile
