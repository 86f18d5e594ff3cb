// The command line and the program's profile: where the port and delay come from.
#include <gtest/gtest.h>

#include <array>

#include "options.h"
#include "profile.h"

namespace qcli {
namespace {

ParseResult parse(std::vector<std::string> args) {
    return parse_options(args);
}

TEST(Options, TakesGlobalOptionsBeforeAndAfterTheCommand) {
    const auto r = parse({"--port", "0x3bc", "upload", "fw.ihx", "--delay=20", "-q", "--no-reset"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.port_index, 2);
    EXPECT_EQ(r.options.delay, 20);
    EXPECT_TRUE(r.options.quiet);
    EXPECT_TRUE(r.options.no_reset);
    EXPECT_EQ(r.options.given, kOptNoReset);
    EXPECT_EQ(r.options.command, "upload");
    EXPECT_EQ(r.options.args, std::vector<std::string>{"fw.ihx"});
}

TEST(Options, PortAcceptsIndexesAndTheThreeBaseAddresses) {
    EXPECT_EQ(parse_port("0"), 0);
    EXPECT_EQ(parse_port("1"), 1);
    EXPECT_EQ(parse_port("2"), 2);
    EXPECT_EQ(parse_port("0x278"), 0);
    EXPECT_EQ(parse_port("0x378"), 1);
    EXPECT_EQ(parse_port("0x3BC"), 2);
    for (const char* bad : {"3", "0x379", "378", "", "-1", "1x"}) {
        EXPECT_FALSE(parse_port(bad)) << bad;
        EXPECT_FALSE(parse({"--port", bad, "info"}).ok()) << bad;
    }
}

TEST(Options, RefusesOutOfRangeAndMalformedValues) {
    EXPECT_TRUE(parse({"--delay", "255", "info"}).ok());
    EXPECT_TRUE(parse({"--delay", "1", "info"}).ok());
    for (const char* bad : {"0", "256", "abc", "", "1.5"}) {
        EXPECT_FALSE(parse({"--delay", bad, "info"}).ok()) << bad;
    }
    EXPECT_FALSE(parse({"info", "--delay"}).ok());  // value missing
    EXPECT_FALSE(parse({"--fill", "256", "checksum", "x"}).ok());
    EXPECT_FALSE(parse({"--format", "srec", "checksum", "x"}).ok());
    EXPECT_FALSE(parse({"--hold", "-1", "linetest"}).ok());
    EXPECT_FALSE(parse({"--no-verify=1", "upload", "x"}).ok());
    EXPECT_FALSE(parse({"--frobnicate", "info"}).ok());
}

TEST(Options, ReadsFillHoldFormatAndDoubleDash) {
    const auto r = parse(
        {"--fill", "0x00", "--hold", "0.25", "--format", "raw", "dump", "--", "-odd-name.bin"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.fill, 0);
    EXPECT_DOUBLE_EQ(r.options.hold_seconds, 0.25);
    EXPECT_EQ(r.options.format, ImageFormat::raw);
    EXPECT_EQ(r.options.args, std::vector<std::string>{"-odd-name.bin"});
    EXPECT_EQ(r.options.given, kOptFill | kOptHold | kOptFormat);
}

TEST(Options, ACommandsOwnOptionsCountOnlyAfterItIsNamed) {
    static constexpr std::array<ExtraOption, 2> kRunOptions{
        {{"--cycles", true}, {"--trace", false}}};
    const ExtraOptionLookup lookup = [](std::string_view command) {
        return command == "run" ? std::span<const ExtraOption>(kRunOptions)
                                : std::span<const ExtraOption>{};
    };
    const auto r = parse_options({"run", "--cycles", "1000", "fw.ihx", "--trace"}, lookup);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.extra.at("--cycles"), "1000");
    EXPECT_EQ(r.options.extra.at("--trace"), "");
    EXPECT_EQ(r.options.args, std::vector<std::string>{"fw.ihx"});
    EXPECT_EQ(parse_options({"run", "--cycles=5"}, lookup).options.extra.at("--cycles"), "5");

    EXPECT_FALSE(parse_options({"--cycles", "1000", "run"}, lookup).ok());
    EXPECT_FALSE(parse_options({"upload", "--cycles", "1000"}, lookup).ok());
    EXPECT_FALSE(parse_options({"run", "--cycles"}, lookup).ok());
    EXPECT_FALSE(parse_options({"run", "--trace=1"}, lookup).ok());
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

TEST(Profile, DefaultsWhenFileOrKeysAreMissing) {
    const auto none = parse_profile("");
    EXPECT_EQ(none.port_index, 1);
    EXPECT_EQ(none.delay, 10);
    const auto other = parse_profile("[other]\nPort=2\nDelay=5\n");
    EXPECT_EQ(other.port_index, 1);
    EXPECT_EQ(other.delay, 10);
    const auto missing = read_profile("/nonexistent/quillon.INI");
    EXPECT_EQ(missing.port_index, 1);
    EXPECT_EQ(missing.delay, 10);
}

TEST(Profile, ReadsTheProgramsSectionAndTakesValuesModulo256) {
    const auto s = parse_profile("; saved by quillon\r\n[section]\r\nDelay=266\r\nPort=2\r\n");
    EXPECT_EQ(s.delay, 10);
    EXPECT_EQ(s.port_index, 2);
    const auto loose = parse_profile("[section]\n  Port = 7 \nDelay=0\n[later]\nDelay=3\n");
    EXPECT_EQ(loose.port_index, 7);  // the library keeps its port for an index above 2
    EXPECT_EQ(loose.delay, 0);       // and refuses 0; both are the library's to judge
    EXPECT_EQ(parse_profile("[section]\nDelay=abc\n").delay, 0);
    EXPECT_EQ(parse_profile("[section]\nDelay=12abc\n").delay, 12);
    EXPECT_EQ(parse_profile("[section]\nDelay=-1\n").delay, 255);
    EXPECT_EQ(parse_profile("[section]\nDelay=4294967306\n").delay, 10);  // wraps at 32 bits
    EXPECT_EQ(parse_profile("[Section]\nDelay=3\n").delay, 10);           // names match exactly
    EXPECT_EQ(parse_profile("[section]\nDelay=\"20\"\n").delay, 20);
}

}  // namespace
}  // namespace qcli
