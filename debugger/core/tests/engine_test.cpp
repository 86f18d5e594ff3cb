// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The engine, program and values on a fake 8051: memory in arrays, and a run
// that walks a given path of (pc, sp) until a breakpoint or a one-run stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "debug_engine.h"

namespace {

namespace fs = std::filesystem;
using debugger::Space;

class FakeTarget : public debugger::Target {
public:
    struct Step {
        unsigned pc;
        std::uint8_t sp;
    };
    std::array<std::uint8_t, 0x100> idata{};
    std::array<std::uint8_t, 0x100> sfr{};
    std::array<std::uint8_t, 0x2000> xdata{};
    std::vector<Step> path;
    std::size_t at = 0;
    std::vector<unsigned> breaks;
    debugger::TargetState now;

    bool read(Space space, unsigned address, std::span<std::uint8_t> bytes) override {
        const std::span<std::uint8_t> from = memory(space, address, bytes.size());
        std::ranges::copy(from, bytes.begin());
        return from.size() == bytes.size();
    }
    bool write(Space space, unsigned address, std::span<const std::uint8_t> bytes) override {
        const std::span<std::uint8_t> to = memory(space, address, bytes.size());
        std::ranges::copy(bytes.first(to.size()), to.begin());
        return to.size() == bytes.size();
    }
    bool set_break(unsigned address) override {
        breaks.push_back(address);
        return true;
    }
    bool clear_break(unsigned address) override {
        std::erase(breaks, address);
        return true;
    }
    bool resume(std::span<const unsigned> once) override {
        while (++at < path.size()) {
            const unsigned pc = path[at].pc;
            if (std::ranges::count(breaks, pc) != 0 || std::ranges::count(once, pc) != 0) {
                now = {debugger::TargetState::Kind::paused, pc, 0, 0, {}};
                sfr[0x81] = path[at].sp;
                return true;
            }
        }
        now = {debugger::TargetState::Kind::exited, 0, 0, 0, {}};
        return true;
    }
    void pause() override {}
    debugger::TargetState state() override { return now; }
    void wait(std::chrono::milliseconds) override {}

private:
    // The bytes asked for, or none where they lie outside the space (the
    // code space cannot be read).
    std::span<std::uint8_t> memory(Space space, unsigned address, std::size_t size) {
        std::span<std::uint8_t> all = space == Space::idata   ? std::span(idata)
                                      : space == Space::sfr   ? std::span(sfr)
                                      : space == Space::xdata ? std::span(xdata)
                                                              : std::span<std::uint8_t>();
        return address + size <= all.size() ? all.subspan(address, size) : all.first(0);
    }
};

// f (0x10 to 0x1F, lines 3 to 7) calls itself at 0x16; main (0x20 to 0x2F,
// lines 8 to 11) calls f at 0x24; f's line 4 (a static's initialiser) runs
// in the start-up code at 0x05.
constexpr const char* kCdb =
    "M:t\n"
    "F:G$f$0_0$0({2}DF,SI:S),C,0,0,0,0,0\n"
    "F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,0\n"
    "F:G$r$0_0$0({2}DF,SI:S),C,0,0,0,0,0\n"
    "F:G$isr$0_0$0({2}DF,SV:S),C,0,0,1,1,1\n"
    "S:Lt.r$p$1_0$3({2}SI:S),B,1,-4\n"
    "S:G$g_s8$0_0$0({1}SC:S),E,0,0\n"
    "S:G$g_s32$0_0$0({4}SL:S),E,0,0\n"
    "S:G$g_x$0_0$0({2}SI:U),F,0,0\n"
    "S:G$flag$0_0$0({1}SX:U),H,0,0\n"
    "S:Lt.f$n$1_0$1({2}SI:S),R,0,0,[r6,r7]\n"
    "S:Lt.f$gone$1_0$1({2}SI:S),R,0,0,[]\n"
    "S:G$g_bits$0_0$0({1}SB0$4:S),E,0,0\n"
    "S:G$g_f$0_0$0({4}SF:S),E,0,0\n"
    "S:G$g_far$0_0$0({2}SI:S),F,0,0\n"
    "L:G$g_s8$0_0$0:30\n"
    "L:G$g_s32$0_0$0:31\n"
    "L:G$g_x$0_0$0:1000\n"
    "L:G$flag$0_0$0:3\n"
    "L:G$g_bits$0_0$0:35\n"
    "L:G$g_f$0_0$0:38\n"
    "L:G$g_far$0_0$0:3000\n"
    "L:C$t.c$4$1_0$1:5\n"
    "L:G$f$0$0:10\n"
    "L:C$t.c$3$0_0$1:10\n"
    "L:C$t.c$5$1_0$1:13\n"
    "L:C$t.c$6$1_0$1:16\n"
    "L:C$t.c$7$1_0$1:1A\n"
    "L:XG$f$0$0:1C\n"
    "L:G$main$0$0:20\n"
    "L:C$t.c$8$0_0$2:20\n"
    "L:C$t.c$9$1_0$2:22\n"
    "L:C$t.c$10$1_0$2:27\n"
    "L:C$t.c$11$1_0$2:2A\n"
    "L:XG$main$0$0:2C\n"
    "L:G$r$0$0:30\n"
    "L:C$t.c$13$0_0$3:30\n"
    "L:C$t.c$14$1_0$3:35\n"
    "L:XG$r$0$0:38\n"
    "L:G$isr$0$0:40\n"
    "L:C$t.c$20$0_0$4:40\n"
    "L:C$t.c$21$1_0$4:47\n"
    "L:XG$isr$0$0:48\n";

class Engine : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::path(testing::TempDir()) / "engine_test";
        fs::create_directories(folder);
        std::ofstream(folder / "t.cdb") << kCdb;
        std::vector<std::uint8_t> code(0x50, 0);
        code[0x16] = 0x12;  // lcall f
        code[0x24] = 0x12;  // lcall f
        code[0x1D] = 0x22;  // f's ret, after its epilogue
        code[0x2E] = 0x22;
        // r, reentrant: push _bp; mov _bp,sp with _bp at 0x34.
        for (const auto& [at, byte] : {std::pair{0x30, 0xC0},
                                       {0x31, 0x34},
                                       {0x32, 0x85},
                                       {0x33, 0x81},
                                       {0x34, 0x34},
                                       {0x39, 0x22}}) {
            code[at] = static_cast<std::uint8_t>(byte);
        }
        // isr, __using(1): push acc; push psw; mov psw,#8; ...; reti.
        constexpr std::array<std::uint8_t, 7> kHandlerPrologue{0xC0, 0xE0, 0xC0, 0xD0,
                                                               0x75, 0xD0, 0x08};
        std::ranges::copy(kHandlerPrologue, code.begin() + 0x40);
        code[0x49] = 0x32;
        std::string error;
        program = debugger::Program::load(folder / "t.ihx", code, {}, error);
        ASSERT_TRUE(program) << error;
    }
    // The 8051 sits at `pc` with `sp`, a return address to main's call above it.
    void in_f(unsigned pc, std::uint8_t sp) {
        target.path.insert(target.path.begin(), {pc, sp});
        target.now = {debugger::TargetState::Kind::paused, pc, 0, 0, {}};
        target.sfr[0x81] = sp;
        target.idata[0x08] = 0x27;  // return address 0x0027 pushed at 0x08, 0x09
        target.idata[0x09] = 0x00;
    }
    std::string print(debugger::Engine& engine, const std::string& name, char format = 0) {
        const auto value = engine.values().evaluate(name, engine.frame());
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            return *wrong;
        }
        return engine.values().format(std::get<debugger::Value>(value), format);
    }

    fs::path folder;
    std::optional<debugger::Program> program;
    FakeTarget target;
};

