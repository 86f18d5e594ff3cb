// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Uploads and downloads, checked access by access and by the board model's RAM.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board_model.h"
#include "library_test.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

// Eight bit cells of send_byte at d = 1, with the board held.
std::string cells(std::uint8_t value) {
    std::string text;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
        const bool bit = (value & mask) != 0;
        text += mask == 0x80 ? "" : " ";
        text += bit ? "r1 C9 r2 CB r1 C9" : "r1 C8 r2 CA r1 C8";
    }
    return text;
}

const std::string kLowStrobe = "r2 D8 r1 C8";
const std::string kHighStrobe = "r2 E8 r1 C8";

std::string start_sequence() {
    return "C8 s500 " + cells(0x00) + " " + kHighStrobe + " " + cells(0x00) + " " + kLowStrobe;
}

std::string read_cycle() {
    std::string text = "88 r2 8C r2 8E r3 88 r2 8A r1 88";
    for (int cell = 1; cell < 8; ++cell) {
        text += " r2 88 r2 8A r1 88";
    }
    return text + " r1 C8 r1";
}

class TransferTest : public LibraryTest {
protected:
    std::vector<std::uint8_t> random_bytes(std::size_t count) {
        std::vector<std::uint8_t> bytes(count);
        std::generate(bytes.begin(), bytes.end(), [this] { return std::uint8_t(random_()); });
        return bytes;
    }

    std::mt19937 random_{20261207};
};

TEST_F(TransferTest, RefusedDownloadTouchesNothing) {
    put_image({1, 2, 3, 4, 5});
    for (std::uint16_t size : {0, 32769, 65535}) {
        SCOPED_TRACE(size);
        recorder().clear();
        std::snprintf(vandrel::state().last_error.data(), 400, "earlier");
        EXPECT_EQ(read_ram(size), 0);
        EXPECT_STREQ(get_LastError(), "please give a valid read-size");
        EXPECT_EQ(get_bufsize(), 5);
        EXPECT_EQ(recorder().events.size(), 0u);
    }
}

TEST_F(TransferTest, UploadOfAnEmptyBufferIsRefusedWithoutPortAccess) {
    setCallback(record_progress);
    EXPECT_EQ(write_ram(), 0);
    EXPECT_STREQ(get_LastError(), "please load into buffer at first");
    EXPECT_TRUE(recorder().events.empty());
    EXPECT_TRUE(recorder().progress.empty());
}

TEST_F(TransferTest, UploadOfTwoBytesSendsTheExactSequence) {
    put_image({0xA5, 0x3C});
    setCallback(record_progress);
    EXPECT_EQ(write_ram(), 2);

    const std::string expected = start_sequence() + " " +                //
                                 cells(0x00) + " " + kLowStrobe + " " +  // address 0
                                 cells(0xA5) + " 48 r2 C8 r1 c0/2 " +    // data
                                 cells(0x01) + " " + kLowStrobe + " " +  // address 1
                                 cells(0x3C) + " 48 r2 C8 r1 c1/2 c2/2";
    EXPECT_EQ(recorder().trace(), expected);
    EXPECT_EQ(vandrel::state().line_image, 0xC8);
    // An upload only reads the buffer.
    EXPECT_EQ(get_bufsize(), 2);
    EXPECT_EQ(getBuffer()[0], 0xA5);
    EXPECT_EQ(getBuffer()[1], 0x3C);
}

TEST_F(TransferTest, DownloadOfOneByteRunsOneReadCycle) {
    BoardModel board;
    board.ram[0] = 0x5A;
    board.attach();
    setCallback(record_progress);
    EXPECT_EQ(read_ram(1), 1);

    const std::string expected =
        start_sequence() + " " + cells(0x00) + " " + kLowStrobe + " " + read_cycle() + " c0/1 c1/1";
    EXPECT_EQ(recorder().trace(), expected);
    EXPECT_EQ(getBuffer()[0], 0x5A);
    EXPECT_EQ(get_bufsize(), 1);
}

TEST_F(TransferTest, CostsScaleWithTheSquareOfTheDelay) {
    ASSERT_EQ(set_delay(2), 1);
    put_image({0x77});
    EXPECT_EQ(write_ram(), 1);
    EXPECT_EQ(recorder().writes, 53u + 52u);
    EXPECT_EQ(recorder().reads, (70u + 70u) * 4u);

    recorder().clear();
    EXPECT_EQ(read_ram(1), 1);
    EXPECT_EQ(recorder().writes, 53u + 54u);
    EXPECT_EQ(recorder().reads, (70u + 74u) * 4u + 8u);
}

