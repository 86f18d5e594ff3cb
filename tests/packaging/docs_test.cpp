// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The manual pages, the desktop entry and the metainfo: that they are well
// formed, and that the manual keeps up with what the programs know; and that
// the guide to the code names files that are there.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_surface.h"
#include "quillon_test/param_name.h"
#include "shell.h"

namespace quillon::packaging {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = QUILLON_SOURCE_DIR;
const fs::path kManBuild = QUILLON_MAN_BUILD_DIR;

std::string manual_source(const std::string& page) {
    return read_text(kSource / "docs" / "man" / (page + ".scd"));
}

class ManualPage : public ::testing::TestWithParam<const char*> {};

TEST_P(ManualPage, RendersWithoutRoffWarnings) {
    const fs::path page = kManBuild / (std::string(GetParam()) + ".gz");
    ASSERT_TRUE(fs::exists(page)) << page;
    const ShellResult warnings =
        run_shell("gzip -dc " + quoted(page) + " | groff -k -man -Tutf8 -ww -z");
    EXPECT_EQ(warnings.exit_code, 0);
    EXPECT_EQ(warnings.output, "");
    const ShellResult text =
        run_shell("gzip -dc " + quoted(page) + " | groff -k -man -Tutf8 -P-cbou");
    EXPECT_NE(text.output.find("NAME"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("SEE ALSO"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Installed, ManualPage,
                         ::testing::Values("quillon.1", "quillon-cli.1", "libvandrel.3"),
                         quillon_test::name_from([](const char* page) { return page; }));

TEST(CliManual, NamesEveryCommandAndOptionTheProgramKnows) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_TRUE(cli.commands.contains("upload") && cli.commands.contains("info"))
        << "commands not found in quillon-cli --help";
    ASSERT_TRUE(cli.options.contains("--port"));
    const std::string manual = manual_source("quillon-cli.1");
    for (const auto& [command, options] : cli.command_options) {
        // "*upload* _FILE_ [*--no-verify*] ...": the entry's first line names its options.
        const auto entry = manual.find("\n*" + command + "*");
        ASSERT_NE(entry, std::string::npos) << "command " << command << " has no entry";
        const std::string line = manual.substr(entry + 1, manual.find('\n', entry + 1) - entry);
        for (const std::string& option : options) {
            EXPECT_NE(line.find("*" + option + "*"), std::string::npos)
                << "the entry of " << command << " does not name " << option << ": " << line;
        }
        // Its text, up to the next entry, shows the example of the command's own help.
        const auto next = manual.find("\n*", manual.find('\n', entry + 1));
        std::string text = manual.substr(entry, next - entry);
        std::erase(text, '*');
        ASSERT_TRUE(cli.command_examples.contains(command)) << command << " --help has no example";
        EXPECT_NE(text.find("Example: " + cli.command_examples.at(command)), std::string::npos)
            << "the entry of " << command << " does not show its example "
            << cli.command_examples.at(command);
    }
    // Each option has an entry of its own under OPTIONS.
    const auto from = manual.find("\n# OPTIONS\n");
    ASSERT_NE(from, std::string::npos);
    const std::string options = manual.substr(from, manual.find("\n# ", from + 1) - from);
    for (const std::string& option : cli.options) {
        const std::regex entry("\n\\*(?:[^\n]*\\*)?" + option + "\\*");
        EXPECT_TRUE(std::regex_search(options, entry))
            << "option " << option << " has no entry under OPTIONS in quillon-cli(1)";
    }
}

TEST(CliManual, ExplainsEveryExitStatusTheProgramExplains) {
    const CliSurface cli = read_cli_surface(QUILLON_CLI_PATH);
    ASSERT_TRUE(cli.exit_codes.contains(0) && cli.exit_codes.contains(3))
        << "no exit status paragraph in quillon-cli --help";
    const std::string manual = manual_source("quillon-cli.1");
    const auto from = manual.find("\n# EXIT STATUS\n");
    ASSERT_NE(from, std::string::npos);
    const std::string section = manual.substr(from, manual.find("\n# ", from + 1) - from);
    for (const int code : cli.exit_codes) {
        EXPECT_NE(section.find("\n*" + std::to_string(code) + "*\n"), std::string::npos)
            << "exit status " << code << " is not in quillon-cli(1)";
    }
}

// Every DLPORTIO_ name the layer or the CLI reads from the environment.
std::set<std::string> environment_variables_in_sources() {
    static const std::regex name(R"re("(DLPORTIO_[A-Z0-9_]+)")re");
    std::set<std::string> found;
    for (const char* folder : {"dlportio/src", "cli/src"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
            const std::string text = read_text(entry.path());
            for (auto it = std::sregex_iterator(text.begin(), text.end(), name);
                 it != std::sregex_iterator(); ++it) {
                found.insert((*it)[1].str());
            }
        }
    }
    return found;
}

TEST(EnvironmentManual, EveryVariableOfThePortAccessLayerIsDescribed) {
    const std::set<std::string> variables = environment_variables_in_sources();
    ASSERT_TRUE(variables.contains("DLPORTIO_BACKEND"));
    const std::string cli = manual_source("quillon-cli.1");
    const std::string program = manual_source("quillon.1");
    for (const std::string& variable : variables) {
        EXPECT_NE(cli.find("\n*" + variable + "*\n"), std::string::npos)
            << variable << " has no entry in quillon-cli(1)";
        EXPECT_NE(program.find("*" + variable + "*"), std::string::npos)
            << variable << " is not named in quillon(1)";
    }
}

// The back ends the layer knows, as quillon-cli shows them when refusing a
// name it does not know: "(use auto, sim, ppdev or direct)".
std::vector<std::string> backend_names() {
    const ShellResult info = run_shell("DLPORTIO_BACKEND=- " + quoted(QUILLON_CLI_PATH) + " info");
    std::smatch match;
    if (!std::regex_search(info.output, match, std::regex(R"(\(use ([a-z0-9_, ]+)\))"))) {
        return {};
    }
    std::istringstream words(std::regex_replace(match[1].str(), std::regex(",| or "), " "));
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

TEST(EnvironmentManual, TheBackendEntryNamesEveryBackEnd) {
    const std::vector<std::string> names = backend_names();
    ASSERT_GE(names.size(), 4u) << "quillon-cli info lists no back ends for an unknown one";
    const std::string manual = manual_source("quillon-cli.1");
    const auto from = manual.find("\n*DLPORTIO_BACKEND*\n");
    ASSERT_NE(from, std::string::npos);
    const std::string entry = manual.substr(from, manual.find("\n*DLPORTIO_", from + 1) - from);
    for (const std::string& name : names) {
        EXPECT_NE(entry.find("*" + name + "*"), std::string::npos)
            << "the DLPORTIO_BACKEND entry of quillon-cli(1) does not name " << name;
    }
}

const fs::path kResources = kSource / "front" / "resources";
const fs::path kMetainfo = kResources / "io.github.quillon.Quillon.metainfo.xml";

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const ShellResult result =
        run_shell("desktop-file-validate " + quoted(kResources / "quillon.desktop"));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_EQ(result.output, "");
}

TEST(Metainfo, PassesAppstreamValidation) {
    const ShellResult result = run_shell("appstreamcli validate --no-net " + quoted(kMetainfo));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    // Errors and warnings fail; pedantic remarks and hints do not.
    EXPECT_FALSE(std::regex_search(result.output, std::regex("(^|\n)[EW]:"))) << result.output;
}

TEST(Metainfo, NewestReleaseIsThisVersionAndLaunchesTheDesktopEntry) {
    const std::string text = read_text(kMetainfo);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, std::regex(R"re(<release version="([^"]+)")re")));
    EXPECT_EQ(match[1].str(), QUILLON_VERSION);
    ASSERT_TRUE(std::regex_search(
        text, match, std::regex(R"(<launchable type="desktop-id">([^<]+)</launchable>)")));
    EXPECT_TRUE(fs::exists(kResources / match[1].str())) << match[1].str();
}

TEST(Metainfo, EveryScreenshotIsOneOfTheProjects) {
    const std::string text = read_text(kMetainfo);
    static const std::regex image(R"(<image>[^<]*/(docs/screenshots/[^<]+)</image>)");
    int count = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), image);
         it != std::sregex_iterator(); ++it, ++count) {
        EXPECT_TRUE(fs::exists(kSource / (*it)[1].str())) << (*it)[1].str();
    }
    EXPECT_GE(count, 1);
}

// The guide to the code follows the tree: each path it names from a top-level
// folder on is there (placeholders such as `cmd_<name>.cpp` aside).
TEST(HackingGuide, NamesOnlyFilesThatExist) {
    const std::string guide = read_text(kSource / "docs" / "HACKING.md");
    static const std::regex named(R"(`(([a-z][a-z0-9_-]*)/[A-Za-z0-9_./-]*)[`\s])");
    std::size_t checked = 0;
    for (auto it = std::sregex_iterator(guide.begin(), guide.end(), named);
         it != std::sregex_iterator(); ++it) {
        if (fs::is_directory(kSource / (*it)[2].str()) && (*it)[2] != "build") {
            EXPECT_TRUE(fs::exists(kSource / (*it)[1].str())) << (*it)[1] << " is not in the tree";
            ++checked;
        }
    }
    EXPECT_GT(checked, 40u);
}

}  // namespace
}  // namespace quillon::packaging
