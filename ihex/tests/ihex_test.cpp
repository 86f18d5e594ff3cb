// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The Intel HEX codec: what it accepts, what it refuses and where, what it writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ihex.h"

namespace ihex {
namespace {

// One record with its checksum worked out independently of the code under test.
std::string record(unsigned type, unsigned address, const std::vector<unsigned>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", static_cast<unsigned>(data.size()),
                  address & 0xFFFF, type);
    std::string out = head;
    for (unsigned b : data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", b);
        out += hex;
        sum += b;
    }
    char tail[4];
    std::snprintf(tail, sizeof tail, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return out + tail + "\n";
}

const std::string kEnd = ":00000001FF\n";

TEST(IhexReader, ReadsDataRecordsIntoAContiguousImage) {
    // A typical compiler output: a jump at 0, code further up, gaps between.
    const auto result =
        read_image(":0300000002000AF1\n" + record(0, 0x000A, {0x75, 0x81, 0x07}) + kEnd);
    ASSERT_TRUE(result.ok()) << result.error.what;
    const std::vector<std::uint8_t> expected{0x02, 0x00, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0x75, 0x81, 0x07};
    EXPECT_EQ(result.bytes, expected);
}

TEST(IhexReader, FillsGapsWithTheChosenByteAndAcceptsCrlfAndBlankLines) {
    const std::string text =
        "\r\n" + record(0, 0x0004, {0x11}) + "\r\n\r\n" + record(0, 0, {0x22}) + ":00000001ff\r\n";
    const auto result = read_image(text, 0x00);
    ASSERT_TRUE(result.ok()) << result.error.what;
    EXPECT_EQ(result.bytes, (std::vector<std::uint8_t>{0x22, 0x00, 0x00, 0x00, 0x11}));
    // Records that overlap where they agree.
    const auto overlap = read_image(record(0, 0, {0x22, 2, 3}) + record(0, 1, {2, 3, 4}) + text, 0);
    ASSERT_TRUE(overlap.ok()) << overlap.error.what;
    EXPECT_EQ(overlap.bytes, (std::vector<std::uint8_t>{0x22, 2, 3, 4, 0x11}));
}

TEST(IhexReader, AppliesSegmentAndLinearBaseRecordsBelowTheRamLimit) {
    // Segment 0x0100 puts offset 0 at 0x1000; a linear base of 0 changes nothing.
    const auto result = read_image(record(2, 0, {0x01, 0x00}) + record(0, 0x0002, {0x55}) +
                                   record(4, 0, {0x00, 0x00}) + record(0, 0x0001, {0x66}) + kEnd);
    ASSERT_TRUE(result.ok()) << result.error.what;
    ASSERT_EQ(result.bytes.size(), 0x1003u);
    EXPECT_EQ(result.bytes[0x1002], 0x55);
    EXPECT_EQ(result.bytes[0x0001], 0x66);
    EXPECT_EQ(result.bytes[0x1001], 0xFF);
}

TEST(IhexReader, ReachesTheLastRamAddressButNotBeyond) {
    const auto last = read_image(record(0, 0x7FFF, {0xA5}) + kEnd);
    ASSERT_TRUE(last.ok()) << last.error.what;
    EXPECT_EQ(last.bytes.size(), 0x8000u);
    EXPECT_EQ(last.bytes[0x7FFF], 0xA5);

    // A record starting inside the RAM and running past it.
    const auto across = read_image(record(0, 0, {1}) + record(0, 0x7FFF, {0xA5, 0x5A}) + kEnd);
    EXPECT_FALSE(across.ok());
    EXPECT_EQ(across.error.line, 2u);
    EXPECT_NE(across.error.what.find("0x8000"), std::string::npos) << across.error.what;
    EXPECT_TRUE(across.bytes.empty());

    const auto linear = read_image(record(4, 0, {0x00, 0x01}) + record(0, 0, {0x00}) + kEnd);
    EXPECT_FALSE(linear.ok());
    EXPECT_EQ(linear.error.line, 2u);
    EXPECT_NE(linear.error.what.find("0x10000"), std::string::npos) << linear.error.what;

    const auto segment = read_image(record(2, 0, {0x08, 0x00}) + record(0, 0, {0x00}) + kEnd);
    EXPECT_FALSE(segment.ok());
    EXPECT_EQ(segment.error.line, 2u);
}

struct BadInput {
    const char* name;
    std::string text;
    std::size_t line;
    const char* message_part;
};

class IhexReaderRefuses : public testing::TestWithParam<BadInput> {};

TEST_P(IhexReaderRefuses, NamesTheLineAndTheFault) {
    const BadInput& bad = GetParam();
    const auto result = read_image(bad.text);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error.line, bad.line);
    EXPECT_NE(result.error.what.find(bad.message_part), std::string::npos) << result.error.what;
    EXPECT_TRUE(result.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadHex, IhexReaderRefuses,
    testing::Values(
        BadInput{"Checksum", record(0, 0, {1}) + ":0300000002000AF2\n" + kEnd, 2,
                 "checksum F2 should be F1"},
        BadInput{"LengthLongerThanData", ":0400000002000AF0\n" + kEnd, 1, "record length 4"},
        BadInput{"LengthShorterThanData", ":0200000002000AF2\n" + kEnd, 1, "record length 2"},
        BadInput{"NonHexCharacter", ":03000000020G0AF1\n" + kEnd, 1, "non-hex character 'G'"},
        BadInput{"ControlCharacter", std::string(":0300000002\x01") + "0AF1\n" + kEnd, 1,
                 "byte 0x01"},
        BadInput{"OddDigitCount", ":0300000002000AF\n" + kEnd, 1, "odd number"},
        BadInput{"TooShort", ":00000001\n", 1, "too short"},
        BadInput{"NoColon", record(0, 0, {1}) + "0300000002000AF1\n" + kEnd, 2, "':'"},
        BadInput{"AddressBeyondRam", record(0, 0x8000, {0xFF}) + kEnd, 1, "0x8000"},
        BadInput{"MissingEndRecord", record(0, 0, {1}) + record(0, 1, {2}), 3, "end record"},
        BadInput{"EmptyFile", "", 1, "end record"},
        BadInput{"EndRecordWithData", record(1, 0, {0}), 1, "end record carries data"},
        BadInput{"UnsupportedType", record(3, 0, {0, 0, 0, 0}) + kEnd, 1, "record type 03"},
        BadInput{"ShortBaseRecord", record(4, 0, {0}) + kEnd, 1, "2 data bytes"},
        BadInput{"NoData", kEnd, 1, "no data"},
        BadInput{"AddressGivenTwoBytes", ":040000001122334452\n:02000200AABB97\n" + kEnd, 2,
                 "address 0002 given twice"},
        BadInput{"OverlongRecord", ":" + std::string(600, '0') + "\n", 1, "too long"}),
    [](const testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST(IhexReader, EmptyRecordFarPastTheRamStoresNothing) {
    // A linear base of 0xF0000000 and an empty record there: the image stays as the
    // other records make it instead of growing towards the empty record's address.
    const auto result =
        read_image(record(0, 0, {9}) + record(4, 0, {0xF0, 0x00}) + record(0, 0, {}) + kEnd);
    ASSERT_TRUE(result.ok()) << result.error.what;
    EXPECT_EQ(result.bytes, std::vector<std::uint8_t>{9});
}

TEST(IhexReader, IgnoresWhatFollowsTheEndRecord) {
    const auto result = read_image(record(0, 0, {7}) + kEnd + "garbage\n");
    ASSERT_TRUE(result.ok()) << result.error.what;
    EXPECT_EQ(result.bytes, std::vector<std::uint8_t>{7});
}

TEST(IhexWriter, WritesSixteenByteRecordsAndTheEndRecord) {
    EXPECT_EQ(write_image(std::vector<std::uint8_t>{0x02, 0x00, 0x0A}),
              ":0300000002000AF1\n:00000001FF\n");
    std::vector<std::uint8_t> image(17);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(write_image(image),
              ":10000000000102030405060708090A0B0C0D0E0F78\n:0100100010DF\n:00000001FF\n");
}

TEST(IhexRoundTrip, EveryImageSizeComesBackByteForByte) {
    std::mt19937 random(1234);
    for (const std::size_t size : {1u, 15u, 16u, 17u, 255u, 256u, 4097u, 0x8000u}) {
        std::vector<std::uint8_t> image(size);
        for (auto& b : image) {
            b = static_cast<std::uint8_t>(random());
        }
        image.back() = 0xFF;  // a trailing fill-like byte must not shorten the image
        const auto result = read_image(write_image(image), 0x00);
        ASSERT_TRUE(result.ok()) << size << ": " << result.error.what;
        EXPECT_EQ(result.bytes, image) << size;
    }
}

TEST(IhexWriter, TakesTheRecordLengthItIsGiven) {
    std::vector<std::uint8_t> bytes(34);
    bytes[0] = 0x02;
    bytes[2] = 0x06;
    // 32 bytes at 0x0000, then the last two at 0x0020.
    EXPECT_EQ(write_image(bytes, 32), ":20000000020006" + std::string(58, '0') + "D8\n" +
                                          ":020020000000DE\n"
                                          ":00000001FF\n");
}

TEST(IhexWriter, StartsALinearBaseAtEach64KBoundary) {
    std::mt19937 random(99);
    std::vector<std::uint8_t> image(0x10000 + 700);
    for (auto& b : image) {
        b = static_cast<std::uint8_t>(random());
    }
    for (const std::size_t per_record : {16u, 32u, 255u}) {
        const std::string text = write_image(image, per_record);
        const auto base = text.find(":020000040001F9\n");
        ASSERT_NE(base, std::string::npos) << per_record;
        EXPECT_EQ(text.substr(base + 16 + 3, 4), "0000") << "the record after the base";
        // No data record runs past the 64 KB its 16-bit address reaches.
        for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
            const unsigned length = std::stoul(text.substr(at + 1, 2), nullptr, 16);
            const unsigned offset = std::stoul(text.substr(at + 3, 4), nullptr, 16);
            EXPECT_LE(offset + length, 0x10000u) << text.substr(at, 12);
        }
        const auto back = read_image(text, 0, 0x20000);
        ASSERT_TRUE(back.ok()) << per_record << ": " << back.error.what;
        EXPECT_EQ(back.bytes, image) << per_record;
    }
}

// The simulator's answer to a dump: records amid its echo and prompt.
TEST(IhexReadInto, PassesOverConsoleLinesAndKeepsTheBytesNoRecordNames) {
    std::vector<std::uint8_t> image(16, 0xEE);
    const std::string answer = "dump /i rom 0x2 0x5\r\n" + record(0, 2, {0x11, 0x22, 0x33, 0x44}) +
                               kEnd + record(0, 0, {0x99}) + "0> ";
    const auto stored = read_into(answer, image);
    ASSERT_TRUE(stored.ok()) << stored.error.what;
    EXPECT_EQ(stored.bytes, 4u);
    EXPECT_EQ(image, (std::vector<std::uint8_t>{0xEE, 0xEE, 0x11, 0x22, 0x33, 0x44, 0xEE, 0xEE,
                                                0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    // A prompt in front of the end record hides it; the records before still count.
    EXPECT_EQ(read_into(record(0, 2, {0x11}) + "0> " + kEnd, image).bytes, 1u);
    // The same text as a file is refused at the echo.
    const auto file = read_image(answer);
    EXPECT_EQ(file.error.line, 1u);
    EXPECT_NE(file.error.what.find("does not start with ':'"), std::string::npos);
}

TEST(IhexReadInto, RefusesDamagedRecordsAndAddressesPastTheImage) {
    std::vector<std::uint8_t> image(16);
    for (const std::string& bad : {":040002001122334451\n" + kEnd, ":04000200112G334450\n" + kEnd,
                                   ":0400020011223344\n" + kEnd, record(0, 0x0E, {1, 2, 3}) + kEnd,
                                   record(4, 0, {0x00, 0x01}) + record(0, 0, {0x55}) + kEnd}) {
        EXPECT_FALSE(read_into(bad, image).ok()) << bad;
    }
    EXPECT_TRUE(read_into(record(0, 0x0D, {1, 2, 3}) + kEnd, image).ok());
    EXPECT_EQ(image[0x0F], 3);
}

}  // namespace
}  // namespace ihex
