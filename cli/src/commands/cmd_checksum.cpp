// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// checksum FILE: size and image checksum in the program's own words.
#include <vandrel.h>

#include "command.h"
#include "image_file.h"
#include "status_text.h"

namespace qcli {

int run_checksum(Context& ctx) {
    if (const int rc = load_image(ctx, ctx.options.args[0]); rc != kExitOk) {
        return rc;
    }
    ctx.out << loaded_text(get_bufsize(), get_chsum()) << '\n';
    return kExitOk;
}

}  // namespace qcli
