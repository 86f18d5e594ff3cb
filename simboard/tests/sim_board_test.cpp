// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board's logic driven through its port, with faults.
#include "sim_board.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "quillon_test/board_driver.h"

namespace {

using sim::BoardCpu;
using sim::SimBoard;
using sim::SimFault;

struct CpuLog {
    std::vector<char> calls;  // 'r' for run, 'h' for hold
    std::uint8_t value_seen_at_run = 0;
};

class RecordingCpu final : public BoardCpu {
public:
    explicit RecordingCpu(CpuLog& log) : log_(log) {}
    void run(std::span<std::uint8_t, 0x8000> ram) override {
        log_.calls.push_back('r');
        log_.value_seen_at_run = ram[0x0010];
    }
    void hold(std::span<std::uint8_t, 0x8000> ram) override {
        log_.calls.push_back('h');
        ram[0x0020] = 0x5A;  // as a program would leave a result
    }

private:
    CpuLog& log_;
};

class SimBoardTest : public ::testing::Test {
protected:
    std::array<std::uint8_t, 0x8000> ram_{};
};

TEST_F(SimBoardTest, StoresAndReturnsBytesAtTheirAddresses) {
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.store(0x0000, 0xA5);
    drive.store(0x0001, 0x3C);
    drive.store(0x1234, 0x00);
    drive.store(0x7FFF, 0xFF);
    drive.store(0x0100, 0x81);
    EXPECT_EQ(ram_[0x0000], 0xA5);
    EXPECT_EQ(ram_[0x0001], 0x3C);
    EXPECT_EQ(ram_[0x7FFF], 0xFF);
    EXPECT_EQ(ram_[0x0100], 0x81);
    ram_[0x1234] = 0x77;
    EXPECT_EQ(drive.fetch(0x0000), 0xA5);
    EXPECT_EQ(drive.fetch(0x0001), 0x3C);
    EXPECT_EQ(drive.fetch(0x1234), 0x77);
    EXPECT_EQ(drive.fetch(0x7FFF), 0xFF);
    EXPECT_EQ(drive.fetch(0x0100), 0x81);
}

TEST_F(SimBoardTest, WriteStrobeStoresAsItGoesLow) {
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.address(0x0009);
    drive.send(0x5A);
    drive.put(0x48);
    drive.send(0xFF, 0x48);  // the shift register moves on while the strobe stays low
    drive.put(0xC8);
    EXPECT_EQ(ram_[0x0009], 0x5A);
}

TEST_F(SimBoardTest, AddressBit15IsNotWired) {
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.store(0x8003, 0x42);
    EXPECT_EQ(ram_[0x0003], 0x42);
    EXPECT_EQ(drive.fetch(0x8003), 0x42);
}

TEST_F(SimBoardTest, AddressLatchesKeepTheirBytesUntilStrobedAgain) {
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.address(0x0305);
    // Only the low byte is latched anew: the high latch still holds 0x03.
    drive.send(0x07);
    drive.latch(0x10);
    drive.send(0x99);
    drive.put(0x48);
    drive.put(0xC8);
    EXPECT_EQ(ram_[0x0307], 0x99);
}

TEST_F(SimBoardTest, StrobesAreIgnoredWhileTheResetLineIsLow) {
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.address(0x0004);
    drive.release();
    // With the reset line low the same write cycle and address strobes do nothing.
    drive.send(0x11, 0xC0);
    drive.latch(0x10, 0xC0);
    drive.send(0xEE, 0xC0);
    drive.put(0x40);
    drive.put(0xC0);
    EXPECT_EQ(ram_[0x0004], 0x00);
    EXPECT_EQ(ram_[0x0011], 0x00);
    drive.hold();
    drive.send(0x66);
    drive.put(0x48);
    drive.put(0xC8);
    EXPECT_EQ(ram_[0x0004], 0x66) << "the address latched before the release is still in force";
}

TEST_F(SimBoardTest, ReadStrobeMustBeLowForTheRamToDriveTheBus) {
    ram_[0x0000] = 0x00;
    SimBoard board(ram_, {}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.address(0x0000);
    drive.put(0xCC);  // load line high, read strobe inactive
    drive.put(0xCE);
    EXPECT_TRUE(drive.data_input()) << "an undriven bus loads high bits";
}

TEST_F(SimBoardTest, StatusShowsAnIdlePortAroundTheDataInput) {
    ram_[0x0000] = 0x80;
    ram_[0x0001] = 0x00;
    SimBoard board(ram_, {}, nullptr);
    EXPECT_EQ(board.read_status(), 0x7F) << "before any write";
    BoardDriver drive(board);
    drive.hold();
    drive.address(0x0001);
    drive.put(0x88);
    drive.put(0x8C);
    drive.put(0x8E);
    EXPECT_EQ(board.read_status(), 0x3F);
    EXPECT_EQ(drive.fetch(0x0000), 0x80);
}

TEST_F(SimBoardTest, NoBoardFaultReadsHighAndStoresNothing) {
    ram_[0x0002] = 0x12;
    SimBoard board(ram_, SimFault{SimFault::Kind::no_board, 0, 0}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.store(0x0002, 0x34);
    EXPECT_EQ(ram_[0x0002], 0x12);
    EXPECT_EQ(drive.fetch(0x0002), 0xFF);
}

TEST_F(SimBoardTest, StuckLowFaultReadsZeroButStillStores) {
    SimBoard board(ram_, SimFault{SimFault::Kind::stuck_low, 0, 0}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    drive.store(0x0002, 0xFF);
    EXPECT_EQ(ram_[0x0002], 0xFF);
    EXPECT_EQ(drive.fetch(0x0002), 0x00);
    EXPECT_EQ(board.read_status() & 0x40, 0);
}

TEST_F(SimBoardTest, FlipFaultInvertsEveryNthSampledBit) {
    SimBoard board(ram_, SimFault{SimFault::Kind::flip, 3, 0}, nullptr);
    BoardDriver drive(board);
    drive.hold();
    // Bits 3, 6, 9, 12, 15 (counted from 1, MSB first) of the two bytes come back inverted.
    EXPECT_EQ(drive.fetch(0x0000), 0b00100100);
    EXPECT_EQ(drive.fetch(0x0001), 0b10010010);
    SimBoard every_bit(ram_, SimFault{SimFault::Kind::flip, 1, 0}, nullptr);
    BoardDriver drive_all(every_bit);
    drive_all.hold();
    EXPECT_EQ(drive_all.fetch(0x0000), 0xFF);
}

TEST_F(SimBoardTest, SlowBoardTakesClockEdgesOnlyAfterEnoughStatusReads) {
    ram_[0x0123] = 0x11;
    SimBoard board(ram_, SimFault{SimFault::Kind::slow, 0, 4}, nullptr);
    BoardDriver drive(board);
    drive.wait_before_each_change(3);
    drive.hold();
    drive.store(0x0123, 0xA5);
    EXPECT_EQ(ram_[0x0123], 0x11) << "no edge came in time: neither address nor byte shifted in";
    EXPECT_NE(drive.fetch(0x0123), 0x11);

    drive.wait_before_each_change(4);
    drive.store(0x0123, 0xA5);
    EXPECT_EQ(ram_[0x0123], 0xA5);
    EXPECT_EQ(drive.fetch(0x0123), 0xA5);
}

TEST(SimFaultText, EveryKindAndItsCount) {
    using sim::parse_sim_fault;
    EXPECT_EQ(parse_sim_fault("slow=50")->kind, SimFault::Kind::slow);
    EXPECT_EQ(parse_sim_fault("slow=50")->slow_reads, 50u);
    EXPECT_EQ(parse_sim_fault("flip=7")->flip_every, 7u);
    EXPECT_EQ(parse_sim_fault("stuck-low")->kind, SimFault::Kind::stuck_low);
    EXPECT_EQ(parse_sim_fault("")->kind, SimFault::Kind::none);
    for (const char* wrong :
         {"slow", "slow=", "slow=0", "slow=-1", "slow=5x", "slow=99999999999"}) {
        EXPECT_FALSE(parse_sim_fault(wrong)) << wrong;
    }
}

TEST_F(SimBoardTest, MicrocontrollerRunsOnFallingResetAndIsHeldOnRisingReset) {
    CpuLog log;
    ram_[0x0010] = 0x99;
    {
        SimBoard board(ram_, {}, std::make_unique<RecordingCpu>(log));
        BoardDriver drive(board);
        drive.hold();  // idle level is 0xC0: this is the first rising edge
        EXPECT_EQ(log.calls, (std::vector<char>{'h'}));
        drive.store(0x0000, 0x01);
        drive.put(0xC9);  // other lines change: no call
        drive.release();
        EXPECT_EQ(log.calls, (std::vector<char>{'h', 'r'}));
        EXPECT_EQ(log.value_seen_at_run, 0x99);
        drive.hold();
        EXPECT_EQ(ram_[0x0020], 0x5A) << "hold hands the RAM back";
        drive.release();
    }
    EXPECT_EQ(log.calls, (std::vector<char>{'h', 'r', 'h', 'r', 'h'}))
        << "a board left running is held when it goes away";
}

TEST_F(SimBoardTest, MicrocontrollerNotHeldAtExitWhenBoardWasLeftHeld) {
    CpuLog log;
    {
        SimBoard board(ram_, {}, std::make_unique<RecordingCpu>(log));
        BoardDriver drive(board);
        drive.hold();
        drive.release();
        drive.hold();
    }
    EXPECT_EQ(log.calls, (std::vector<char>{'h', 'r', 'h'}));
}

}  // namespace
