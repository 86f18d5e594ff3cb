// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The line primitives and the pauses, as port accesses in order.
#include "board_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library_test.h"
#include "quillon_test/param_name.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

using BoardLinesTest = LibraryTest;

TEST_F(BoardLinesTest, WaitsCountDTimesDReadsAndWriteNothing) {
    vandrel::port_delay(vandrel::kShortWait);
    EXPECT_EQ(recorder().trace(), "r1");
    recorder().clear();
    vandrel::port_delay(vandrel::kLongWait);
    EXPECT_EQ(recorder().trace(), "r2");

    ASSERT_EQ(set_delay(3), 1);
    recorder().clear();
    vandrel::port_delay(vandrel::kLongWait);
    EXPECT_EQ(recorder().trace(), "r18");

    ASSERT_EQ(set_delay(255), 1);
    recorder().clear();
    recorder().keep_events = false;
    vandrel::port_delay(vandrel::kShortWait);
    EXPECT_EQ(recorder().reads, 65025u);
    vandrel::port_delay(vandrel::kLongWait);
    EXPECT_EQ(recorder().reads, 65025u + 130050u);
    EXPECT_EQ(recorder().writes, 0u);
}

TEST_F(BoardLinesTest, SendByteShiftsOutMostSignificantBitFirst) {
    vandrel::send_byte(0xA5);
    EXPECT_EQ(recorder().trace(),
              "r1 C9 r2 CB r1 C9 r1 C8 r2 CA r1 C8 r1 C9 r2 CB r1 C9 r1 C8 r2 CA r1 C8 "
              "r1 C8 r2 CA r1 C8 r1 C9 r2 CB r1 C9 r1 C8 r2 CA r1 C8 r1 C9 r2 CB r1 C9");
    EXPECT_EQ(vandrel::state().line_image, 0xC8);
}

TEST_F(BoardLinesTest, SendByteOfAllZerosOrAllOnesUsesTwoValues) {
    std::string zeros;
    std::string ones;
    for (int cell = 0; cell < 8; ++cell) {
        zeros += cell == 0 ? "" : " ";
        ones += cell == 0 ? "" : " ";
        zeros += "r1 C8 r2 CA r1 C8";
        ones += "r1 C9 r2 CB r1 C9";
    }
    vandrel::send_byte(0x00);
    EXPECT_EQ(recorder().trace(), zeros);
    recorder().clear();
    vandrel::send_byte(0xFF);
    EXPECT_EQ(recorder().trace(), ones);
    // The data line stays high after 0xFF: nothing follows the last cell.
    EXPECT_EQ(recorder().events.back().value, 0xC9u);
}

TEST_F(BoardLinesTest, SendByteHoldsTheBoardWhateverTheLineImage) {
    vandrel::state().line_image = 0x48;
    vandrel::send_byte(0x80);
    EXPECT_EQ(recorder().events[1].value, 0xC9u);
    EXPECT_EQ(vandrel::state().line_image, 0xC8);
}

// Script of status values for one receive_byte at d = 1: each cell reads a wait, the
// sample, then three more waits; a last wait ends the byte. The wait reads carry the
// opposite level, so sampling the wrong read shows in the result.
std::vector<std::uint8_t> receive_script(const std::vector<bool>& bits) {
    std::vector<std::uint8_t> script;
    for (bool bit : bits) {
        const std::uint8_t sample = bit ? 0x40 : 0xBF;
        const std::uint8_t other = bit ? 0xBF : 0x40;
        script.insert(script.end(), {other, sample, other, other, other});
    }
    script.push_back(0x40);
    return script;
}

TEST_F(BoardLinesTest, ReceiveByteSamplesOnlyTheDataInputBit) {
    const auto script = receive_script({true, false, true, false, false, true, false, true});
    std::size_t next = 0;
    recorder().status_source = [&] { return script.at(next++); };
    vandrel::state().line_image = 0x8C;

    EXPECT_EQ(vandrel::receive_byte(), 0xA5);
    EXPECT_EQ(next, script.size());

    std::string expected;
    for (int cell = 0; cell < 8; ++cell) {
        expected += "r2 88 r2 8A r1 88 ";
    }
    expected += "r1";
    EXPECT_EQ(recorder().trace(), expected);
    EXPECT_EQ(vandrel::state().line_image, 0x88);
}

