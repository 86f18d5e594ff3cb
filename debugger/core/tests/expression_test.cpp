// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// C expressions on a fake 8051 whose memory is laid out after a small .cdb:
// each operator, C's precedence, casts, SDCC's pointer spaces, assignment,
// and gdb's words for what is wrong.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>

#include "values.h"

namespace {

namespace fs = std::filesystem;
using debugger::Space;

// struct node { struct node *next; int v; char tag; } n1 = {&n2, 5, 'a'}, n2 = {0, 7, 'b'}
// in __xdata; p = &n1 and s = "hello" (in __code) are generic pointers;
// dp = &u a __data pointer; fp = handler; int arr[4] in __xdata.
constexpr std::string_view kCdb =
    "M:t\n"
    "T:Ft$node[({0}S:S$next$0_0$0({3}DG,STnode:S),Z,0,0)({3}S:S$v$0_0$0({2}SI:S),Z,0,0)"
    "({5}S:S$tag$0_0$0({1}SC:U),Z,0,0)]\n"
    "F:G$handler$0_0$0({2}DF,SV:S),C,0,0,0,0,0\n"
    "F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,0\n"
    "S:G$n1$0_0$0({6}STnode:S),F,0,0\n"
    "S:G$n2$0_0$0({6}STnode:S),F,0,0\n"
    "S:G$p$0_0$0({3}DG,STnode:S),E,0,0\n"
    "S:G$s$0_0$0({3}DG,SC:U),E,0,0\n"
    "S:G$arr$0_0$0({8}DA4d,SI:S),F,0,0\n"
    "S:G$f$0_0$0({4}SF:S),F,0,0\n"
    "S:G$u$0_0$0({1}SC:U),E,0,0\n"
    "S:G$i$0_0$0({2}SI:S),E,0,0\n"
    "S:G$l$0_0$0({4}SL:S),E,0,0\n"
    "S:G$fp$0_0$0({2}DC,DF,SV:S),E,0,0\n"
    "S:G$dp$0_0$0({1}DD,SC:U),E,0,0\n"
    "S:G$flag$0_0$0({1}SB0$1:U),H,0,0\n"
    "L:G$n1$0_0$0:441\n"
    "L:G$n2$0_0$0:447\n"
    "L:G$p$0_0$0:8\n"
    "L:G$s$0_0$0:B\n"
    "L:G$arr$0_0$0:500\n"
    "L:G$f$0_0$0:510\n"
    "L:G$u$0_0$0:10\n"
    "L:G$i$0_0$0:11\n"
    "L:G$l$0_0$0:13\n"
    "L:G$fp$0_0$0:18\n"
    "L:G$dp$0_0$0:1A\n"
    "L:G$flag$0_0$0:1\n"
    "L:G$handler$0$0:1A3\n"
    "L:XG$handler$0$0:1A3\n"
    "L:G$main$0$0:1B0\n"
    "L:XG$main$0$0:1C0\n";

class FakeTarget : public debugger::Target {
public:
    std::map<Space, std::array<std::uint8_t, 0x10000>> memory{
        {Space::code, {}}, {Space::xdata, {}}, {Space::idata, {}}, {Space::sfr, {}}};

    void put(Space space, unsigned address, std::initializer_list<std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            memory[space][address++] = b;
        }
    }
    bool read(Space space, unsigned address, std::span<std::uint8_t> bytes) override {
        for (std::uint8_t& b : bytes) {
            if (address > 0xFFFF) {
                return false;
            }
            b = memory[space][address++];
        }
        return true;
    }
    bool write(Space space, unsigned address, std::span<const std::uint8_t> bytes) override {
        for (const std::uint8_t b : bytes) {
            memory[space][address++] = b;
        }
        return true;
    }
    bool set_break(unsigned) override { return true; }
    bool clear_break(unsigned) override { return true; }
    bool resume(std::span<const unsigned>) override { return true; }
    void pause() override {}
    debugger::TargetState state() override { return {}; }
    void wait(std::chrono::milliseconds) override {}
};

