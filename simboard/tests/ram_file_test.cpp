// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The RAM file shared between processes, on real and full file systems.
#include "ram_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "quillon_test/scratch_folder.h"
#include "quillon_test/small_tmpfs.h"

namespace {

using quillon_test::ScratchFolder;

using sim::RamFile;

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

TEST(RamFileTest, ChangedBytesReachTheFileAndOtherProcessesCopiesWhenSavedAndLoaded) {
    ScratchFolder scratch;
    const auto path = (scratch / "board.ram").string();
    std::string error;
    auto first = RamFile::open(path, error);
    auto second = RamFile::open(path, error);
    ASSERT_TRUE(first && second) << error;
    first->bytes()[0x7FFF] = 0xAB;
    first->changed(0x7FFF);
    first->save();
    second->bytes()[0x4000] = 0xCD;  // not noted as changed: never written
    second->load();
    EXPECT_EQ(second->bytes()[0x7FFF], 0xAB);
    EXPECT_EQ(second->bytes()[0x4000], 0x00);
    first->bytes()[0] = 0x01;
    first->changed(0);
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

namespace {

using sim::RamFile;
using testing::ExitedWithCode;

TEST(RamFileFullDisk, NoRoomForTheFileIsRefusedWithAReason) {
    SmallTmpfs disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    // A file of full size from an earlier run whose blocks were never written.
    disk.put_sparse("old.ram", 0x8000);
    disk.fill("fill");
    for (const char* name : {"new.ram", "old.ram"}) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(RamFile::open((disk / name).string(), error));
        EXPECT_NE(error.find("cannot reserve 32 KB for " + (disk / name).string() +
                             ": No space left on device"),
                  std::string::npos)
            << error;
    }
}

// Cuts the file from outside, as another program would, then stores where
// the file no longer reaches.
void store_after_cut(const std::filesystem::path& path, RamFile& file) {
    if (::truncate(path.c_str(), 100) != 0) {
        std::exit(10);
    }
    file.bytes()[0x7FFF] = 0x5A;
    file.changed(0x7FFF);
    file.save();
}

TEST(RamFileCut, FileCutFromOutsideGrowsBackAndKeepsItsHead) {
    ScratchFolder scratch;
    const auto path = scratch / "board.ram";
    EXPECT_EXIT(
        {
            std::string error;
            auto file = RamFile::open(path.string(), error);
            if (!file) {
                std::exit(11);
            }
            file->bytes()[0] = 0xAB;
            file->changed(0);
            file->save();
            store_after_cut(path, *file);
            file->load();  // what the file holds now
            const bool right = file->bytes()[0] == 0xAB && file->bytes()[0x7FFF] == 0x5A &&
                               std::filesystem::file_size(path) == 0x8000;
            file->save();  // nothing new: says nothing
            std::exit(right ? 0 : 12);
        },
        ExitedWithCode(0),
        "^dlportio: the simulated board's RAM file .*board.ram was cut by another program; it "
        "is grown back to 32 KB, with zero bytes where it was cut\n$");
}

TEST(RamFileCut, CutFileWithNoRoomToGrowBackStillServes) {
    SmallTmpfs disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const auto path = disk / "board.ram";
    EXPECT_EXIT(
        {
            std::string error;
            auto file = RamFile::open(path.string(), error);
            if (!file) {
                std::exit(11);
            }
            file->bytes()[0] = 0xAB;
            disk.fill("fill");
            if (::truncate(path.c_str(), 100) != 0) {
                std::exit(10);
            }
            disk.fill("fill2");  // another program takes the freed blocks
            file->bytes()[0x7FFF] = 0x5A;
            file->changed(0x7FFF);
            file->save();
            std::exit(file->bytes()[0] == 0xAB && file->bytes()[0x7FFF] == 0x5A ? 0 : 12);
        },
        ExitedWithCode(0),
        "no room on the disk for the simulated board's RAM file .*board.ram; the part that "
        "could not be kept reads zero and is not kept in the file");
}

}  // namespace