TEST_F(Engine, ValuesAreTheBytesTheMemoryHolds) {
    in_f(0x13, 0x09);
    target.idata[0x30] = 0xFB;                             // g_s8 = -5
    target.idata[0x31] = 0x90, target.idata[0x32] = 0xEE;  // g_s32 = -70000
    target.idata[0x33] = 0xFE, target.idata[0x34] = 0xFF;  //
    target.idata[0x35] = 0x0D;                             // g_bits = -3 in 4 bits
    target.idata[0x20] = 0x08;                             // flag: bit 3 from 0x20
    target.sfr[0xD0] = 0x08;                               // bank 1, as __using(1)
    target.idata[0x0E] = 0x85, target.idata[0x0F] = 0xFF;  // n = -123 in bank 1
    debugger::Engine engine(*program, target);
    struct Case {
        const char* name;
        char format;
        const char* shown;
    };
    for (const Case& c :
         {Case{"g_s8", 0, "-5 '\\373'"}, Case{"g_s8", 'x', "0xfb"}, Case{"g_s8", 'u', "251"},
          Case{"g_s8", 't', "11111011"}, Case{"g_s32", 0, "-70000"},
          Case{"g_s32", 'o', "037777567220"}, Case{"g_bits", 0, "-3 '\\375'"},
          Case{"g_bits", 'x', "0xfd"}, Case{"flag", 0, "1"}, Case{"n", 0, "-123"},
          Case{"n", 'x', "0xff85"}, Case{"gone", 0, "<optimized out>"},
          Case{"g_far", 0, "Cannot access memory at address 0x3000"}}) {
        EXPECT_EQ(print(engine, c.name, c.format), c.shown) << c.name << " /" << c.format;
    }
    // Past f's first line its registers may hold `gone`, which SDCC does not place.
    target.path = {{0x13, 0x09}, {0x16, 0x09}};
    target.at = 0;
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(engine.add_breakpoint("6", false)));
    ASSERT_EQ(engine.go({}).pc, 0x16U);
    EXPECT_EQ(print(engine, "n"),
              "cannot read n: it is kept in r6, r7 only over lines SDCC does "
              "not record, and gone may hold them here");
}

