// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// verify FILE: compare the board's RAM with an image file.
#include <vandrel.h>

#include <vector>

#include "command.h"
#include "image_compare.h"
#include "image_file.h"

namespace qcli {

int run_verify(Context& ctx) {
    if (const int rc = load_image(ctx, ctx.options.args[0]); rc != kExitOk) {
        return rc;
    }
    const std::vector<std::uint8_t> expected(getBuffer(), getBuffer() + get_bufsize());
    if (const int rc = verify_board(ctx, expected); rc != kExitOk) {
        return rc;
    }
    ctx.info() << "verified " << expected.size() << " bytes\n";
    ctx.finish_transfer();
    return kExitOk;
}

}  // namespace qcli
