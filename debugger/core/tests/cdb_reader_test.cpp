// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The .cdb reader on a small file written by hand after SDCC's records, with
// line records in both level forms, and on records it must refuse.
#include <gtest/gtest.h>

#include <algorithm>

#include "cdb.h"
#include "values.h"

namespace {

// Old-style levels ("3") and new ones ("3_0"), a local in a register, a bit,
// a structure, an array in __xdata and a static function.
constexpr std::string_view kFile =
    "M:t\n"
    "F:Ft$twice$0_0$0({2}DF,SI:S),C,0,0,0,0,0\n"
    "F:G$main$0_0$0({2}DF,SV:S),C,0,0,0,0,1\n"
    "T:Ft$point[({0}S:S$x$0_0$0({2}SI:S),Z,0,0)({2}S:S$y$0_0$0({1}SC:U),Z,0,0)]\n"
    "S:G$total$0_0$0({2}SI:S),E,0,0\n"
    "S:Lt.main$i$1_0$7({1}SC:U),R,0,0,[r7]\n"
    "S:Lmain$j$1$7({2}SI:U),R,0,0,[r2,r3]\n"
    "S:G$flag$0_0$0({1}SB0$1:U),H,0,0\n"
    "S:G$where$0_0$0({3}STpoint:S),F,0,0\n"
    "S:G$table$0_0$0({4}DA4d,SC:U),F,0,0\n"
    "S:G$main$0_0$0({2}DF,SV:S),C,0,0\n"
    "L:G$total$0_0$0:8\n"
    "L:G$flag$0_0$0:0\n"
    "L:G$where$0_0$0:1000\n"
    "L:G$table$0_0$0:1003\n"
    "L:A$t$402:0\n"
    "L:Ft$twice$0$0:62\n"
    "L:C$t.c$12$0_0$2:62\n"
    "L:C$t.c$13$1$2:66\n"
    "L:XFt$twice$0$0:6E\n"
    "L:G$main$0$0:78\n"
    "L:C$t.c$31$3_0$9:88\n"
    "L:C$t.c$32$3$9:8A\n"
    "L:XG$main$0$0:EC\n";

TEST(CdbReader, TakesEveryRecordWithItsAddresses) {
    const cdb::Read read = cdb::read(kFile, "t.cdb");
    ASSERT_FALSE(read.error) << read.error->text();
    const cdb::DebugInfo& info = read.info;
    EXPECT_EQ(info.modules, std::vector<std::string>{"t"});

    ASSERT_EQ(info.functions.size(), 2u) << "the symbol record of main is no second function";
    const cdb::Function& twice = info.functions[0];
    EXPECT_EQ(twice.scope.kind, cdb::Scope::Kind::file);
    EXPECT_EQ(twice.scope.file, "t");
    EXPECT_EQ(twice.entry, 0x62u);
    EXPECT_EQ(twice.exit, 0x6Eu);
    EXPECT_EQ(info.functions[1].register_bank, 1);
    EXPECT_EQ(info.function_at(0x80), &info.functions[1]);
    EXPECT_EQ(info.function_at(0x70), nullptr);

    const auto symbol = [&info](std::string_view name) {
        return *std::ranges::find(info.symbols, name, &cdb::Symbol::name);
    };
    EXPECT_EQ(symbol("total").address, 0x08u);
    EXPECT_EQ(symbol("total").space, cdb::Space::data);
    EXPECT_EQ(symbol("where").address, 0x1000u);
    EXPECT_EQ(symbol("table").type.chain.front().count, 4u);
    EXPECT_FALSE(symbol("table").type.is_signed);
    const cdb::Symbol i = symbol("i");
    EXPECT_EQ(i.scope.kind, cdb::Scope::Kind::local);
    EXPECT_EQ(i.scope.file, "t");
    EXPECT_EQ(i.scope.function, "main");
    EXPECT_EQ(i.level, 1);
    EXPECT_EQ(i.block, 7);
    EXPECT_EQ(i.registers, std::vector<std::string>{"r7"});
    EXPECT_EQ(symbol("j").scope.function, "main") << "an older compiler's local scope";
    EXPECT_EQ(symbol("j").registers, (std::vector<std::string>{"r2", "r3"}));
    const cdb::Declarator bit = symbol("flag").type.chain.front();
    EXPECT_EQ(bit.kind, cdb::Declarator::Kind::bit_field);
    EXPECT_EQ(bit.width, 1u);

    const cdb::Structure* point = info.structure("point");
    ASSERT_NE(point, nullptr);
    ASSERT_EQ(point->members.size(), 2u);
    EXPECT_EQ(point->members[1].offset, 2u);
    EXPECT_EQ(point->members[1].symbol.name, "y");
    EXPECT_EQ(debugger::size_of(info, symbol("where").type.chain), 3u);

    ASSERT_EQ(info.lines.size(), 4u);
    const cdb::Line expected[] = {{"t.c", 12, 0, 2, 0x62},
                                  {"t.c", 13, 1, 2, 0x66},
                                  {"t.c", 31, 3, 9, 0x88},
                                  {"t.c", 32, 3, 9, 0x8A}};
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        EXPECT_EQ(info.lines[k].line, expected[k].line);
        EXPECT_EQ(info.lines[k].level, expected[k].level) << "line " << expected[k].line;
        EXPECT_EQ(info.lines[k].block, expected[k].block);
        EXPECT_EQ(info.lines[k].address, expected[k].address);
    }
}

struct BadRecord {
    const char* label;
    const char* record;
    const char* says;  // part of the message
};

class CdbRefusal : public testing::TestWithParam<BadRecord> {};

TEST_P(CdbRefusal, SaysWhichLineOfWhichFileIsWrong) {
    const std::string text = "M:t\nS:G$total$0_0$0({2}SI:S),E,0,0\n" +
                             std::string(GetParam().record) + "\nL:G$total$0_0$0:8\n";
    const cdb::Read read = cdb::read(text, "/fw/t.cdb");
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->text().rfind("/fw/t.cdb:3: ", 0), 0u) << read.error->text();
    EXPECT_NE(read.error->text().find(GetParam().says), std::string::npos) << read.error->text();
}

INSTANTIATE_TEST_SUITE_P(
    Records, CdbRefusal,
    testing::Values(BadRecord{"unknown_type", "S:G$x$0_0$0({2}QQ,SI:S),E,0,0", "unknown type 'QQ'"},
                    BadRecord{"no_sign", "S:G$x$0_0$0({2}SI),E,0,0", "unknown type 'SI)'"},
                    BadRecord{"bad_space", "S:G$x$0_0$0({2}SI:S),Q,0,0", "address space 'Q'"},
                    BadRecord{"bad_scope", "S:Q$x$0_0$0({2}SI:S),E,0,0", "unknown scope 'Q'"},
                    BadRecord{"bad_line", "L:C$t.c$twelve$0_0$2:62", "number expected at 'twelve'"},
                    BadRecord{"bad_address", "L:G$x$0_0$0:zz", "number expected at 'zz'"},
                    BadRecord{"unclosed_structure", "T:Ft$p[({0}S:S$x$0_0$0({2}SI:S),Z,0,0)",
                              "expected"},
                    BadRecord{"no_record",
                              ":0300000002000"
                              "6F5",
                              "no record"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CdbReader, TextWithoutAModuleIsNoDebugInformation) {
    const cdb::Read read = cdb::read("Q:something else\n", "fw.cdb");
    ASSERT_TRUE(read.error);
    EXPECT_NE(read.error->text().find("not SDCC's debug information"), std::string::npos);
}

}  // namespace
