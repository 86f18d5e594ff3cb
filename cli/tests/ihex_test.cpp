// The Intel HEX reader and writer: what they accept, what they refuse and where.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ihex_reader.h"
#include "ihex_writer.h"

namespace qcli {
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
        read_ihex(":0300000002000AF1\n" + record(0, 0x000A, {0x75, 0x81, 0x07}) + kEnd);
    ASSERT_TRUE(result.ok()) << result.error;
    const std::vector<std::uint8_t> expected{0x02, 0x00, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0x75, 0x81, 0x07};
    EXPECT_EQ(result.image, expected);
}

TEST(IhexReader, FillsGapsWithTheChosenByteAndAcceptsCrlfAndBlankLines) {
    const std::string text =
        "\r\n" + record(0, 0x0004, {0x11}) + "\r\n\r\n" + record(0, 0, {0x22}) + ":00000001ff\r\n";
    const auto result = read_ihex(text, 0x00);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.image, (std::vector<std::uint8_t>{0x22, 0x00, 0x00, 0x00, 0x11}));
}

TEST(IhexReader, AppliesSegmentAndLinearBaseRecordsBelowTheRamLimit) {
    // Segment 0x0100 puts offset 0 at 0x1000; a linear base of 0 changes nothing.
    const auto result = read_ihex(record(2, 0, {0x01, 0x00}) + record(0, 0x0002, {0x55}) +
                                  record(4, 0, {0x00, 0x00}) + record(0, 0x0001, {0x66}) + kEnd);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.image.size(), 0x1003u);
    EXPECT_EQ(result.image[0x1002], 0x55);
    EXPECT_EQ(result.image[0x0001], 0x66);
    EXPECT_EQ(result.image[0x1001], 0xFF);
}

TEST(IhexReader, ReachesTheLastRamAddressButNotBeyond) {
    const auto last = read_ihex(record(0, 0x7FFF, {0xA5}) + kEnd);
    ASSERT_TRUE(last.ok()) << last.error;
    EXPECT_EQ(last.image.size(), 0x8000u);
    EXPECT_EQ(last.image[0x7FFF], 0xA5);

    // A record starting inside the RAM and running past it.
    const auto across = read_ihex(record(0, 0, {1}) + record(0, 0x7FFF, {0xA5, 0x5A}) + kEnd);
    EXPECT_FALSE(across.ok());
    EXPECT_EQ(across.line, 2u);
    EXPECT_NE(across.error.find("0x8000"), std::string::npos) << across.error;
    EXPECT_TRUE(across.image.empty());

    const auto linear = read_ihex(record(4, 0, {0x00, 0x01}) + record(0, 0, {0x00}) + kEnd);
    EXPECT_FALSE(linear.ok());
    EXPECT_EQ(linear.line, 2u);
    EXPECT_NE(linear.error.find("0x10000"), std::string::npos) << linear.error;

    const auto segment = read_ihex(record(2, 0, {0x08, 0x00}) + record(0, 0, {0x00}) + kEnd);
    EXPECT_FALSE(segment.ok());
    EXPECT_EQ(segment.line, 2u);
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
    const auto result = read_ihex(bad.text);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.line, bad.line);
    EXPECT_NE(result.error.find(bad.message_part), std::string::npos) << result.error;
    EXPECT_TRUE(result.image.empty());
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
        BadInput{"OverlongRecord", ":" + std::string(600, '0') + "\n", 1, "too long"}),
    [](const testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST(IhexReader, IgnoresWhatFollowsTheEndRecord) {
    const auto result = read_ihex(record(0, 0, {7}) + kEnd + "garbage\n");
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.image, std::vector<std::uint8_t>{7});
}

TEST(IhexWriter, WritesSixteenByteRecordsAndTheEndRecord) {
    EXPECT_EQ(write_ihex(std::vector<std::uint8_t>{0x02, 0x00, 0x0A}),
              ":0300000002000AF1\n:00000001FF\n");
    std::vector<std::uint8_t> image(17);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(write_ihex(image),
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
        const auto result = read_ihex(write_ihex(image), 0x00);
        ASSERT_TRUE(result.ok()) << size << ": " << result.error;
        EXPECT_EQ(result.image, image) << size;
    }
}

}  // namespace
}  // namespace qcli
