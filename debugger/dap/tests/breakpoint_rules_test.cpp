// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Conditions, hit counts and log messages, on values a table gives.
#include "breakpoint_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace dap {
namespace {

const std::map<std::string, std::int64_t> kValues{{"i", 2}, {"sum", -4}};

std::variant<std::int64_t, std::string> value_of(const std::string& name) {
    if (const auto found = kValues.find(name); found != kValues.end()) {
        return found->second;
    }
    char* end = nullptr;
    const long long number = std::strtoll(name.c_str(), &end, 0);
    if (!name.empty() && *end == '\0') {
        return static_cast<std::int64_t>(number);
    }
    return "No symbol \"" + name + "\" in current context.";
}

TEST(BreakpointRules, ConditionsCompareAsCDoes) {
    const std::pair<const char*, bool> cases[] = {
        {"i == 2", true}, {"i==3", false},   {"i != 2", false},    {"i <= 2", true},
        {"i < 2", false}, {"i >= 3", false}, {"sum > -5", true},   {"i", true},
        {"0", false},     {"2 == i", true},  {"sum < 0x10", true},
    };
    for (const auto& [condition, expected] : cases) {
        const auto held = holds(condition, value_of);
        ASSERT_TRUE(std::holds_alternative<bool>(held)) << condition;
        EXPECT_EQ(std::get<bool>(held), expected) << condition;
    }
    EXPECT_EQ(std::get<std::string>(holds("j == 1", value_of)),
              "No symbol \"j\" in current context.");
}

// Which of the first six hits stop, for each hit count.
TEST(BreakpointRules, HitCountsStopAtTheHitsTheyName) {
    const std::pair<const char*, std::vector<bool>> cases[] = {
        {"3", {false, false, true, true, true, true}},
        {"== 3", {false, false, true, false, false, false}},
        {">3", {false, false, false, true, true, true}},
        {"< 3", {true, true, false, false, false, false}},
        {"<=1", {true, false, false, false, false, false}},
        {"% 2", {false, true, false, true, false, true}},
    };
    const auto show = [](const std::string&) { return std::string(); };
    for (const auto& [count, expected] : cases) {
        std::string error;
        auto rule = BreakpointRule::make("", count, "", error);
        ASSERT_TRUE(rule) << count << ": " << error;
        for (std::size_t hit = 0; hit < expected.size(); ++hit) {
            EXPECT_EQ(rule->hit(value_of, show).stop, expected[hit]) << count << " hit " << hit;
        }
    }
    for (const char* wrong : {"many", "% 0", "-1", ">= x"}) {
        std::string error;
        EXPECT_FALSE(BreakpointRule::make("", wrong, "", error)) << wrong;
        EXPECT_NE(error.find(wrong), std::string::npos) << error;
    }
}

TEST(BreakpointRules, ALogpointPrintsItsValuesAndTheRunGoesOn) {
    std::string error;
    auto rule = BreakpointRule::make("i == 2", "", "i={i}, sum={sum} {", error);
    ASSERT_TRUE(rule);
    const auto verdict = rule->hit(value_of, [](const std::string& name) {
        return std::to_string(std::get<std::int64_t>(value_of(name)));
    });
    EXPECT_FALSE(verdict.stop);
    EXPECT_EQ(verdict.log, "i=2, sum=-4 {\n");
    auto failing = BreakpointRule::make("k", "", "", error);
    const auto stopped = failing->hit(value_of, [](const std::string&) { return ""; });
    EXPECT_TRUE(stopped.stop) << "a condition that cannot be told stops, as gdb's does";
    EXPECT_NE(stopped.error.find("No symbol \"k\""), std::string::npos);
}

}  // namespace
}  // namespace dap
