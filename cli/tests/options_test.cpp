// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The command line: options, their values and which command takes which.
#include <gtest/gtest.h>

#include <vandrel_board.h>

#include <cstdio>
#include <iterator>
#include <sstream>
#include <utility>

#include "cli.h"
#include "command.h"
#include "options.h"
#include "quillon_test/param_name.h"

namespace qcli {
namespace {

ParseResult parse(std::vector<std::string> args) {
    return parse_options(args);
}

std::vector<std::string_view> given_names(const Options& options) {
    std::vector<std::string_view> names;
    for (const Option option : options.given) {
        names.push_back(option_spec(option).name);
    }
    return names;
}

TEST(Options, TakesOptionsBeforeAndAfterTheCommand) {
    const auto r = parse(
        {"--port", "0x3bc", "--no-reset", "upload", "fw.ihx", "--delay=20", "-q", "--fill=0x00"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.port_index, 2);
    EXPECT_EQ(r.options.delay, 20);
    EXPECT_TRUE(r.options.quiet);
    EXPECT_TRUE(r.options.no_reset);
    EXPECT_EQ(r.options.fill, 0);
    EXPECT_EQ(given_names(r.options), (std::vector<std::string_view>{"--no-reset", "--fill"}));
    EXPECT_EQ(r.options.command, "upload");
    EXPECT_EQ(r.options.args, std::vector<std::string>{"fw.ihx"});
}

TEST(Options, PortAcceptsIndexesAndTheThreeBaseAddresses) {
    EXPECT_EQ(parse_port("0"), 0);
    EXPECT_EQ(parse_port("1"), 1);
    EXPECT_EQ(parse_port("2"), 2);
    EXPECT_EQ(parse_port("0x278"), 0);
    EXPECT_EQ(parse_port("0x378"), 1);
    EXPECT_EQ(parse_port("0X3bc"), 2);
    // 632 is 0x278 in decimal: an address is only ever written in hexadecimal.
    for (const char* bad : {"3", "0x379", "378", "632", "", "-1", "1x", "0x1"}) {
        EXPECT_FALSE(parse_port(bad)) << bad;
        EXPECT_FALSE(parse({"--port", bad, "info"}).ok()) << bad;
    }
}

TEST(Options, ReadsFillHoldFormatRunValuesAndDoubleDash) {
    const auto r = parse({"--hold", "0.25", "--format", "raw", "run", "--for", "1e1", "--read",
                          "0x8000", "--", "-odd-name.bin"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_DOUBLE_EQ(r.options.hold_seconds, 0.25);
    EXPECT_EQ(r.options.format, ImageFormat::raw);
    EXPECT_DOUBLE_EQ(r.options.run_seconds, 10.0);
    EXPECT_EQ(r.options.read_size, 0x8000);
    EXPECT_EQ(r.options.args, std::vector<std::string>{"-odd-name.bin"});
    EXPECT_EQ(given_names(r.options),
              (std::vector<std::string_view>{"--hold", "--format", "--for", "--read"}));
}

// "--port takes 0, 1, 2, 0x278, 0x378 or 0x3BC", from the board's port table:
// a port more is a row more there, and no test to change.
std::string port_refusal() {
    using vandrel::board::kPortBases;
    const std::size_t count = std::size(kPortBases);
    std::string text = "--port takes ";
    for (std::size_t i = 0; i < count; ++i) {
        text += std::to_string(i) + ", ";
    }
    for (std::size_t i = 0; i < count; ++i) {
        char address[16];
        std::snprintf(address, sizeof address, "0x%X", unsigned{kPortBases[i]});
        text += address;
        text += i + 2 < count ? ", " : i + 1 < count ? " or " : "";
    }
    return text;
}

// The messages scripts and users see for a malformed command line.
struct BadLine {
    std::vector<std::string> args;
    std::string message;
};

class BadCommandLine : public testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLine, IsRefusedWithItsMessage) {
    const auto r = parse(GetParam().args);
    EXPECT_EQ(r.error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadCommandLine,
    testing::Values(
        BadLine{{"--port", "5", "info"}, port_refusal()},
        BadLine{{"info", "--port"}, port_refusal()},
        BadLine{{"--delay", "0", "info"}, "--delay takes a number from 1 to 255"},
        BadLine{{"--delay=256", "info"}, "--delay takes a number from 1 to 255"},
        BadLine{{"--delay", "1.5", "info"}, "--delay takes a number from 1 to 255"},
        BadLine{{"--fill", "256", "checksum", "x"},
                "--fill takes a byte value from 0 to 255 (or 0x00 to 0xFF)"},
        BadLine{{"--format", "srec", "checksum", "x"}, "--format takes raw or ihex"},
        BadLine{{"--hold", "-1", "linetest"}, "--hold takes a number of seconds from 0 to 3600"},
        BadLine{{"run", "x", "--for", "3601"},
                "--for takes a number of seconds from 0 to 3600, not '3601'"},
        BadLine{{"run", "x", "--for"}, "option '--for' needs a value"},
        BadLine{{"run", "x", "--read", "0", "o"}, "--read takes a size from 1 to 32768, not '0'"},
        BadLine{{"--no-verify=1", "upload", "x"}, "option '--no-verify' takes no value"},
        BadLine{{"--quiet=yes", "info"}, "option '--quiet' takes no value"},
        BadLine{{"--frobnicate", "info"}, "unknown option '--frobnicate'"},
        BadLine{{"info", "-x=1"}, "unknown option '-x=1'"}),
    quillon_test::name_from([](const BadLine& line) { return quillon_test::joined(line.args); }));

// --for and --hold read seconds alike: decimal, fraction and exponent, nothing
// that only one of them would take.
class SecondsValue : public testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(SecondsValue, IsTakenOrRefusedByBothOptions) {
    const auto [text, good] = GetParam();
    const auto hold = parse({"linetest", "--hold", text});
    const auto run = parse({"run", "x", "--for", text});
    EXPECT_EQ(hold.ok(), good) << hold.error;
    EXPECT_EQ(run.ok(), good) << run.error;
    if (good) {
        EXPECT_EQ(hold.options.hold_seconds, run.options.run_seconds);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, SecondsValue,
    testing::Values(std::pair{"0", true}, std::pair{"0.25", true}, std::pair{"1e-3", true},
                    std::pair{"3600", true}, std::pair{"0x10", false}, std::pair{"1e-400", false},
                    std::pair{"1e400", false}, std::pair{"inf", false}, std::pair{"nan", false},
                    std::pair{"3600.5", false}, std::pair{" 1", false}, std::pair{"1s", false}),
    quillon_test::name_from([](const auto& value) {
        return std::string(value.first[0] == ' ' ? "space " : "") + value.first;
    }));

TEST(Options, UsageLinesNameTheOptionsEachCommandTakes) {
    EXPECT_EQ(usage_line(*find_command("upload")),
              "upload FILE [--format F] [--fill N] [--no-verify] [--no-reset]");
    EXPECT_EQ(usage_line(*find_command("download")),
              "download SIZE FILE [--format F] [--no-reset]");
    EXPECT_EQ(usage_line(*find_command("dump")),
              "dump FILE | dump --board SIZE [--format F] [--fill N] [--no-reset]");
    EXPECT_EQ(usage_line(*find_command("run")),
              "run FILE [--read N OUTFILE] [--format F] [--fill N] [--for S] [--cycles N] "
              "[--sim-time S] [--until-uart TEXT] [--fail-uart TEXT] [--uart-in FILE]");
    EXPECT_EQ(usage_line(*find_command("reset")), "reset");
}

// Which command takes which option is checked before anything reaches the board.
TEST(Options, AnOptionOfAnotherCommandIsAUsageError) {
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"reset", "--no-verify"}, "--no-verify does not go with reset"},
             {{"--for", "3", "upload", "x"}, "--for does not go with upload"},
             {{"download", "1", "o.bin", "--fill", "0"}, "--fill does not go with download"},
             {{"upload"},
              "usage: quillon-cli upload FILE [--format F] [--fill N] [--no-verify] "
              "[--no-reset]"},
             {{"upload", "a", "b"}, "too many arguments for upload: 'b'"},
             {{"flash"}, "unknown command 'flash'"},
             {{}, "no command given"}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(run_cli(args, out, err), kExitUsage);
        EXPECT_EQ(err.str(),
                  "quillon-cli: " + message + "\nTry 'quillon-cli --help' for more information.\n");
        EXPECT_EQ(out.str(), "");
    }
}

TEST(Options, NumbersAreDecimalOrHexWithinTheirRange) {
    EXPECT_EQ(parse_number("32768", 1, 0x8000), 32768u);
    EXPECT_EQ(parse_number("0x8000", 1, 0x8000), 32768u);
    EXPECT_FALSE(parse_number("32769", 1, 0x8000));
    EXPECT_FALSE(parse_number("0", 1, 0x8000));
    EXPECT_FALSE(parse_number("65537", 1, 0x8000));  // must not wrap to 1
    EXPECT_FALSE(parse_number("12k", 1, 0x8000));
    EXPECT_FALSE(parse_number("0x", 1, 0x8000));
}

}  // namespace
}  // namespace qcli
