// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Reading quillon-cli's own help for its commands and options.
#include "cli_surface.h"

#include <regex>

#include "shell.h"

namespace quillon::packaging {

std::set<std::string> long_options_in(const std::string& help) {
    static const std::regex option(R"((?:^|[\s,\[|])(--[a-z][a-z0-9-]*))");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it) {
        found.insert((*it)[1].str());
    }
    return found;
}

CliSurface read_cli_surface(const std::string& program) {
    CliSurface surface;
    const std::string help = run_shell(quoted(program) + " --help").output;
    // Commands are listed one a line with their arguments, indented by two blanks.
    static const std::regex command_line(R"(^  ([a-z][a-z0-9-]*)(\s.*)?$)");
    for (const std::string& line : lines_of(help)) {
        std::smatch match;
        if (std::regex_match(line, match, command_line)) {
            surface.commands.insert(match[1].str());
            surface.command_options[match[1].str()].merge(long_options_in(match[2].str()));
        }
    }
    surface.options = long_options_in(help);
    // "  --port P       0, 1, 2 ...", "  -q, --quiet    no progress line ..."
    static const std::regex valued(R"(^  (?:-[a-zA-Z], )?(--[a-z][a-z0-9-]*) ([A-Z]+)\b)");
    for (const std::string& line : lines_of(help)) {
        std::smatch match;
        if (std::regex_search(line, match, valued)) {
            surface.option_values[match[1].str()] = match[2].str();
        }
    }
    // "Exit status: 0 success, 1 refused by the library ..., 4 no board answers."
    if (const auto from = help.find("Exit status"); from != std::string::npos) {
        const std::string paragraph = help.substr(from, help.find("\n\n", from) - from);
        static const std::regex code(R"((?:^|[\s,:])([0-9]+) [a-z])");
        for (auto it = std::sregex_iterator(paragraph.begin(), paragraph.end(), code);
             it != std::sregex_iterator(); ++it) {
            surface.exit_codes.insert(std::stoi((*it)[1].str()));
        }
    }
    for (const std::string& command : surface.commands) {
        const std::string own = run_shell(quoted(program) + " " + command + " --help").output;
        surface.options.merge(long_options_in(own));
        // "Options:" up to "Options of every command:", then "Example:" and its line.
        const auto options = own.find("\nOptions:\n");
        const auto global = own.find("\nOptions of every command:\n");
        if (options != std::string::npos && global != std::string::npos && options < global) {
            surface.command_options[command].merge(
                long_options_in(own.substr(options, global - options)));
        }
        const auto example = own.find("\nExample:\n  ");
        if (example != std::string::npos) {
            const auto from = example + std::string_view("\nExample:\n  ").size();
            surface.command_examples[command] = own.substr(from, own.find('\n', from) - from);
        }
    }
    return surface;
}

}  // namespace quillon::packaging
