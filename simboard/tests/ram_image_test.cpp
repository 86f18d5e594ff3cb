// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The RAM as the simulator gets it and gives it back: the fill and the kept
// ranges, the holes as s51 0.6.4 prints them, and the memory merged back.
#include "ram_image.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using sim::kBoardRamSize;
using sim::Range;
using Ram = std::array<std::uint8_t, kBoardRamSize>;

bool same(const std::vector<Range>& a, const std::vector<Range>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const Range& x, const Range& y) {
               return x.first == y.first && x.last == y.last;
           });
}

TEST(RamImage, KeepsWhatDiffersFromTheFillAndShortRunsOfIt) {
    Ram ram{};
    ram[0x0000] = 0x02;
    ram[0x0005] = 0x07;  // 4 zeros between: too short a hole
    ram[0x1000] = 0x33;
    ram[0x7FFF] = 0x44;
    const sim::RamLayout layout = sim::layout_of(ram);
    EXPECT_EQ(layout.fill, 0x00);
    EXPECT_TRUE(same(layout.kept, {{0x0000, 0x0005}, {0x1000, 0x1000}, {0x7FFF, 0x7FFF}}));
    EXPECT_EQ(sim::kept_records(ram, layout),
              ":06000000020000000007F1\n:0110000033BC\n:017FFF00443D\n:00000001FF\n");
}

TEST(RamImage, HolesAsTheSimulatorCountsThemAndWhatIsLeftToDump) {
    Ram ram{};
    ram.fill(0x00);
    ram[0x100] = 1;
    ram[0x200] = 1;
    const sim::RamLayout layout = sim::layout_of(ram);
    // s51 0.6.4's answer to "hole rom 16 0x0" on this RAM: each length one short.
    const std::string answer = "hole rom 16 0x0\n0x0000 255\n0x0101 254\n0x0201 32254\n";
    ASSERT_EQ(sim::hole_slack(answer, layout), 1u);
    const auto holes = sim::holes_in(answer, 1);
    EXPECT_TRUE(same(holes, {{0x0000, 0x00FF}, {0x0101, 0x01FF}, {0x0201, 0x7FFF}}));

    // After a run the firmware wrote 0x55 into the first hole, and the dumps
    // of the kept ranges came back.
    Ram memory{};
    memory.fill(0xEE);
    const auto missing =
        sim::merge_stop(memory, layout.fill, {{0x0000, 0x007F}, {0x0081, 0x00FF}},
                        {":0101000001FD\n:00000001FF\n", ":0102000001FC\n:00000001FF\n"});
    EXPECT_TRUE(same(missing, {{0x0080, 0x0080}, {0x0101, 0x01FF}, {0x0201, 0x7FFF}}));
    EXPECT_EQ(memory[0x0000], 0x00);
    EXPECT_EQ(memory[0x0200], 0x01);
    const auto rest = sim::merge_stop(memory, layout.fill, {}, {":01008000552A\n:00000001FF\n"},
                                      {{0x0080, 0x0080}});
    EXPECT_TRUE(rest.empty());
    EXPECT_EQ(memory[0x0080], 0x55);
}

}  // namespace