TEST_F(Engine, FloatsHaveGdbsNineDigits) {
    in_f(0x13, 0x09);
    debugger::Engine engine(*program, target);
    for (const auto& [bits, shown] :
         {std::pair<std::uint32_t, const char*>{0x40490FDB, "3.14159274"},
          {0x3DCCCCCD, "0.100000001"},
          {0x4CEB79A3, "123456792"},
          {0xFF800000, "-inf"},
          {0x7FC00000, "nan(0x400000)"},
          {0xFFC00000, "-nan(0x400000)"}}) {
        for (unsigned i = 0; i < 4; ++i) {
            target.idata[0x38 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        }
        EXPECT_EQ(print(engine, "g_f"), shown);
    }
    EXPECT_EQ(print(engine, "g_f", 'x'), "0xffc00000");
}

TEST_F(Engine, AReentrantFunctionsParameterIsReadAndSetInItsFrame) {
    // main called r(-2): p at 0x07, the return address at 0x09, the caller's
    // frame pointer saved at 0x0B, where r's points.
    target.now = {debugger::TargetState::Kind::paused, 0x35, 0, 0, {}};
    target.sfr[0x81] = 0x0B;
    target.idata[0x34] = 0x0B;
    target.idata[0x07] = 0xFE, target.idata[0x08] = 0xFF;
    target.idata[0x09] = 0x27, target.idata[0x0A] = 0x00;
    debugger::Engine engine(*program, target);
    EXPECT_EQ(print(engine, "p"), "-2");
    ASSERT_EQ(engine.values().assign("p", "300", engine.frame()), std::nullopt);
    EXPECT_EQ(target.idata[0x07], 0x2C);
    EXPECT_EQ(target.idata[0x08], 0x01);
    // Before its prologue has run, its frame is not there to read.
    target.now.pc = 0x30;
    debugger::Engine early(*program, target);
    EXPECT_EQ(print(early, "p"), "cannot read p: its function's frame is not set up here");
}

TEST_F(Engine, AnXdataWriteIsReadBack) {
    in_f(0x13, 0x09);
    debugger::Engine engine(*program, target);
    ASSERT_EQ(engine.values().assign("g_x", "40000", engine.frame()), std::nullopt);
    EXPECT_EQ(target.xdata[0x1000], 0x40);
    EXPECT_EQ(target.xdata[0x1001], 0x9C);
    EXPECT_EQ(print(engine, "g_x"), "40000");
}

TEST_F(Engine, BreakpointsStopAfterThePrologueAndInTheirFunction) {
    debugger::Engine engine(*program, target);
    const auto at_f = engine.add_breakpoint("f", false);
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(at_f));
    EXPECT_EQ(std::get<debugger::Breakpoint>(at_f).address, 0x13U);
    // Line 4 runs in the start-up code: the breakpoint goes to f's next line.
    const auto at_static = engine.add_breakpoint("t.c:4", false);
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(at_static));
    EXPECT_EQ(std::get<debugger::Breakpoint>(at_static).address, 0x13U);
}

