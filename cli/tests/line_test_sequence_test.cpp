// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The wiring check: which bytes reach the data register, in which order, and
// how long each line is held.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <vector>

#include "line_test.h"
#include "pause.h"

namespace qcli {
namespace {

struct Access {
    bool write;
    unsigned long port;
    unsigned value;
    bool operator==(const Access&) const = default;
};

std::vector<Access> accesses;
std::vector<unsigned> pauses;
unsigned char status_value = 0x7F;

void record_write(unsigned long port, unsigned char value) {
    accesses.push_back({true, port, value});
}
unsigned char record_read(unsigned long port) {
    accesses.push_back({false, port, status_value});
    return status_value;
}
unsigned written_last() {
    for (auto a = accesses.rbegin(); a != accesses.rend(); ++a) {
        if (a->write) {
            return a->value;
        }
    }
    return 0;
}
void record_pause(unsigned ms) {
    pauses.push_back(ms);
}

class LineTest : public testing::Test {
protected:
    void SetUp() override {
        accesses.clear();
        pauses.clear();
        previous_ = set_pause_function(record_pause);
    }
    void TearDown() override { set_pause_function(previous_); }

    std::string run(const LineTestSettings& settings) {
        std::ostringstream out;
        run_line_test(out, settings, PortIo{record_write, record_read});
        return out.str();
    }

    std::vector<unsigned> written() const {
        std::vector<unsigned> values;
        for (const Access& a : accesses) {
            if (a.write) {
                values.push_back(a.value);
            }
        }
        return values;
    }

private:
    PauseFunction previous_ = nullptr;
};

TEST_F(LineTest, StepsEachLineButTheWriteStrobeFromTheHeldState) {
    status_value = 0x40;
    const std::string text = run({0x278, 250, false});
    const std::vector<unsigned> expected{0xC8, 0xC9, 0xC8, 0xCA, 0xC8, 0xCC, 0xC8, 0xC0,
                                         0xC8, 0xD8, 0xC8, 0xE8, 0xC8, 0x88, 0xC8, 0xC0};
    EXPECT_EQ(written(), expected);
    for (const Access& a : accesses) {
        EXPECT_EQ(a.port, a.write ? 0x278u : 0x279u);
    }
    EXPECT_EQ(pauses, std::vector<unsigned>(7, 250));
    EXPECT_NE(text.find("pin 2  data line            high  data input reads 1"), std::string::npos)
        << text;
    EXPECT_NE(text.find("pin 5  reset line           low "), std::string::npos) << text;
    EXPECT_NE(text.find("pin 8  read strobe          low "), std::string::npos) << text;
    EXPECT_NE(text.find("pin 9  write strobe         skipped"), std::string::npos) << text;
}

TEST_F(LineTest, AllIncludesTheWriteStrobeAndStillEndsIdle) {
    status_value = 0x00;
    const std::string text = run({0x3BC, 0, true});
    const std::vector<unsigned> values = written();
    ASSERT_EQ(values.size(), 18u);
    EXPECT_EQ(values[15], 0x48u);
    EXPECT_EQ(values[16], 0xC8u);
    EXPECT_EQ(values.back(), 0xC0u);
    EXPECT_EQ(pauses.size(), 8u);
    EXPECT_NE(text.find("pin 9  write strobe         low   data input reads 0"), std::string::npos)
        << text;
}

// A port that reads its data register from the pins, some held low or high
// by a short: each such line is named, with the level it was driven to.
std::uint8_t held_low = 0;
std::uint8_t held_high = 0;
std::optional<unsigned char> pins(unsigned long) {
    return static_cast<unsigned char>((written_last() & ~held_low) | held_high);
}

class LineTestShort
    : public LineTest,
      public testing::WithParamInterface<std::tuple<int, int, std::vector<std::pair<int, bool>>>> {
};

TEST_P(LineTestShort, NamesTheLinesThatDoNotFollow) {
    std::vector<std::pair<int, bool>> named;  // pin, driven high
    std::tie(held_low, held_high, std::ignore) = GetParam();
    std::ostringstream out;
    for (const StuckLine& line :
         run_line_test(out, {0x378, 0, false}, {record_write, record_read, pins})) {
        named.emplace_back(line.pin, line.driven_high);
    }
    EXPECT_EQ(named, std::get<2>(GetParam()));
    EXPECT_EQ(
        out.str().find("high-address strobe  high  data input reads 1  but the pin reads low") !=
            std::string::npos,
        (held_low & 0x20) != 0)
        << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineTestShort,
    testing::Values(std::tuple{0x00, 0x00, std::vector<std::pair<int, bool>>{}},
                    std::tuple{0x20, 0x00, std::vector<std::pair<int, bool>>{{7, true}}},
                    std::tuple{0x08, 0x04,
                               std::vector<std::pair<int, bool>>{{4, false}, {5, true}}}));

TEST(Pause, RealPauseWaitsAtLeastTheTimeAsked) {
    const auto start = std::chrono::steady_clock::now();
    pause_ms(30);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace qcli
