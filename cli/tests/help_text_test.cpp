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

// Checks the layout; returns the texts of the option lines ("  -x, --name V  text").
std::vector<std::string> option_texts(const std::string& help) {
    std::istringstream in(help);
    std::vector<std::string> texts;
    std::set<std::size_t> columns;  // where the texts and their continuations start
    bool listing = false;
    std::string heading;
    for (std::string line; std::getline(in, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_TRUE(heading.empty() || !line.empty()) << "nothing under " << heading;
        heading = !line.empty() && line.back() == ':' && line.front() != ' ' ? line : "";
        listing = line.starts_with("Options") || (listing && line.starts_with(" "));
        const std::size_t text = line.find_first_not_of(' ', line.find("  ", 2));
        if (listing && line.starts_with("  -")) {
            texts.push_back(line.substr(text));
        }
        if (listing && line.starts_with(" ")) {
            columns.insert(line.starts_with("  -") ? text : line.find_first_not_of(' '));
        }
    }
    EXPECT_EQ(columns.size(), 1u) << help;
    return texts;
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
    const std::vector<std::string> texts = option_texts(out.str());
    EXPECT_EQ(texts.size(), taken);
    EXPECT_EQ(out.str().find("\nOptions:\n") != std::string::npos, !command.options.empty());
    for (const std::string& text : texts) {  // its own options need no "run, debug: "
        const std::string word = text.substr(0, text.find_first_of(":, "));
        EXPECT_TRUE(find_command(word) == nullptr || text[word.size()] == ' ') << text;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandHelp, ::testing::ValuesIn(commands()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WholeHelp, LabelsAnOptionWithTheFewCommandsThatTakeIt) {
    std::ostringstream out;
    print_usage(out);
    const std::vector<std::string> texts =
        option_texts(out.str().substr(out.str().find("\nOptions:\n")));
    ASSERT_EQ(texts.size(), option_table().size());
    EXPECT_EQ(texts[static_cast<int>(Option::for_seconds)].rfind("run, debug: wall-clock", 0), 0u);
    EXPECT_EQ(texts[static_cast<int>(Option::no_verify)].rfind("upload: without", 0), 0u);
    EXPECT_EQ(texts[static_cast<int>(Option::format)].rfind("raw or ihex", 0), 0u);
}

TEST(HelpCommand, PrintsEachNamedCommandsHelpInTurn) {
    std::ostringstream out, err, expected;
    EXPECT_EQ(run_cli({"help", "help", "run"}, out, err), kExitOk) << err.str();
    print_command_help(expected, *find_command("help"));
    expected << '\n';
    print_command_help(expected, *find_command("run"));
    EXPECT_EQ(out.str(), expected.str());
    std::ostringstream none;
    EXPECT_EQ(run_cli({"help", "run", "flash"}, none, err), kExitUsage);
    EXPECT_EQ(none.str(), "") << "an unknown name prints no help";
}

}  // namespace
}  // namespace qcli
