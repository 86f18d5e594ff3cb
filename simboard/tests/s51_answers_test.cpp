// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What s51 prints for a watch's pause and for `dc`, as s51 printed it here,
// read into the byte that was touched and into instructions.
#include <gtest/gtest.h>

#include "s51_answers.h"

namespace {

using namespace std::string_literals;

TEST(S51Answers, EventBreakOfAWatchNamesItsSpaceAccessAndAddress) {
    const std::string written =
        "Stop at 0x00005a: (112) Event break\n"
        "Event `write' at xram[0x1000]: 0x59 0x0059    f0       MOVX   @DPTR,A\033[0K\n"
        "F 0x00005a\nSimulated 9612 ticks (8.691e-04 sec)\n"s +
        '\0';
    const auto stop = sim::find_stop(written);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->pc, 0x5Au);
    EXPECT_EQ(stop->code, sim::kEventBreak);
    EXPECT_EQ(stop->event_space, "xram");
    EXPECT_EQ(stop->event_kind, "write");
    EXPECT_EQ(stop->event_address, 0x1000u);

    const std::string read =
        "Stop at 0x00007f: (112) Event break\n"
        "Event `read' at iram[0x8]: 0x7d 0x007d    e5 08    MOV    A,0x08\n"s +
        '\0';
    const auto by_read = sim::find_stop(read);
    ASSERT_TRUE(by_read);
    EXPECT_EQ(by_read->event_space, "iram");
    EXPECT_EQ(by_read->event_kind, "read");
    EXPECT_EQ(by_read->event_address, 0x8u);
}

TEST(S51Answers, DisassemblyLinesInEveryFormDcPrints) {
    const std::pair<const char*, const char*> lines[] = {
        {"0x0055    90 10 00 MOV    DPTR,#0x1000\033[0K", "55 90 10 00\tMOV    DPTR,#0x1000"},
        {"0x005a F? a3       INC    DPTR\033[0K", "5a a3\tINC    DPTR"},
        {"0x005b  ? d8 fc    DJNZ   R0,0x0059\033[0K", "5b d8 fc\tDJNZ   R0,0x0059"},
        {"0x0006    75 81 09 MOV    0x81 <SP>,#0x09\033[0K", "6 75 81 09\tMOV    0x81 <SP>,#0x09"},
        {"0x0000    02 00 06 LJMP   0x0006 <.label$0>\033[0K",
         "0 02 00 06\tLJMP   0x0006 <.label$0>"},
    };
    for (const auto& [line, read] : lines) {
        EXPECT_EQ(sim::disassembly_line(line), std::optional<std::string>(read)) << line;
    }
    EXPECT_EQ(sim::disassembly_line("0x0000    <.reset>:"), std::nullopt);
    EXPECT_EQ(sim::disassembly_line("dc 0x55 0x5c"), std::nullopt);
}

}  // namespace
