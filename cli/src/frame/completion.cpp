// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The bash completion script, written out from the command and option tables.
#include "completion.h"

#include <string>
#include <string_view>

#include "command.h"
#include "options.h"

namespace qcli {
namespace {

std::string option_names(OptionSet set) {
    std::string out;
    for (const OptionSpec& option : option_table()) {
        if (set.contains(option.id)) {
            out += out.empty() ? "" : " ";
            out += option.short_name.empty() ? "" : std::string(option.short_name) + ' ';
            out += option.name;
        }
    }
    return out;
}

// The script's fixed part: what a word on the line is, whatever the tables hold.
constexpr std::string_view kWalk = R"(
    _quillon_cli_takes_value "$prev" && return
    $split && return

    # The command and how many arguments it already has.
    local i command='' nargs=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --) ;;
            --*=*) ;;
            -*) _quillon_cli_takes_value "${words[i]}" && ((i++)) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                else
                    ((nargs++))
                fi
                ;;
        esac
    done

    # Its options, which arguments name files, whether --board turns them into
    # sizes, and whether its arguments name commands.
    local options='' files=0 board=0 names=0
    case $command in
)";

constexpr std::string_view kOffer = R"(    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$global_options $options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    if ((names)); then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    ((files >> nargs & 1)) || return
    ((board)) && [[ " ${words[*]} " == *" )";

}  // namespace

void print_completion(std::ostream& out) {
    std::string valued;
    for (const OptionSpec& option : option_table()) {
        if (!option.value.empty()) {
            valued += (valued.empty() ? "" : " | ") + std::string(option.name);
        }
    }
    out << "# bash completion for " << kProgramName << "  -*- shell-script -*-\n"
        << "# Made from the program's command and option tables when it is built.\n\n"
        << "# Options that take the next word as their value.\n"
        << "_quillon_cli_takes_value()\n{\n    case $1 in\n        " << valued
        << ")\n            return 0\n            ;;\n    esac\n    return 1\n}\n\n"
        << "_quillon_cli()\n{\n    local cur prev words cword split\n"
        << "    _init_completion -s || return\n\n";
    std::string names;
    for (const Command& command : commands()) {
        names += (names.empty() ? "" : " ") + std::string(command.name);
    }
    out << "    local commands='" << names << "'\n"
        << "    local global_options='" << option_names(kGlobalOptions) << "'\n\n"
        << "    case $prev in\n";
    for (const OptionSpec& option : option_table()) {
        if (!option.choices.empty()) {
            out << "        " << option.name << ")\n            COMPREPLY=($(compgen -W '"
                << expand(option.choices)
                << "' -- \"$cur\"))\n            return\n            ;;\n";
        } else if (option.value == "FILE") {
            out << "        " << option.name << ")\n            _filedir\n            return\n"
                << "            ;;\n";
        }
    }
    out << "    esac" << kWalk;
    for (const Command& command : commands()) {
        out << "        " << command.name << ") options='" << option_names(command.options)
            << "' files=" << command.file_arguments
            << " board=" << (command.options.contains(Option::board) ? 1 : 0)
            << " names=" << (command.command_arguments ? 1 : 0) << " ;;\n";
    }
    out << kOffer << option_spec(Option::board).name << " \"* ]] && return\n"
        << "    _filedir\n} &&\n    complete -F _quillon_cli " << kProgramName
        << "\n\n# ex: filetype=sh\n";
}

}  // namespace qcli