class Expressions : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quillon-expr-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "t.cdb") << kCdb;
        std::vector<std::uint8_t> code(0x200, 0);
        code[0x1A3] = code[0x1C0] = 0x22;  // the functions' returns
        std::string error;
        program_ = debugger::Program::load(dir_ / "t.ihx", code, {}, error);
        ASSERT_TRUE(program_) << error;
        values_.emplace(*program_, target_);
        target_.put(Space::xdata, 0x441, {0x47, 0x04, 0x00, 5, 0, 'a'});  // n1
        target_.put(Space::xdata, 0x447, {0, 0, 0, 7, 0, 'b'});           // n2
        target_.put(Space::idata, 0x08, {0x41, 0x04, 0x00});              // p = &n1
        target_.put(Space::idata, 0x0B, {0x00, 0x01, 0x80});              // s in __code
        target_.put(Space::code, 0x100, {'h', 'e', 'l', 'l', 'o', 0});
        target_.put(Space::xdata, 0x500, {1, 0, 2, 0, 3, 0, 4, 0});  // arr
        target_.put(Space::xdata, 0x510, {0x00, 0x00, 0x20, 0x40});  // f = 2.5
        target_.put(Space::idata, 0x10, {200});                      // u
        target_.put(Space::idata, 0x11, {0xFD, 0xFF});               // i = -3
        target_.put(Space::idata, 0x13, {0xA0, 0x86, 0x01, 0x00});   // l = 100000
        target_.put(Space::idata, 0x18, {0xA3, 0x01});               // fp = handler
        target_.put(Space::idata, 0x1A, {0x10});                     // dp = &u
        target_.put(Space::idata, 0x20, {0x02});                     // flag = 1
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string print(const std::string& expression) {
        const auto value = values_->evaluate(expression, {});
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            return *wrong;
        }
        return values_->show(std::get<debugger::Value>(value));
    }

    fs::path dir_;
    FakeTarget target_;
    std::optional<debugger::Program> program_;
    std::optional<debugger::Values> values_;
};

struct Case {
    const char* expression;
    const char* printed;  // as gdb prints it for the 8051's sizes
};

