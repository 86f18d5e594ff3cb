// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The delay search against modelled boards: one that needs a minimum delay,
// one that never stores, one that fails now and then.
#include "calibrate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace qcli {
namespace {

// A board with RAM: an upload is stored only at delays from `needs` on, and
// the read-back is what the RAM holds.
struct ModelBoard {
    unsigned needs = 1;
    std::vector<std::uint8_t> ram;
    std::vector<std::pair<unsigned, unsigned>> calls;  // (delay, round)

    RoundResult operator()(std::uint8_t delay, unsigned round,
                           std::span<const std::uint8_t> pattern) {
        calls.emplace_back(delay, round);
        if (ram.size() < pattern.size()) {
            ram.resize(pattern.size(), 0xFF);
        }
        if (delay >= needs) {
            std::copy(pattern.begin(), pattern.end(), ram.begin());
        }
        return compare_images(pattern, std::span<const std::uint8_t>(ram).first(pattern.size()));
    }
};

struct SearchRun {
    Calibration result;
    std::vector<DelayVerdict> verdicts;
};

SearchRun run_search(std::size_t size, unsigned rounds, const RoundFunction& round,
                     const GiveUp& give_up = {}) {
    SearchRun run;
    run.result = find_delay(
        size, rounds, round, [&](const DelayVerdict& v) { run.verdicts.push_back(v); }, give_up);
    return run;
}

class SlowBoard : public testing::TestWithParam<unsigned> {};

TEST_P(SlowBoard, AnswerIsTheFirstDelayThatStores) {
    const unsigned needs = GetParam();
    ModelBoard board{needs, {}, {}};
    const SearchRun run = run_search(256, 3, std::ref(board));

    ASSERT_EQ(run.result.outcome, Calibration::Outcome::found);
    EXPECT_EQ(run.result.delay, needs);
    ASSERT_EQ(run.verdicts.size(), needs);
    for (unsigned d = 1; d < needs; ++d) {
        const DelayVerdict& v = run.verdicts[d - 1];
        EXPECT_EQ(v.delay, d);
        EXPECT_FALSE(v.intact);
        EXPECT_EQ(v.rounds, 1u) << "a damaged round ends the delay";
        EXPECT_FALSE(v.wrong.empty());
    }
    EXPECT_TRUE(run.verdicts.back().intact);
    EXPECT_EQ(run.verdicts.back().rounds, 3u);
    // One round at every failing delay, all three at the answer.
    EXPECT_EQ(board.calls.size(), needs - 1 + 3);
}

INSTANTIATE_TEST_SUITE_P(Delays, SlowBoard, testing::Values(1u, 2u, 5u, 17u),
                         testing::PrintToStringParamName());

TEST(Calibrate, RamThatAlreadyHoldsThePatternIsNotTakenForAWorkingBoard) {
    // A board that stores nothing, whose RAM happens to hold the first round's
    // pattern from an earlier run: the second round, its complement, must fail.
    ModelBoard board{1000, calibration_pattern(1, 0, 64), {}};
    const SearchRun run = run_search(64, 2, std::ref(board));
    ASSERT_FALSE(run.verdicts.empty());
    EXPECT_FALSE(run.verdicts[0].intact);
    EXPECT_EQ(run.verdicts[0].rounds, 2u);
    EXPECT_EQ(run.verdicts[0].wrong.size(), 64u);
}

TEST(Calibrate, NoDelayWorksAfterTryingAllOf255) {
    ModelBoard board{1000, {}, {}};
    const SearchRun run = run_search(16, 3, std::ref(board));
    EXPECT_EQ(run.result.outcome, Calibration::Outcome::none);
    ASSERT_EQ(run.verdicts.size(), 255u);
    EXPECT_EQ(run.verdicts.front().delay, 1);
    EXPECT_EQ(run.verdicts.back().delay, 255);
    EXPECT_TRUE(std::none_of(run.verdicts.begin(), run.verdicts.end(),
                             [](const DelayVerdict& v) { return v.intact; }));
}

TEST(Calibrate, OneBadRoundFailsTheDelay) {
    // Intact except the third round at delay 2, as a marginal board does.
    ModelBoard board{1, {}, {}};
    const auto flaky = [&](std::uint8_t delay, unsigned round,
                           std::span<const std::uint8_t> pattern) -> RoundResult {
        RoundResult result = board(delay, round, pattern);
        if (delay <= 2 && round == 2) {
            result->push_back({7, pattern[7], static_cast<std::uint8_t>(pattern[7] ^ 0x10)});
        }
        return result;
    };
    const SearchRun run = run_search(32, 3, flaky);
    ASSERT_EQ(run.result.outcome, Calibration::Outcome::found);
    EXPECT_EQ(run.result.delay, 3);
    ASSERT_EQ(run.verdicts.size(), 3u);
    EXPECT_EQ(run.verdicts[1].rounds, 3u);
    EXPECT_FALSE(run.verdicts[1].intact);
}

TEST(Calibrate, ARefusedTransferStopsTheSearchAtOnce) {
    ModelBoard board{10, {}, {}};
    const auto refusing = [&](std::uint8_t delay, unsigned round,
                              std::span<const std::uint8_t> pattern) -> RoundResult {
        if (delay == 3) {
            return std::nullopt;
        }
        return board(delay, round, pattern);
    };
    const SearchRun run = run_search(8, 2, refusing);
    EXPECT_EQ(run.result.outcome, Calibration::Outcome::refused);
    EXPECT_EQ(run.result.delay, 3);
    EXPECT_EQ(run.verdicts.size(), 2u);  // delays 1 and 2 reported, not the refused one
    EXPECT_EQ(board.calls.size(), 2u);
}

// Boards that read one level until their delay is reached, and empty ports
// that read one level at every delay: a search that gives up after delay 4.
struct OneLevelCase {
    const char* label;
    unsigned needs;  // 1000: never stores
    std::uint8_t level;
    std::size_t size;
    unsigned rounds;
    Calibration::Outcome outcome;
    unsigned delay;
    std::vector<std::pair<unsigned, unsigned>> calls;  // (delay, round)
};

class OneLevel : public testing::TestWithParam<OneLevelCase> {};

TEST_P(OneLevel, EmptyPortEndsTheSearchASlowBoardIsStillFound) {
    const OneLevelCase& c = GetParam();
    ModelBoard board{c.needs, std::vector<std::uint8_t>(c.size, c.level), {}};
    const SearchRun run =
        run_search(c.size, c.rounds, std::ref(board), [](std::uint8_t d) { return d >= 4; });
    EXPECT_EQ(run.result.outcome, c.outcome);
    EXPECT_EQ(run.result.delay, c.delay);
    if (c.outcome == Calibration::Outcome::no_answer) {
        EXPECT_EQ(run.result.level, c.level);
    }
    EXPECT_EQ(board.calls, c.calls);
}

using Calls = std::vector<std::pair<unsigned, unsigned>>;
INSTANTIATE_TEST_SUITE_P(
    Boards, OneLevel,
    testing::Values(
        OneLevelCase{"empty_port", 1000, 0xFF, 256, 3, Calibration::Outcome::no_answer, 4,
                     Calls{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {kLookDelay, 0}}},
        OneLevelCase{"input_held_low", 1000, 0x00, 16, 2, Calibration::Outcome::no_answer, 4,
                     Calls{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {kLookDelay, 0}}},
        OneLevelCase{"one_byte_empty_port", 1000, 0xFF, 1, 1, Calibration::Outcome::no_answer, 4,
                     Calls{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {kLookDelay, 0}}},
        OneLevelCase{"slow_board_within_budget", 3, 0xFF, 64, 1, Calibration::Outcome::found, 3,
                     Calls{{1, 0}, {2, 0}, {3, 0}}},
        OneLevelCase{"slower_board_seen_by_the_look", 6, 0xFF, 64, 1, Calibration::Outcome::found,
                     6, Calls{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {kLookDelay, 0}, {5, 0}, {6, 0}}},
        // One byte can't show every line at both levels: its complement is sent too.
        OneLevelCase{"one_byte_good_board", 1, 0xFF, 1, 1, Calibration::Outcome::found, 1,
                     Calls{{1, 0}, {1, 1}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CalibrationPattern, RoundsComeInComplementaryPairs) {
    for (unsigned round = 0; round < 6; round += 2) {
        const auto even = calibration_pattern(9, round, 300);
        const auto odd = calibration_pattern(9, round + 1, 300);
        ASSERT_EQ(even.size(), 300u);
        for (std::size_t i = 0; i < even.size(); ++i) {
            ASSERT_EQ(odd[i], static_cast<std::uint8_t>(~even[i]))
                << "round " << round << " byte " << i;
        }
    }
    EXPECT_NE(calibration_pattern(9, 0, 300), calibration_pattern(9, 2, 300));
    EXPECT_NE(calibration_pattern(9, 0, 300), calibration_pattern(10, 0, 300));
    EXPECT_EQ(calibration_pattern(9, 4, 300), calibration_pattern(9, 4, 300));
}

TEST(CalibrationPattern, EveryDataBitIsBothHighAndLow) {
    // A stuck or crossed line must show in a single round, whichever delay.
    for (unsigned delay = 1; delay <= 255; ++delay) {
        const auto bytes = calibration_pattern(static_cast<std::uint8_t>(delay), 0, 64);
        std::uint8_t seen_high = 0;
        std::uint8_t seen_low = 0;
        for (const std::uint8_t b : bytes) {
            seen_high |= b;
            seen_low |= static_cast<std::uint8_t>(~b);
        }
        EXPECT_EQ(seen_high, 0xFF) << "delay " << delay;
        EXPECT_EQ(seen_low, 0xFF) << "delay " << delay;
    }
}

TEST(CalibrationText, SaysWhatEachDelayDid) {
    EXPECT_EQ(verdict_text({5, 256, 3, true, {}}), "delay 5: intact in 3 rounds");
    EXPECT_EQ(verdict_text({1, 1, 1, true, {}}), "delay 1: intact in 1 round");
    EXPECT_EQ(verdict_text({4, 256, 2, false, {{0x12, 0x5A, 0xFF}, {0x13, 0x00, 0x01}}}),
              "delay 4: 2 of 256 bytes wrong in round 2 (first at 0012: sent 5A, read FF)");
}

}  // namespace
}  // namespace qcli
