// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Runs alone in its own executable: nothing may touch the library before these checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "library_state.h"
#include "port_recorder.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

void expect_state_at_load() {
    EXPECT_EQ(get_bufsize(), 0);
    EXPECT_EQ(get_delay(), 1);
    EXPECT_EQ(set_Port(3), 0x378);
    EXPECT_STREQ(get_LastError(), "");
    EXPECT_STREQ(get_version(), "1.02.000");
    const std::uint8_t* buffer = getBuffer();
    EXPECT_TRUE(std::all_of(buffer, buffer + 32768, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(vandrel::state().line_image, 0xC0);
    EXPECT_EQ(vandrel::state().callback, nullptr);
}

TEST(StateAtLoad, HoldsTheDocumentedValuesAndTouchesNoPort) {
    expect_state_at_load();
    EXPECT_TRUE(recorder().events.empty());
    EXPECT_EQ(get_chsum(), 0);
    EXPECT_STREQ(get_LastError(), "empty buffer");
}

// The other suites start every test from reset_state(), so it must give the same.
TEST(StateAtLoad, ResetStateRestoresIt) {
    setCallback(record_progress);
    ASSERT_EQ(set_delay(9), 1);
    ASSERT_EQ(set_Port(0), 0x278);
    ASSERT_EQ(read_ram(5), 5);
    std::fill_n(getBuffer(), 32768, 0x55);
    ASSERT_EQ(read_ram(0), 0);
    vandrel::reset_state();
    expect_state_at_load();
}

}  // namespace
}  // namespace vandrel_test
