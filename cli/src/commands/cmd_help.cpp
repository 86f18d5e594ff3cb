// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// help [COMMAND]: the whole help, or one command's own, as --help gives them.
#include "cli.h"
#include "command.h"

namespace qcli {

int run_help(Context& ctx) {
    if (ctx.options.args.empty()) {
        print_usage(ctx.out);
        return kExitOk;
    }
    const Command* command = find_command(ctx.options.args[0]);
    if (command == nullptr) {
        return usage_error(ctx.err, "unknown command '" + ctx.options.args[0] + "'");
    }
    print_command_help(ctx.out, *command);
    return kExitOk;
}

}  // namespace qcli
