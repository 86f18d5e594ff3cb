#include "ram_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "scratch_folder.h"

namespace {

using dlportio::RamFile;

std::string file_content(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RamFileTest, NewFileIsThirtyTwoKilobytesOfZeroInANewFolder) {
    ScratchFolder scratch;
    const auto path = scratch / "state/quillon/vandrel-board.ram";
    std::string error;
    auto file = RamFile::open(path.string(), error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(std::all_of(file->bytes().begin(), file->bytes().end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::filesystem::file_size(path), 0x8000u);
}

TEST(RamFileTest, BytesReachTheFileAndOtherMappingsAtOnce) {
    ScratchFolder scratch;
    const auto path = (scratch / "board.ram").string();
    std::string error;
    auto first = RamFile::open(path, error);
    auto second = RamFile::open(path, error);
    ASSERT_TRUE(first && second) << error;
    first->bytes()[0x7FFF] = 0xAB;
    first->bytes()[0] = 0x01;
    EXPECT_EQ(second->bytes()[0x7FFF], 0xAB);
    first.reset();
    const std::string content = file_content(path);
    ASSERT_EQ(content.size(), 0x8000u);
    EXPECT_EQ(static_cast<std::uint8_t>(content[0]), 0x01);
    EXPECT_EQ(static_cast<std::uint8_t>(content[0x7FFF]), 0xAB);
}

TEST(RamFileTest, ExistingContentIsKeptAndAShortFileGrows) {
    ScratchFolder scratch;
    scratch.put("short.ram", "\x12\x34");
    std::string error;
    auto file = RamFile::open((scratch / "short.ram").string(), error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->bytes()[0], 0x12);
    EXPECT_EQ(file->bytes()[1], 0x34);
    EXPECT_EQ(file->bytes()[2], 0x00);
    EXPECT_EQ(std::filesystem::file_size(scratch / "short.ram"), 0x8000u);
}

TEST(RamFileTest, UnusablePathsSayWhy) {
    ScratchFolder scratch;
    std::string error;
    EXPECT_FALSE(RamFile::open(scratch.path().string(), error));
    EXPECT_NE(error.find(scratch.path().string()), std::string::npos) << error;
    scratch.put("plain", "x");
    error.clear();
    EXPECT_FALSE(RamFile::open((scratch / "plain/board.ram").string(), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
