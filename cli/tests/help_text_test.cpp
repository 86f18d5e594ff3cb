// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The help's layout, for every command of the table: headings with something
// under them, the options' texts in one column, lines a terminal shows whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "command.h"
#include "options.h"

namespace qcli {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Where the text of each option line and of its continuations starts; an
// option line is "  -x, --name V  text", a continuation all blanks up to its text.
struct Columns {
    std::vector<std::size_t> starts;
    std::size_t options = 0;
};

Columns option_columns(const std::vector<std::string>& lines) {
    Columns found;
    bool in_options = false;
    for (const std::string& line : lines) {
        if (line.starts_with("Options")) {
            in_options = true;
        } else if (line.empty() || line.front() != ' ') {
            in_options = false;
        } else if (in_options && line.starts_with("  -")) {
            ++found.options;
            found.starts.push_back(line.find_first_not_of(' ', line.find("  ", 2)));
        } else if (in_options) {
            found.starts.push_back(line.find_first_not_of(' '));
        }
    }
    return found;
}

std::size_t option_count(OptionSet set) {
    return static_cast<std::size_t>(std::ranges::count_if(
        option_table(), [set](const OptionSpec& option) { return set.contains(option.id); }));
}

void expect_laid_out(const std::string& help, std::size_t options) {
    const std::vector<std::string> lines = lines_of(help);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 79u) << lines[i];
        if (!lines[i].empty() && lines[i].back() == ':' && lines[i].front() != ' ') {
            ASSERT_LT(i + 1, lines.size()) << lines[i] << " ends the help";
            EXPECT_FALSE(lines[i + 1].empty()) << "nothing under the heading " << lines[i];
        }
    }
    const Columns columns = option_columns(lines);
    EXPECT_EQ(columns.options, options);
    ASSERT_FALSE(columns.starts.empty());
    EXPECT_TRUE(std::ranges::all_of(columns.starts, [&](std::size_t at) {
        return at == columns.starts.front();
    })) << help;
}

class CommandHelp : public ::testing::TestWithParam<Command> {};

TEST_P(CommandHelp, HeadingsHoldLinesAndTheOptionsAlign) {
    const Command& command = GetParam();
    std::ostringstream out;
    print_command_help(out, command);
    const std::string help = out.str();
    expect_laid_out(help, option_count(command.options | kGlobalOptions));
    EXPECT_EQ(help.find("\nOptions:\n") != std::string::npos, !command.options.empty()) << help;
    // Its own help names no command in front of an option: they are all its own.
    for (const Command& other : commands()) {
        EXPECT_EQ(help.find("  " + std::string(other.name) + ": "), std::string::npos) << help;
        EXPECT_EQ(help.find("  " + std::string(other.name) + ", "), std::string::npos) << help;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandHelp, ::testing::ValuesIn(commands()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WholeHelp, LabelsEachOptionWithTheCommandsThatTakeIt) {
    std::ostringstream out;
    print_usage(out);
    const std::string help = out.str();
    expect_laid_out(help.substr(help.find("\nOptions:\n")), option_table().size());
    const std::size_t column = help.find("0, 1, 2") - help.find("  --port P");
    for (const auto& [names, text] : {
             std::pair{"--for S", "run, debug: wall-clock"},
             std::pair{"--cycles N", "run, debug: stop"},
             std::pair{"--until-uart TEXT", "run: stop with exit 0"},
             std::pair{"--dap", "debug: speak"},
             std::pair{"--no-verify", "upload: without comparing"},
             std::pair{"--format F", "raw or ihex"},  // most transfers take it
         }) {
        std::string line = "\n  " + std::string(names);
        line.resize(column + 1, ' ');
        EXPECT_NE(help.find(line + text), std::string::npos) << line << text << "\n" << help;
    }
}

// A row that names its commands itself would show them twice in the whole help.
TEST(OptionTable, RowsNameNoCommand) {
    for (const OptionSpec& option : option_table()) {
        for (const Command& command : commands()) {
            const std::string name(command.name);
            EXPECT_FALSE(option.help.starts_with(name + ":") || option.help.starts_with(name + ","))
                << option.name << ": " << option.help;
        }
    }
}

struct HelpCase {
    std::vector<std::string> args;
    std::vector<std::string> shown;  // the commands whose help is printed, in order
    int exit_code;
};

class HelpCommand : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpCommand, PrintsEachNamedCommandsHelpInTurn) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(run_cli(GetParam().args, out, err), GetParam().exit_code) << err.str();
    std::ostringstream expected;
    for (const std::string& name : GetParam().shown) {
        expected << (&name == &GetParam().shown.front() ? "" : "\n");
        print_command_help(expected, *find_command(name));
    }
    EXPECT_EQ(out.str(), expected.str());
    EXPECT_EQ(err.str().empty(), GetParam().exit_code == kExitOk) << err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HelpCommand,
    ::testing::Values(
        HelpCase{{"help", "help", "run"}, {"help", "run"}, kExitOk},
        HelpCase{{"help", "reset", "info", "upload"}, {"reset", "info", "upload"}, kExitOk},
        HelpCase{{"help", "run", "flash"}, {}, kExitUsage},
        HelpCase{{"debug", "--help"}, {"debug"}, kExitOk}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace qcli
