// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What lets a reached breakpoint or watch pass and what stops the run: a
// watched write of the same value, a false condition, an ignore count; on a
// target whose pauses are scripted.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>

#include "debug_engine.h"

namespace {

namespace fs = std::filesystem;
using debugger::Space;

constexpr std::string_view kCdb =
    "M:t\n"
    "F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,0\n"
    "S:G$i$0_0$0({2}SI:S),E,0,0\n"
    "L:G$i$0_0$0:11\n"
    "L:G$main$0$0:1B0\n"
    "L:XG$main$0$0:1C0\n";

// Each resume runs to the next scripted pause: its writes done, at its pc.
struct Pause {
    unsigned pc;
    std::map<unsigned, std::uint8_t> writes;  // internal RAM
    std::optional<unsigned> watched;          // a watched write to this byte
};

class ScriptedTarget : public debugger::Target {
public:
    std::array<std::uint8_t, 0x100> iram{};
    std::deque<Pause> script;
    std::vector<std::pair<unsigned, debugger::Access>> watches;
    unsigned pc = 0;
    int resumes = 0;
    bool takes_watches = true;

    bool read(Space space, unsigned address, std::span<std::uint8_t> bytes) override {
        for (std::uint8_t& b : bytes) {
            b = space == Space::idata ? iram[address++ & 0xFF] : 0;
        }
        return true;
    }
    bool write(Space, unsigned address, std::span<const std::uint8_t> bytes) override {
        for (const std::uint8_t b : bytes) {
            iram[address++ & 0xFF] = b;
        }
        return true;
    }
    bool set_break(unsigned) override { return true; }
    bool clear_break(unsigned) override { return true; }
    bool resume(std::span<const unsigned>) override {
        ++resumes;
        if (script.empty()) {
            return false;
        }
        const Pause next = script.front();
        script.pop_front();
        for (const auto& [address, byte] : next.writes) {
            iram[address] = byte;
        }
        pc = next.pc;
        watched_ = next.watched;
        return true;
    }
    void pause() override {}
    debugger::TargetState state() override {
        debugger::TargetState state;
        state.pc = pc;
        return state;
    }
    void wait(std::chrono::milliseconds) override {}
    bool set_watch(Space, unsigned address, debugger::Access access) override {
        if (takes_watches) {
            watches.emplace_back(address, access);
        }
        return takes_watches;
    }
    bool clear_watch(Space, unsigned, debugger::Access) override { return true; }
    std::optional<Watched> watched() override {
        if (!watched_) {
            return std::nullopt;
        }
        return Watched{Space::idata, *watched_, debugger::Access::write};
    }

private:
    std::optional<unsigned> watched_;
};

class EngineBreakpoints : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quillon-engine-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "t.cdb") << kCdb;
        std::vector<std::uint8_t> code(0x200, 0);
        code[0x1C0] = 0x22;
        std::string error;
        program_ = debugger::Program::load(dir_ / "t.ihx", code, {}, error);
        ASSERT_TRUE(program_) << error;
        target_.iram[0x11] = 0xFD;  // i = -3
        target_.iram[0x12] = 0xFF;
        engine_.emplace(*program_, target_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    ScriptedTarget target_;
    std::optional<debugger::Program> program_;
    std::optional<debugger::Engine> engine_;
};

TEST_F(EngineBreakpoints, WatchPassesAWriteOfTheSameValueAndStopsAtAChange) {
    const auto added = engine_->add_watchpoint("i", debugger::Breakpoint::Kind::watch, {});
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(added));
    EXPECT_EQ(target_.watches.size(), 2u) << "both bytes of the int";
    target_.script = {{0x1B2, {{0x11, 0xFD}}, 0x11}, {0x1B4, {{0x11, 0x09}, {0x12, 0}}, 0x11}};
    const debugger::Stop stop = engine_->go({});
    EXPECT_EQ(stop.reason, debugger::Stop::Reason::watchpoint);
    EXPECT_EQ(stop.pc, 0x1B4u);
    EXPECT_EQ(target_.resumes, 2) << "the same value written passes";
    ASSERT_TRUE(stop.old_value && stop.new_value);
    EXPECT_EQ(engine_->values().format(*stop.old_value), "-3");
    EXPECT_EQ(engine_->values().format(*stop.new_value), "9");
}

TEST_F(EngineBreakpoints, ConditionAndIgnoreCountLetTheRunPass) {
    const auto added = engine_->add_breakpoint("*0x1b0", false);
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(added));
    debugger::Breakpoint* b = engine_->find_breakpoint(1);
    b->condition = "i == 2";
    target_.script = {{0x1B0, {{0x11, 1}, {0x12, 0}}, {}}, {0x1B0, {{0x11, 2}}, {}}};
    debugger::Stop stop = engine_->go({});
    EXPECT_EQ(stop.reason, debugger::Stop::Reason::breakpoint);
    EXPECT_EQ(target_.resumes, 2);
    EXPECT_EQ(engine_->find_breakpoint(1)->hits, 1) << "a false condition is no hit";

    engine_->find_breakpoint(1)->condition.clear();
    engine_->find_breakpoint(1)->ignore = 2;
    target_.script = {{0x1B0, {}, {}}, {0x1B0, {}, {}}, {0x1B0, {}, {}}};
    stop = engine_->go({});
    EXPECT_EQ(stop.reason, debugger::Stop::Reason::breakpoint);
    EXPECT_EQ(target_.resumes, 5);
    EXPECT_EQ(engine_->find_breakpoint(1)->hits, 4) << "ignored crossings count as hits";
    EXPECT_EQ(engine_->find_breakpoint(1)->ignore, 0);
}

TEST_F(EngineBreakpoints, WatchTheTargetCannotTakeIsRefusedAndForgotten) {
    target_.takes_watches = false;
    const auto added = engine_->add_watchpoint("i", debugger::Breakpoint::Kind::watch, {});
    ASSERT_TRUE(std::holds_alternative<std::string>(added));
    EXPECT_TRUE(engine_->breakpoints().empty());
    EXPECT_EQ(
        std::get<std::string>(engine_->add_watchpoint("5", debugger::Breakpoint::Kind::watch, {})),
        "Cannot watch constant value `5'.");
    target_.takes_watches = true;
    EXPECT_EQ(std::get<std::string>(
                  engine_->add_watchpoint("$r7", debugger::Breakpoint::Kind::watch, {})),
              "Cannot watch $r7: it is kept in register r7, whose writes the simulator's watches "
              "do not see.");
}

}  // namespace
