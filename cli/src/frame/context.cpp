// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What a command reports through: failures with the program's name, confirmations.
#include <board_query.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include "command.h"

namespace qcli {

int fail(std::ostream& err, std::string_view message, int code) {
    err << kProgramName << ": " << message << '\n';
    return code;
}

std::ostream& Context::info() {
    // A stream without a buffer swallows whatever is written to it.
    static std::ostream discard(nullptr);
    if (options.quiet || (out_closed && !image_on_stdout)) {
        return discard;
    }
    return image_on_stdout ? err : out;
}

int Context::fail(std::string_view message, int code) {
    return qcli::fail(err, message, code);
}

int Context::library_failure() {
    return fail(get_LastError());
}

int Context::check_port() {
    const auto failure = board_query::failure_since(set_Port(vandrel::board::kPortQuery));
    if (!failure) {
        return kExitOk;
    }
    port_failure_told = true;
    return fail(*failure, kExitNoBoard);
}

void Context::finish_transfer() {
    if (!options.no_reset) {
        reset();
    }
}

}  // namespace qcli
