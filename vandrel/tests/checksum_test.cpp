// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// get_chsum on images of chosen sums.
#include <gtest/gtest.h>

#include <vector>

#include "last_error.h"
#include "library_test.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

class ChecksumTest : public LibraryTest {
protected:
    // An image whose bytes sum to `sum`: 0xFF bytes and one remainder.
    static std::vector<std::uint8_t> image_with_sum(unsigned sum) {
        std::vector<std::uint8_t> bytes(sum / 0xFF, 0xFF);
        bytes.push_back(static_cast<std::uint8_t>(sum % 0xFF));
        return bytes;
    }
};

TEST_F(ChecksumTest, SmallSumsHaveTheirThirdDigitMovedUp) {
    const struct {
        unsigned sum;
        std::uint16_t chsum;
    } cases[] = {{0x0003, 0x0003}, {0x0ABC, 0xA0BC}, {0x0100, 0x1000}, {0x0FFF, 0xF0FF},
                 {0x00FF, 0x00FF}, {0x1000, 0x1000}, {0x1234, 0x1234}, {0xFFFF, 0xFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sum);
        put_image(image_with_sum(c.sum));
        EXPECT_EQ(get_chsum(), c.chsum);
    }
    put_image({0x01, 0x02});
    EXPECT_EQ(get_chsum(), 0x0003);
}

TEST_F(ChecksumTest, SumKeepsItsLowSixteenBits) {
    put_image(std::vector<std::uint8_t>(32768, 0xFF));
    EXPECT_EQ(get_chsum(), 0x8000);  // 32768 * 255 = 0x7F8000
    // The digit move applies to the wrapped sum: 0x10ABC keeps 0x0ABC.
    put_image(image_with_sum(0x10ABC));
    EXPECT_EQ(get_chsum(), 0xA0BC);
}

TEST_F(ChecksumTest, OnlyTheImageIsSummed) {
    put_image({0x80, 0x80, 0x80, 0x80});
    put_image({0x80, 0x01});
    EXPECT_EQ(get_chsum(), 0x0081);
}

TEST_F(ChecksumTest, ZeroImageGivesZeroWithoutMessage) {
    vandrel::set_last_error("earlier");
    put_image({0, 0, 0});
    EXPECT_EQ(get_chsum(), 0);
    EXPECT_STREQ(get_LastError(), "earlier");
}

TEST_F(ChecksumTest, EmptyBufferGivesZeroAndAMessage) {
    EXPECT_EQ(get_chsum(), 0);
    EXPECT_STREQ(get_LastError(), "empty buffer");
}

}  // namespace
}  // namespace vandrel_test