TEST_F(BoardLinesTest, ReceiveByteKeepsStrobesAndRaisesReset) {
    recorder().status_source = [] { return std::uint8_t{0xFF}; };
    EXPECT_EQ(vandrel::receive_byte(), 0xFF);
    // From 0xC0 the reset line comes up and both strobes stay inactive.
    EXPECT_EQ(recorder().events[2].value, 0xC8u);
    EXPECT_EQ(recorder().events[5].value, 0xCAu);

    recorder().clear();
    recorder().status_source = [] { return std::uint8_t{0x00}; };
    vandrel::state().line_image = 0xFF;
    EXPECT_EQ(vandrel::receive_byte(), 0x00);
    EXPECT_EQ(recorder().events[2].value, 0xC8u);
    EXPECT_EQ(recorder().writes, 24u);
    EXPECT_EQ(recorder().reads, 8u * 5u + 1u);
}

TEST_F(BoardLinesTest, LatchPulseRaisesOneStrobeAndDropsTheDataLine) {
    vandrel::send_byte(0xFF);
    recorder().clear();
    vandrel::latch_pulse(vandrel::kLowAddressStrobe);
    EXPECT_EQ(recorder().trace(), "r2 D8 r1 C8");
    recorder().clear();
    vandrel::latch_pulse(vandrel::kHighAddressStrobe);
    EXPECT_EQ(recorder().trace(), "r2 E8 r1 C8");
    EXPECT_EQ(vandrel::state().line_image, 0xC8);
}

TEST_F(BoardLinesTest, ResetPulseHoldsTheResetLineForOneSecond) {
    vandrel::state().line_image = 0x88;
    reset();
    EXPECT_EQ(recorder().trace(), "C8 s100 s100 s100 s100 s100 s100 s100 s100 s100 s100 C0");
    EXPECT_EQ(recorder().reads, 0u);
    EXPECT_EQ(vandrel::state().line_image, 0xC0);
}

TEST_F(BoardLinesTest, EveryAccessUsesTheDataAndStatusRegistersOfThePortInForce) {
    const struct {
        std::uint8_t index;
        std::uint16_t base;
    } ports[] = {{0, 0x278}, {1, 0x378}, {2, 0x3BC}};
    for (const auto& port : ports) {
        SCOPED_TRACE(port.base);
        recorder().clear();
        ASSERT_EQ(set_Port(port.index), port.base);
        put_image({0x12, 0x34});
        ASSERT_EQ(write_ram(), 2);
        ASSERT_EQ(read_ram(3), 3);
        reset();
        EXPECT_EQ(recorder().write_ports, std::set<std::uint16_t>{port.base});
        EXPECT_EQ(recorder().read_ports, std::set<std::uint16_t>{std::uint16_t(port.base + 1)});
    }
}

// The reset pulse and a transfer's opening pause pass in the board's own time
// where the port-access layer keeps it (the simulated board), asked of the
// port in force; a real port declines, and the library sleeps them in full.
struct PauseCase {
    bool board_keeps_time;
    std::uint8_t port_index;
    void (*operation)();
    std::string trace_start;
    std::uint32_t slept_ms;
};

class PauseTest : public LibraryTest, public ::testing::WithParamInterface<PauseCase> {};

TEST_P(PauseTest, PassesInTheBoardsTimeOrIsSleptInFull) {
    ASSERT_NE(set_Port(GetParam().port_index), 0);
    put_image({0x12});
    recorder().clear();
    recorder().board_keeps_time = GetParam().board_keeps_time;
    GetParam().operation();
    EXPECT_EQ(recorder().trace().substr(0, GetParam().trace_start.size()), GetParam().trace_start);
    EXPECT_EQ(recorder().slept_ms, GetParam().slept_ms);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, PauseTest,
    ::testing::Values(PauseCase{true, 1, reset,
                                "C8 p100@378 p100@378 p100@378 p100@378 p100@378 p100@378 "
                                "p100@378 p100@378 p100@378 p100@378 C0",
                                0},
                      PauseCase{true, 0, +[] { read_ram(1); }, "C8 p500@278 r1 C8", 0},
                      PauseCase{true, 2, +[] { write_ram(); }, "C8 p500@3BC r1 C8", 0},
                      PauseCase{false, 1, reset, "C8 s100 s100", 1000},
                      PauseCase{false, 0, +[] { read_ram(1); }, "C8 s500 r1", 500}),
    quillon_test::name_from([](const PauseCase& c) {
        return std::string(c.board_keeps_time ? "board_time" : "real_time") + " port " +
               std::to_string(c.port_index) + " sleeps " + std::to_string(c.slept_ms);
    }));

}  // namespace
}  // namespace vandrel_test
