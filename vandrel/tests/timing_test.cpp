// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The one suite that runs the real millisecond sleep. Bounds are loose: only the
// order of magnitude of each pause is checked.
#include <gtest/gtest.h>

#include <chrono>

#include "port_recorder.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

template <typename Operation>
double seconds_taken(Operation operation) {
    const auto start = std::chrono::steady_clock::now();
    operation();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(RealSleep, ResetPulseLastsAboutOneSecond) {
    recorder().clear();
    const double seconds = seconds_taken([] { reset(); });
    EXPECT_GE(seconds, 1.0);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(recorder().writes, 2u);
}

TEST(RealSleep, TransferOpensWithAboutHalfASecond) {
    const double seconds = seconds_taken([] { ASSERT_EQ(read_ram(1), 1); });
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 2.5);
}

}  // namespace
}  // namespace vandrel_test