TEST_F(TransferTest, UploadReachesTheBoardRamAcrossHighAddressChanges) {
    BoardModel board;
    board.attach();
    const auto image = random_bytes(700);
    put_image(image);
    EXPECT_EQ(write_ram(), 700);

    EXPECT_TRUE(std::equal(image.begin(), image.end(), board.ram.begin()));
    EXPECT_EQ(board.ram[700], 0);
    EXPECT_EQ(board.writes_to_ram, 700u);
    EXPECT_EQ(board.high_latches, (std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_EQ(board.low_latch_count, 701u);
    EXPECT_EQ(board.strobes_without_reset, 0u);
    EXPECT_EQ(recorder().last_written, 0xC8);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), getBuffer()));
}

TEST_F(TransferTest, DownloadReplacesOnlyTheRequestedBytes) {
    BoardModel board;
    const auto ram = random_bytes(64);
    std::copy(ram.begin(), ram.end(), board.ram.begin());
    board.attach();
    put_image(std::vector<std::uint8_t>(40, 0x77));

    EXPECT_EQ(read_ram(10), 10);
    EXPECT_EQ(get_bufsize(), 10);
    EXPECT_TRUE(std::equal(ram.begin(), ram.begin() + 10, getBuffer()));
    EXPECT_EQ(getBuffer()[10], 0x77);
    EXPECT_EQ(getBuffer()[39], 0x77);
    EXPECT_EQ(board.writes_to_ram, 0u);
}

TEST_F(TransferTest, FullDownloadCoversTheWholeRamAndSendsEachHighByteOnce) {
    BoardModel board;
    const auto ram = random_bytes(0x10000);
    std::copy(ram.begin(), ram.end(), board.ram.begin());
    board.attach();
    recorder().keep_events = false;
    setCallback(record_progress);

    EXPECT_EQ(read_ram(32768), 32768);
    EXPECT_EQ(get_bufsize(), 32768);
    EXPECT_TRUE(std::equal(ram.begin(), ram.begin() + 32768, getBuffer()));

    // The start sequence's 0x00 and then 0x01 to 0x7F, each exactly once.
    std::vector<std::uint8_t> expected_high(128);
    for (std::size_t i = 0; i < expected_high.size(); ++i) {
        expected_high[i] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(board.high_latches, expected_high);
    EXPECT_EQ(board.low_latch_count, 32769u);
    EXPECT_EQ(board.strobes_without_reset, 0u);
    EXPECT_EQ(recorder().slept_ms, 500u);
    EXPECT_EQ(recorder().last_written, 0xC8);

    ASSERT_EQ(recorder().progress.size(), 20u);
    EXPECT_EQ(recorder().progress[0].first, 1638);
    EXPECT_EQ(recorder().progress[1].first, 3277);
    EXPECT_EQ(recorder().progress[18].first, 31140);
    EXPECT_EQ(recorder().progress[19].first, 32768);
    for (std::size_t k = 0; k + 1 < recorder().progress.size(); ++k) {
        EXPECT_EQ(recorder().progress[k].first, 1638 + 1639 * k);
    }
    for (const auto& call : recorder().progress) {
        EXPECT_EQ(call.second, 32768);
    }
}

TEST_F(TransferTest, ProgressOfFortyFiveBytesComesEveryThirdByte) {
    put_image(random_bytes(45));
    setCallback(record_progress);
    EXPECT_EQ(write_ram(), 45);

    std::vector<std::pair<std::uint16_t, std::uint16_t>> expected;
    for (std::uint16_t position = 2; position <= 44; position += 3) {
        expected.emplace_back(position, 45);
    }
    expected.emplace_back(45, 45);
    EXPECT_EQ(recorder().progress, expected);
    EXPECT_EQ(expected.size(), 16u);
}

TEST_F(TransferTest, WithoutCallbackTheTrafficIsTheSameAndNothingIsCalled) {
    const auto image = random_bytes(45);
    put_image(image);
    setCallback(record_progress);
    ASSERT_EQ(write_ram(), 45);
    ASSERT_EQ(read_ram(21), 21);
    const std::string with_callback = recorder().trace_without_callbacks();

    vandrel::reset_state();
    recorder().clear();
    put_image(image);
    setCallback(record_progress);
    setCallback(nullptr);
    ASSERT_EQ(write_ram(), 45);
    ASSERT_EQ(read_ram(21), 21);
    EXPECT_TRUE(recorder().progress.empty());
    EXPECT_EQ(recorder().trace(), with_callback);
}

TEST_F(TransferTest, TransferLeavesTheBoardHeldUntilReset) {
    vandrel::state().line_image = 0xC0;
    EXPECT_EQ(read_ram(3), 3);
    EXPECT_EQ(vandrel::state().line_image, 0xC8);
    EXPECT_EQ(recorder().events.front().value, 0xC8u);
    EXPECT_EQ(recorder().last_written, 0xC8);
    recorder().clear();
    reset();
    EXPECT_EQ(recorder().last_written, 0xC0);
    EXPECT_EQ(vandrel::state().line_image, 0xC0);
}

}  // namespace
}  // namespace vandrel_test
