// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli's bash completion, run in bash with bash-completion loaded as a
// user's shell has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

#include "cli_surface.h"
#include "shell.h"

namespace quillon::packaging {
namespace {

namespace fs = std::filesystem;

// The script the build made from the program's tables.
const fs::path kCompletion = QUILLON_COMPLETION_PATH;
const fs::path kBashCompletion = "/usr/share/bash-completion/bash_completion";

// What Tab offers at the end of line, in a folder holding image.bin, other.hex and sub/.
class Completion {
public:
    Completion() {
        fs::create_directories(scratch_ / "work" / "sub");
        std::ofstream(scratch_ / "work" / "image.bin") << "x";
        std::ofstream(scratch_ / "work" / "other.hex") << ":00000001FF\n";
        std::ofstream(scratch_ / "complete.sh") << R"(
source "$1"; source "$2"; cd "$3"
COMP_LINE=$4; COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<< "$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
_quillon_cli quillon-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";
    }

    std::set<std::string> offers(const std::string& line) const {
        const ShellResult result = run_shell("bash " + quoted(scratch_ / "complete.sh") + " " +
                                             quoted(kBashCompletion) + " " + quoted(kCompletion) +
                                             " " + quoted(scratch_ / "work") + " " + quoted(line));
        EXPECT_EQ(result.exit_code, 0) << result.output;
        std::set<std::string> words;
        for (const std::string& word : lines_of(result.output)) {
            if (!word.empty()) {
                words.insert(word);
            }
        }
        return words;
    }

private:
    ScratchFolder scratch_;
};

using Words = std::set<std::string>;

struct Case {
    const char* line;
    Words expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

class CompletionCase : public ::testing::TestWithParam<Case> {};

TEST_P(CompletionCase, OffersWhatFitsThere) {
    ASSERT_TRUE(fs::exists(kBashCompletion)) << "bash-completion is not installed";
    EXPECT_EQ(Completion().offers(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CompletionCase,
    ::testing::Values(
        Case{"quillon-cli up", {"upload"}},
        Case{"quillon-cli --port 1 d", {"debug", "download", "dump"}},
        Case{"quillon-cli upload --no-", {"--no-verify", "--no-reset"}},
        Case{"quillon-cli --port ", {"0", "1", "2", "0x278", "0x378", "0x3BC"}},
        Case{"quillon-cli upload --format ", {"raw", "ihex"}}, Case{"quillon-cli --delay ", {}},
        Case{"quillon-cli linetest --h", {"--help", "--hold"}},
        Case{"quillon-cli upload ", {"image.bin", "other.hex", "sub"}},
        Case{"quillon-cli --port 0x378 verify o", {"other.hex"}}, Case{"quillon-cli download ", {}},
        Case{"quillon-cli download 100 i", {"image.bin"}}, Case{"quillon-cli dump --board ", {}},
        Case{"quillon-cli info ", {}}, Case{"quillon-cli run image.bin --read 10 o", {"other.hex"}},
        Case{"quillon-cli download --cycles=5 --format raw 1 i", {"image.bin"}},
        Case{"quillon-cli help up", {"upload"}}, Case{"quillon-cli help help r", {"reset", "run"}}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = info.param.line;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(CompletionKeepsUp, OffersEveryCommandTheProgramKnows) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_TRUE(cli.commands.contains("upload"));
    EXPECT_EQ(Completion().offers("quillon-cli "), cli.commands);
    EXPECT_EQ(Completion().offers("quillon-cli help "), cli.commands) << "help takes command names";
}

TEST(CompletionKeepsUp, OffersEachCommandTheOptionsOnItsUsageLine) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_TRUE(cli.command_options.at("upload").contains("--no-verify"));
    const Completion completion;
    for (const auto& [command, options] : cli.command_options) {
        const Words offered = completion.offers("quillon-cli " + command + " -");
        for (const std::string& option : options) {
            EXPECT_TRUE(offered.contains(option)) << command << " " << option << " is not offered";
        }
    }
}

TEST(CompletionKeepsUp, OffersFileNamesForAFileValueAndNothingElseForOtherValues) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_EQ(cli.option_values.count("--port"), 1u) << "no valued options in --help";
    const Completion completion;
    for (const auto& [option, value] : cli.option_values) {
        std::string command;  // the first command that takes it; none for a global option
        for (const auto& [name, options] : cli.command_options) {
            if (options.contains(option)) {
                command = name + " ";
                break;
            }
        }
        const Words offered = completion.offers("quillon-cli " + command + option + " ");
        EXPECT_EQ(offered.contains("image.bin"), value == "FILE")
            << "after " << command << option << " " << value;
    }
}

TEST(CompletionKeepsUp, OffersEveryOptionTheProgramKnows) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_TRUE(cli.options.contains("--port"));
    const Completion completion;
    Words offered = completion.offers("quillon-cli -");
    for (const std::string& command : cli.commands) {
        offered.merge(completion.offers("quillon-cli " + command + " -"));
    }
    for (const std::string& option : cli.options) {
        EXPECT_TRUE(offered.contains(option)) << option << " is never offered";
    }
}

}  // namespace
}  // namespace quillon::packaging
