// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The settings as both programs take them from the file's text.
#include "profile/settings.h"

#include <gtest/gtest.h>

namespace quillon::profile {
namespace {

TEST(Profile, DefaultsWhenFileOrKeysAreMissing) {
    const auto none = parse_settings("");
    EXPECT_EQ(none.port_index, 1);
    EXPECT_EQ(none.delay, 10);
    const auto other = parse_settings("[other]\nPort=2\nDelay=5\n");
    EXPECT_EQ(other.port_index, 1);
    EXPECT_EQ(other.delay, 10);
    const auto missing = read_settings("/nonexistent/quillon.INI");
    EXPECT_EQ(missing.port_index, 1);
    EXPECT_EQ(missing.delay, 10);
}

TEST(Profile, ReadsTheProgramsSectionAndTakesValuesModulo256) {
    const auto s = parse_settings("; saved by quillon\r\n[section]\r\nDelay=266\r\nPort=2\r\n");
    EXPECT_EQ(s.delay, 10);
    EXPECT_EQ(s.port_index, 2);
    const auto loose = parse_settings("[section]\n  Port = 7 \nDelay=0\n[later]\nDelay=3\n");
    EXPECT_EQ(loose.port_index, 7);  // the library keeps its port for an index above 2
    EXPECT_EQ(loose.delay, 0);       // and refuses 0; both are the library's to judge
    EXPECT_EQ(parse_settings("[section]\nDelay=abc\n").delay, 0);
    EXPECT_EQ(parse_settings("[section]\nDelay=12abc\n").delay, 12);
    EXPECT_EQ(parse_settings("[section]\nDelay=-1\n").delay, 255);
    EXPECT_EQ(parse_settings("[section]\nDelay=4294967306\n").delay, 10);  // wraps at 32 bits
    EXPECT_EQ(parse_settings("[Section]\ndelay=3\n").delay, 3);            // names of any case
    EXPECT_EQ(parse_settings("[section]\nDelay=\"20\"\n").delay, 20);
}

}  // namespace
}  // namespace quillon::profile
