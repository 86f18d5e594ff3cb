// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What users and scripts read: status texts, dumps, mismatch lists, progress.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "hex_dump.h"
#include "image_compare.h"
#include "image_file.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {
namespace {

TEST(StatusText, ChecksumIsUpperCaseHexWithoutLeadingZeros) {
    EXPECT_EQ(loaded_text(2048, 0x1A2B), "loaded 2048 bytes [1A2B]");
    EXPECT_EQ(loaded_text(3, 0x00AB), "loaded 3 bytes [AB]");
    EXPECT_EQ(write_ram_text(32768, 0x8000), "write 32768 to RAM [8000]");
    EXPECT_EQ(read_ram_text(1, 0), "read 1 from RAM [0]");
    EXPECT_EQ(hex_upper(0xF0FF), "F0FF");
}

TEST(HexDump, SixteenBytesALineWithCharacters) {
    std::vector<std::uint8_t> bytes{'H', 'e', 'l', 'l',  'o',  ',',  ' ',  'w',  'o', 'r',
                                    'l', 'd', '!', 0x00, 0x7F, 0x80, 0x20, 0xFF, '~'};
    std::ostringstream out;
    hex_dump(out, bytes);
    EXPECT_EQ(out.str(),
              "0000: 48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 21 00 7F 80  Hello, world!...\n"
              "0010: 20 FF 7E                                          .~\n");
}

TEST(HexDump, AddressesRunToTheEndOfAFullImage) {
    std::vector<std::uint8_t> bytes(0x8000, 0x41);
    std::ostringstream out;
    hex_dump(out, bytes);
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 0x800);
    EXPECT_NE(text.find("\n7FF0: 41 41"), std::string::npos);
}

TEST(Mismatches, FirstTenAreListedThenCounted) {
    std::vector<std::uint8_t> expected(300, 0xA5);
    std::vector<std::uint8_t> read = expected;
    for (std::size_t i = 0; i < 12; ++i) {
        read[0x100 + i * 3] = 0x25;
    }
    const auto found = compare_images(expected, read);
    ASSERT_EQ(found.size(), 12u);
    EXPECT_EQ(found[1].address, 0x103u);
    std::ostringstream out;
    report_mismatches(out, found);
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, 54), "0100: expected A5, read 25\n0103: expected A5, read 25\n");
    EXPECT_NE(text.find("011B: expected A5, read 25\n... and 2 more\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("011E"), std::string::npos);
}

TEST(Mismatches, AShortReadCountsEveryMissingByte) {
    const std::vector<std::uint8_t> expected{1, 2, 3, 4};
    const std::vector<std::uint8_t> read{1, 2};
    EXPECT_EQ(compare_images(expected, read).size(), 2u);
    EXPECT_TRUE(compare_images(expected, expected).empty());
}

TEST(Progress, LineShowsPercentBytesAndTime) {
    EXPECT_EQ(progress_line("upload", 1638, 32768, 1.04),
              "upload     4% [                    ] 1638/32768 bytes  1.0 s");
    EXPECT_EQ(progress_line("download", 32768, 32768, 12.34),
              "download 100% [####################] 32768/32768 bytes  12.3 s");
    EXPECT_EQ(progress_line("verify", 0, 0, 0),
              "verify     0% [                    ] 0/0 bytes  0.0 s");
}

TEST(ImageFormat, ExtensionFirstThenContent) {
    EXPECT_TRUE(has_ihex_extension("fw.ihx"));
    EXPECT_TRUE(has_ihex_extension("dir.d/FW.HEX"));
    EXPECT_FALSE(has_ihex_extension("fw.bin"));
    EXPECT_FALSE(has_ihex_extension("hex.d/firmware"));
    EXPECT_EQ(output_format("out.ihx", std::nullopt), ImageFormat::ihex);
    EXPECT_EQ(output_format("out.ihx", ImageFormat::raw), ImageFormat::raw);
    EXPECT_EQ(output_format("out.rom", std::nullopt), ImageFormat::raw);

    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    EXPECT_TRUE(looks_like_ihex(bytes("\r\n:0300000002000AF1\r\n:00000001FF\r\n")));
    EXPECT_FALSE(looks_like_ihex(bytes(":\x02\x00")));
    EXPECT_FALSE(looks_like_ihex(bytes("0300000002000AF1")));
    EXPECT_FALSE(looks_like_ihex(bytes("")));
}

}  // namespace
}  // namespace qcli