TEST_F(Engine, DeletedBreakpointNoLongerStopsAndNumbersStay) {
    target.path = {{0x00, 7}, {0x22, 7}, {0x13, 9}, {0x27, 7}, {0x2A, 7}};
    debugger::Engine engine(*program, target);
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(engine.add_breakpoint("f", false)));
    ASSERT_TRUE(std::holds_alternative<debugger::Breakpoint>(engine.add_breakpoint("11", false)));
    ASSERT_TRUE(engine.delete_breakpoint(1));
    const debugger::Stop stop = engine.go({});
    EXPECT_EQ(stop.reason, debugger::Stop::Reason::breakpoint);
    EXPECT_EQ(stop.breakpoint, 2);
    EXPECT_EQ(stop.pc, 0x2AU);
}

TEST_F(Engine, CallersShowTheLineOfTheirCall) {
    in_f(0x13, 0x09);
    debugger::Engine engine(*program, target);
    const auto frames = engine.backtrace();
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[1].frame.pc, 0x27U);
    EXPECT_EQ(frames[1].location.line, 9U);  // 0x27 begins line 10; the call is on 9
}

TEST_F(Engine, AnInterruptHandlerShowsWhatItInterrupted) {
    // main was at 0x22 (line 9); the handler pushed two bytes above its return address.
    target.now = {debugger::TargetState::Kind::paused, 0x47, 0, 0, {}};
    target.sfr[0x81] = 0x0D;
    target.idata[0x0A] = 0x22, target.idata[0x0B] = 0x00;
    debugger::Engine engine(*program, target);
    const auto frames = engine.backtrace();
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[1].frame.pc, 0x22U);
    EXPECT_EQ(frames[1].location.line, 9U);
}

TEST_F(Engine, NextOverARecursionStaysInItsFrame) {
    // f at line 6 calls itself: the inner call passes line 7 deeper first.
    in_f(0x16, 0x09);
    target.path.insert(target.path.end(), {{0x10, 0x0B}, {0x13, 0x0B}, {0x1A, 0x0B}, {0x1A, 0x09}});
    debugger::Engine engine(*program, target);
    const debugger::Stop stop = engine.next({});
    EXPECT_EQ(stop.pc, 0x1AU);
    EXPECT_EQ(target.sfr[0x81], 0x09);
}

TEST_F(Engine, NextStopsAtABreakpointOnTheWay) {
    in_f(0x13, 0x09);
    target.path.insert(target.path.end(), {{0x10, 0x0B}, {0x13, 0x0B}, {0x16, 0x09}});
    debugger::Engine engine(*program, target);
    ASSERT_TRUE(
        std::holds_alternative<debugger::Breakpoint>(engine.add_breakpoint("t.c:3", false)));
    const debugger::Stop stop = engine.next({});
    EXPECT_EQ(stop.reason, debugger::Stop::Reason::breakpoint);
    EXPECT_EQ(stop.pc, 0x10U);
}

TEST_F(Engine, ACdbWrittenApartFromItsImageIsToldOf) {
    struct Case {
        int image_later;  // seconds
        std::string warning;
    };
    const std::string cdb = (folder / "t.cdb").string();
    const std::string image = (folder / "t.ihx").string();
    for (const Case& c :
         {Case{1, ""}, Case{-1, ""},
          Case{-30, cdb + " was written 30 s after " + image +
                        ": the image may be left from an earlier build, and its variables may "
                        "not be where the debug information says (link again)"},
          Case{30, image + " was written 30 s after " + cdb +
                       ": the debug information may come from another build (build with sdcc "
                       "--debug again)"}}) {
        std::ofstream(folder / "t.ihx") << ":00000001FF\n";
        fs::last_write_time(folder / "t.ihx", fs::last_write_time(folder / "t.cdb") +
                                                  std::chrono::seconds(c.image_later));
        std::vector<std::uint8_t> code(0x50, 0x22);
        std::string error;
        const auto loaded = debugger::Program::load(folder / "t.ihx", code, {}, error);
        ASSERT_TRUE(loaded) << error;
        EXPECT_EQ(loaded->warning(), c.warning) << c.image_later;
    }
}

TEST_F(Engine, DebugInformationOfAnotherBuildIsRefused) {
    std::vector<std::uint8_t> code(0x40, 0);  // no return after f's end
    std::string error;
    EXPECT_FALSE(debugger::Program::load(folder / "t.ihx", code, {}, error));
    EXPECT_EQ(error, (folder / "t.cdb").string() + " does not fit " + (folder / "t.ihx").string() +
                         ": function f ends at 0x001C, where the image holds no return");
}

}  // namespace
