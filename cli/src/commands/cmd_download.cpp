// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// download SIZE FILE: read the board's RAM from address 0 and save it.
#include <vandrel.h>

#include <span>

#include "command.h"
#include "image_file.h"
#include "no_answer.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {

int run_download(Context& ctx) {
    const auto size = parse_number(ctx.options.args[0], 1, 0x8000);
    if (!size) {
        return ctx.fail("SIZE must be a number from 1 to 32768, not '" + ctx.options.args[0] + "'",
                        kExitUsage);
    }
    ctx.image_on_stdout = ctx.options.args[1] == "-";
    progress_begin("download");
    if (read_ram(static_cast<std::uint16_t>(*size)) == 0) {
        return ctx.library_failure();
    }
    if (const int rc = ctx.check_port(); rc != kExitOk) {
        return rc;  // no file: what came back is not the board's RAM
    }
    ctx.finish_transfer();
    if (const int rc = save_image(ctx, ctx.options.args[1]); rc != kExitOk) {
        return rc;
    }
    ctx.info() << read_ram_text(get_bufsize(), get_chsum()) << '\n';
    // The RAM may really hold FF, so the download stands; but an empty port
    // reads the same, and the user should know.
    const std::span<const std::uint8_t> read(getBuffer(), get_bufsize());
    if (real_port() && one_level(read) == 0xFF) {
        ctx.err << kProgramName << ": warning: " << no_answer_text(0xFF) << '\n';
    }
    return kExitOk;
}

}  // namespace qcli
