// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The board's RAM through the simulator's HEX images and back.
#include "intel_hex_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace {

using sim::parse_intel_hex;
using sim::to_intel_hex;

TEST(IntelHexImage, WholeBoardImageSurvivesTheRoundTrip) {
    std::array<std::uint8_t, 0x8000> sent{};
    std::mt19937 random(7);
    for (auto& byte : sent) {
        byte = static_cast<std::uint8_t>(random());
    }
    const std::string text = to_intel_hex(sent);
    EXPECT_EQ(text.rfind(":00000001FF\n"), text.size() - 12);

    std::array<std::uint8_t, 0x8000> received{};
    const auto stored = parse_intel_hex(text, received);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, 0x8000u);
    EXPECT_EQ(received, sent);
}

TEST(IntelHexImage, RecordsAreThirtyTwoBytesWithTheirChecksum) {
    const std::array<std::uint8_t, 34> bytes{0x02, 0x00, 0x06};
    const std::string text = to_intel_hex(bytes);
    // 32 bytes at 0x0000, then the last two at 0x0020.
    EXPECT_EQ(text, ":20000000020006" + std::string(58, '0') + "D8\n" +
                        ":020020000000DE\n"
                        ":00000001FF\n");
}

TEST(IntelHexImage, ConsoleChatterAroundTheRecordsIsSkipped) {
    std::array<std::uint8_t, 16> image{};
    const std::string answer = "dump /i rom 0x0 0x3\r\n:040002001122334450\r\n:00000001FF\r\n";
    const auto stored = parse_intel_hex(answer, image);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, 4u);
    EXPECT_EQ(image[1], 0x00);
    EXPECT_EQ(image[2], 0x11);
    EXPECT_EQ(image[5], 0x44);
}

TEST(IntelHexImage, DamagedOrMisplacedRecordsMakeTheTextUnusable) {
    std::array<std::uint8_t, 16> image{};
    // Wrong checksum, a digit that is none, a short record, data past the end.
    EXPECT_FALSE(parse_intel_hex(":040002001122334451\n:00000001FF\n", image));
    EXPECT_FALSE(parse_intel_hex(":04000200112G334450\n:00000001FF\n", image));
    EXPECT_FALSE(parse_intel_hex(":0400020011223344\n:00000001FF\n", image));
    EXPECT_FALSE(parse_intel_hex(":04000E001122334444\n:00000001FF\n", image));
}

TEST(IntelHexImage, ExtendedAddressesCountTowardsTheBound) {
    std::array<std::uint8_t, 0x8000> image{};
    // Linear base 0x0001_0000: the record lands beyond a 32 KB image.
    EXPECT_FALSE(parse_intel_hex(":020000040001F9\n:0100000055AA\n:00000001FF\n", image));
}

}  // namespace
