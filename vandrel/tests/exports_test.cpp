// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The fourteen exports' settings, buffer and refusals.
#include <gtest/gtest.h>

#include "library_test.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

using ExportsTest = LibraryTest;

TEST_F(ExportsTest, SetPortSelectsOneOfThreeAddressesOrReportsTheOneInForce) {
    EXPECT_EQ(set_Port(0), 0x278);
    EXPECT_EQ(set_Port(3), 0x278);
    EXPECT_EQ(set_Port(2), 0x3BC);
    EXPECT_EQ(set_Port(200), 0x3BC);
    EXPECT_EQ(set_Port(255), 0x3BC);
    EXPECT_EQ(set_Port(1), 0x378);
    EXPECT_EQ(set_Port(3), 0x378);
    EXPECT_TRUE(recorder().events.empty());
    EXPECT_STREQ(get_LastError(), "");
}

TEST_F(ExportsTest, SetDelayRefusesOnlyZero) {
    EXPECT_EQ(set_delay(255), 1);
    EXPECT_EQ(get_delay(), 255);
    EXPECT_EQ(set_delay(0), 0);
    EXPECT_EQ(get_delay(), 255);
    EXPECT_STREQ(get_LastError(), "");
    EXPECT_EQ(set_delay(1), 1);
    EXPECT_EQ(get_delay(), 1);
    EXPECT_EQ(set_delay(17), 1);
    EXPECT_EQ(get_delay(), 17);
}

TEST_F(ExportsTest, NewDelayHoldsFromTheNextTransfer) {
    ASSERT_EQ(set_delay(3), 1);
    ASSERT_EQ(read_ram(1), 1);
    EXPECT_EQ(recorder().reads, (70u + 74u) * 9u + 8u);
}

TEST_F(ExportsTest, BufferAddressNeverChanges) {
    std::uint8_t* const buffer = getBuffer();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(read_ram(100), 100);
    EXPECT_EQ(getBuffer(), buffer);
    EXPECT_EQ(read_ram(0), 0);
    EXPECT_EQ(read_file("/nonexistent/image.rom"), 0);
    EXPECT_EQ(getBuffer(), buffer);
    EXPECT_EQ(get_LastError(), get_LastError());
}

TEST_F(ExportsTest, ReplacedCallbackIsTheOnlyOneCalled) {
    static int other_calls = 0;
    other_calls = 0;
    setCallback([](std::uint16_t, std::uint16_t) { ++other_calls; });
    setCallback(record_progress);
    ASSERT_EQ(read_ram(3), 3);
    EXPECT_EQ(other_calls, 0);
    EXPECT_EQ(recorder().progress.size(), 4u);
}

}  // namespace
}  // namespace vandrel_test