// Each pair was checked against gdb on the same C built for the host, but
// for the sizes of int (2) and pointers (3, 2 or 1) and SDCC's unsigned char.
constexpr auto kReads = std::to_array<Case>({
    {"*p", "{next = 0x447 <n2>, v = 5, tag = 97 'a'}"},
    {"p->v", "5"},
    {"p", "(struct node *) 0x441 <n1>"},
    {"&n1", "(struct node *) 0x441 <n1>"},
    {"s", "0x100 \"hello\""},
    {"*s", "104 'h'"},
    {"s[1]", "101 'e'"},
    {"&s[1]", "0x101 \"ello\""},
    {"fp", "(void (*)(void)) 0x1a3 <handler>"},
    {"*fp", "{void (void)} 0x1a3 <handler>"},
    {"handler", "{void (void)} 0x1a3 <handler>"},
    {"main", "{void (void)} 0x1b0 <main>"},
    {"&handler", "(void (*)(void)) 0x1a3 <handler>"},
    {"&arr", "(int (*)[4]) 0x500 <arr>"},
    {"arr", "{1, 2, 3, 4}"},
    {"&arr[1]", "(int *) 0x502 <arr+2>"},
    {"arr+1", "(int *) 0x502 <arr+2>"},
    {"*(arr+2)", "3"},
    {"&arr[3] - &arr[1]", "2"},
    {"*dp", "200 '\\310'"},
    {"dp", "0x10 \"\\310\\375\\377\\240\\206\\001\""},
    {"p->next->tag", "98 'b'"},
    {"*p->next", "{next = 0x0, v = 7, tag = 98 'b'}"},
    {"n1.next->v", "7"},
    {"p.v", "5"},
    {"&p->v", "(int *) 0x444 <n1+3>"},
    {"&*p", "(struct node *) 0x441 <n1>"},
    {"*&i", "-3"},
    {"p[0].tag", "97 'a'"},
    {"p == 0", "0"},
    {"arr == &arr[0]", "1"},
    {"flag", "1"},
    {"1+2*3", "7"},
    {"(1+2)*3", "9"},
    {"2 + 3 * 4 - 10 / 5 % 3", "12"},
    {"1 | 2 ^ 3 & 4", "3"},
    {"7/2", "3"},
    {"-7/2", "-3"},
    {"-5 % 3", "-2"},
    {"1<<4", "16"},
    {"5>3", "1"},
    {"1 < 2 < 3", "1"},
    {"5==5", "1"},
    {"1 == 2 == 0", "1"},
    {"1&&0", "0"},
    {"1||0", "1"},
    {"0 && 1/0", "0"},
    {"1 || *(int *)0", "1"},
    {"3?4:5", "4"},
    {"0 ? 1 : 2 ? 3 : 4", "3"},
    {"1 ? p : 0", "(struct node *) 0x441 <n1>"},
    {"~0", "-1"},
    {"!5", "0"},
    {"3 - - 2", "5"},
    {"i, 3", "3"},
    {"u + 1", "201"},
    {"-u", "-200"},
    {"32767 + 1", "-32768"},
    {"32768", "32768"},
    {"0xffff", "65535"},
    {"2147483647 + 1", "-2147483648"},
    {"4000000000", "4000000000"},
    {"-1U", "65535"},
    {"(unsigned long)-1", "4294967295"},
    {"010", "8"},
    {"0x10", "16"},
    {"0b101", "5"},
    {"10L", "10"},
    {"l * 2", "200000"},
    {"'A'", "65 'A'"},
    {"'\\n'", "10 '\\n'"},
    {"'\\x41'", "65 'A'"},
    {"'\\101'", "65 'A'"},
    {"'A' + 1", "66"},
    {"\"a\" \"b\"", "\"ab\""},
    {"sizeof(int)", "2"},
    {"sizeof(long)", "4"},
    {"sizeof arr", "8"},
    {"sizeof(i)", "2"},
    {"sizeof(struct node)", "6"},
    {"sizeof p", "3"},
    {"sizeof(char __xdata *)", "2"},
    {"(char)65", "65 'A'"},
    {"(unsigned char)300", "44 ','"},
    {"(signed char)200", "-56 '\\310'"},
    {"(uint8_t)i", "253 '\\375'"},
    {"(int16_t)65535", "-1"},
    {"(short)70000", "4464"},
    {"(unsigned)-1", "65535"},
    {"(long)p", "1089"},
    {"(float)i", "-3"},
    {"(int)f", "2"},
    {"(struct node *)0", "(struct node *) 0x0"},
    {"(struct node __xdata *)0x447", "(struct node *) 0x447 <n2>"},
    {"((struct node __xdata *)0x447)->v", "7"},
    {"*(char __code *)0x101", "101 'e'"},
    {"*(unsigned char __data *)0x10", "200 '\\310'"},
    {"*(char *)0x800101", "101 'e'"},
    {"*(char *)0x400010", "200 '\\310'"},
    {"f", "2.5"},
    {"f*2", "5"},
    {"1.5", "1.5"},
    {"(float)1/3", "0.333333343"},
    {"1e3", "1000"},
    {"f / 0", "inf"},
    {"f && 1", "1"},
    {"$nonexist", "void"},
});

TEST_F(Expressions, ReadAsGdbPrintsThem) {
    for (const Case& c : kReads) {
        EXPECT_EQ(print(c.expression), c.printed) << c.expression;
    }
}

