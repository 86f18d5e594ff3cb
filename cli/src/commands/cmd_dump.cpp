// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// dump FILE | dump --board SIZE: the image as hexadecimal and characters.
#include <vandrel.h>

#include "command.h"
#include "hex_dump.h"
#include "image_file.h"
#include "progress.h"

namespace qcli {

int run_dump(Context& ctx) {
    const std::string& arg = ctx.options.args[0];
    if (ctx.options.board) {
        const auto size = parse_number(arg, 1, 0x8000);
        if (!size) {
            return ctx.fail("SIZE must be a number from 1 to 32768, not '" + arg + "'", kExitUsage);
        }
        progress_begin("download");
        if (read_ram(static_cast<std::uint16_t>(*size)) == 0) {
            return ctx.library_failure();
        }
        if (const int rc = ctx.check_port(); rc != kExitOk) {
            return rc;
        }
        ctx.finish_transfer();
    } else if (const int rc = load_image(ctx, arg); rc != kExitOk) {
        return rc;
    }
    hex_dump(ctx.out, std::span<const std::uint8_t>(getBuffer(), get_bufsize()));
    return kExitOk;
}

}  // namespace qcli
