// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The help's layout for every command of the table: headings with something
// under them, the options' texts in one column, lines a terminal shows whole.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "command.h"

namespace qcli {
namespace {

// Checks the layout; returns the option lines ("  -x, --name V  text").
std::vector<std::string> option_lines(const std::string& help) {
    std::istringstream in(help);
    std::vector<std::string> options;
    std::set<std::size_t> columns;  // where the options' texts and their continuations start
    bool listing = false;
    std::string heading;
    for (std::string line; std::getline(in, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_TRUE(heading.empty() || !line.empty()) << "nothing under " << heading;
        heading = !line.empty() && line.back() == ':' && line.front() != ' ' ? line : "";
        listing = line.starts_with("Options") || (listing && line.starts_with(" "));
        if (listing && line.starts_with("  -")) {
            options.push_back(line);
            columns.insert(line.find_first_not_of(' ', line.find("  ", 2)));
        } else if (listing && line.starts_with(" ")) {
            columns.insert(line.find_first_not_of(' '));
        }
    }
    EXPECT_EQ(columns.size(), 1u) << help;
    return options;
}

class CommandHelp : public ::testing::TestWithParam<Command> {};

TEST_P(CommandHelp, HeadingsHoldLinesAndTheOptionsAlign) {
    const Command& command = GetParam();
    std::ostringstream out;
    print_command_help(out, command);
    std::size_t taken = 0;
    for (const OptionSpec& option : option_table()) {
        taken += (command.options | kGlobalOptions).contains(option.id) ? 1 : 0;
    }
    // Its own help labels no option with commands ("run, debug: ..."): they are its own.
    for (const std::string& line : option_lines(out.str())) {
        const std::string text = line.substr(line.find_first_not_of(' ', line.find("  ", 2)));
        const std::string word = text.substr(0, text.find_first_of(":, "));
        EXPECT_TRUE(find_command(word) == nullptr || text[word.size()] == ' ') << line;
    }
    EXPECT_EQ(option_lines(out.str()).size(), taken);
    EXPECT_EQ(out.str().find("\nOptions:\n") != std::string::npos, !command.options.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandHelp, ::testing::ValuesIn(commands()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WholeHelp, LabelsAnOptionWithTheFewCommandsThatTakeIt) {
    std::ostringstream out;
    print_usage(out);
    const std::string help = out.str();
    EXPECT_EQ(option_lines(help.substr(help.find("\nOptions:\n"))).size(), option_table().size());
    const std::size_t column = help.find("0, 1, 2") - help.find("  --port P");
    for (const auto& [names, text] :
         {std::pair{"--for S", "run, debug: wall-clock"}, std::pair{"--dap", "debug: speak"},
          std::pair{"--no-verify", "upload: without"}, std::pair{"--format F", "raw or ihex"}}) {
        std::string line = "\n  " + std::string(names);
        line.resize(column + 1, ' ');
        EXPECT_NE(help.find(line + text), std::string::npos) << line << text << "\n" << help;
    }
}

// A row that names its commands itself would show them twice in the whole help.
TEST(OptionTable, RowsNameNoCommand) {
    for (const OptionSpec& option : option_table()) {
        for (const Command& command : commands()) {
            EXPECT_FALSE(option.help.starts_with(std::string(command.name) + ":") ||
                         option.help.starts_with(std::string(command.name) + ","))
                << option.help;
        }
    }
}

struct HelpCase {
    std::vector<std::string> args;
    std::vector<std::string> shown;  // whose help is printed, in order; none on an error
};

class HelpCommand : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpCommand, PrintsEachNamedCommandsHelpInTurn) {
    std::ostringstream out, err, expected;
    const int code = run_cli(GetParam().args, out, err);
    for (const std::string& name : GetParam().shown) {
        expected << (expected.tellp() > 0 ? "\n" : "");
        print_command_help(expected, *find_command(name));
    }
    EXPECT_EQ(out.str(), expected.str());
    EXPECT_EQ(code, GetParam().shown.empty() ? kExitUsage : kExitOk) << err.str();
}

INSTANTIATE_TEST_SUITE_P(Arguments, HelpCommand,
                         ::testing::Values(HelpCase{{"help", "help", "run"}, {"help", "run"}},
                                           HelpCase{{"help", "reset", "info"}, {"reset", "info"}},
                                           HelpCase{{"help", "run", "flash"}, {}},
                                           HelpCase{{"debug", "--help"}, {"debug"}}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace qcli