constexpr auto kErrors = std::to_array<Case>({
    {"*i", "Attempt to take contents of a non-pointer value."},
    {"*f", "Attempt to take contents of a non-pointer value."},
    {"*n1", "Structure has no component named operator*."},
    {"n1 + 1", "Structure has no component named operator+."},
    {"-n1", "Structure has no component named operator-."},
    {"!n1", "Structure has no component named operator!."},
    {"n1 == n2", "Structure has no component named operator==."},
    {"&5", "Attempt to take address of value not located in memory."},
    {"&flag", "Attempt to take address of value not located in memory."},
    {"i.v", "Attempt to extract a component of a value that is not a structure."},
    {"i->v", "Attempt to extract a component of a value that is not a structure pointer."},
    {"p->zz", "There is no member named zz."},
    {"arr[1", "A syntax error in expression, near `'."},
    {"1 +", "A syntax error in expression, near `'."},
    {"1 ? 2", "A syntax error in expression, near `'."},
    {"(int)", "A syntax error in expression, near `'."},
    {"( 1", "A syntax error in expression, near `'."},
    {")", "A syntax error in expression, near `)'."},
    {"1 2", "A syntax error in expression, near `2'."},
    {"i + ) * 2", "A syntax error in expression, near `) * 2'."},
    {"nosuch", "No symbol \"nosuch\" in current context."},
    {"0 && nosuch", "No symbol \"nosuch\" in current context."},
    {"1/0", "Division by zero"},
    {"i % 0", "Division by zero"},
    {"5 = 3", "Left operand of assignment is not an lvalue."},
    {"i[2]", "cannot subscript something of type `int'"},
    {"(struct nosuch *)0", "No struct type named nosuch."},
    {"sizeof(struct nosuch)", "No struct type named nosuch."},
    {"'ab'", "Invalid character constant."},
    {"'a", "Unmatched single quote."},
    {"08", "Invalid number \"08\"."},
    {"0x", "Invalid number \"0x\"."},
    {"12abc", "Invalid number \"12abc\"."},
    {"p + p", "Argument to arithmetic operation not a number or boolean."},
    {"f % 2", "Integer-only operation on floating point number."},
    {"f << 1", "Integer-only operation on floating point number."},
    {"~f", "Argument to complement operation not an integer, boolean."},
    {"arr = 1", "Invalid cast."},
    {"n1 = 1", "Invalid cast."},
    {"(struct node)1", "Invalid cast."},
});

TEST_F(Expressions, RefusedInGdbsWords) {
    for (const Case& c : kErrors) {
        EXPECT_EQ(print(c.expression), c.printed) << c.expression;
    }
}

// Assignments print the new value and leave exactly those bytes in memory.
struct Write {
    const char* expression;
    const char* printed;
    Space space;
    unsigned address;
    std::vector<std::uint8_t> bytes;
};

TEST_F(Expressions, AssignmentWritesTheTypesBytes) {
    const std::vector<Write> writes = {
        {"i = 5", "5", Space::idata, 0x11, {5, 0}},
        {"i = 1.9", "1", Space::idata, 0x11, {1, 0}},
        {"u = 300", "44 ','", Space::idata, 0x10, {44}},
        {"f = 1.25", "1.25", Space::xdata, 0x510, {0x00, 0x00, 0xA0, 0x3F}},
        {"f = 7", "7", Space::xdata, 0x510, {0x00, 0x00, 0xE0, 0x40}},
        {"l = -2", "-2", Space::idata, 0x13, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"p->v = 0x1234", "4660", Space::xdata, 0x444, {0x34, 0x12}},
        {"arr[2] += 40", "43", Space::xdata, 0x504, {43, 0}},
        {"i++", "-3", Space::idata, 0x11, {0xFE, 0xFF}},
        {"--i", "-4", Space::idata, 0x11, {0xFC, 0xFF}},
        {"flag = 0", "0", Space::idata, 0x20, {0x00}},
        {"p = &n2", "(struct node *) 0x447 <n2>", Space::idata, 0x08, {0x47, 0x04, 0x00}},
        {"p = (char __code *)0x100",
         "(struct node *) 0x100",
         Space::idata,
         0x08,
         {0x00, 0x01, 0x80}},
        {"dp = &i", "0x11 \"\\375\\377\\240\\206\\001\"", Space::idata, 0x1A, {0x11}},
        {"n1 = n2", "{next = 0x0, v = 7, tag = 98 'b'}", Space::xdata, 0x441, {0, 0, 0, 7, 0, 'b'}},
    };
    for (const Write& w : writes) {
        SetUp();
        EXPECT_EQ(print(w.expression), w.printed) << w.expression;
        const auto& memory = target_.memory[w.space];
        EXPECT_EQ(std::vector<std::uint8_t>(
                      memory.begin() + w.address,
                      memory.begin() + w.address + static_cast<long>(w.bytes.size())),
                  w.bytes)
            << w.expression;
    }
}

TEST_F(Expressions, AssignTakesAnExpressionForTheValue) {
    EXPECT_EQ(values_->assign("f", "1.25", {}), std::nullopt);
    EXPECT_EQ(print("f"), "1.25");
    EXPECT_EQ(values_->assign("i", "'A' + 1", {}), std::nullopt);
    EXPECT_EQ(print("i"), "66");
    EXPECT_EQ(values_->assign("arr", "1", {}), "Invalid cast.");
}

}  // namespace
