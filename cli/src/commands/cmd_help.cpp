// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// help [COMMAND...]: the whole help, or each command's own in turn, as --help gives them.
#include "cli.h"
#include "command.h"

#include <vector>

namespace qcli {

int run_help(Context& ctx) {
    if (ctx.options.args.empty()) {
        print_usage(ctx.out);
        return kExitOk;
    }
    // Every name is checked before any help is printed: a wrong one prints nothing.
    std::vector<const Command*> named;
    for (const std::string& name : ctx.options.args) {
        named.push_back(find_command(name));
        if (named.back() == nullptr) {
            return usage_error(ctx.err, "unknown command '" + name + "'");
        }
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        ctx.out << (i == 0 ? "" : "\n");
        print_command_help(ctx.out, *named[i]);
    }
    return kExitOk;
}

}  // namespace qcli
