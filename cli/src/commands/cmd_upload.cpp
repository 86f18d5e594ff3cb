// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// upload FILE: load, send, read back and compare, then let the board run.
#include <vandrel.h>

#include <algorithm>
#include <span>
#include <vector>

#include "command.h"
#include "image_compare.h"
#include "image_file.h"
#include "no_answer.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {
namespace {

// Bytes read back without --verify: enough to tell an empty port, few enough
// to cost little next to the transfer's opening pause.
constexpr std::size_t kPresenceBytes = 16;

// --no-verify skips the comparison, not the question whether anything is
// there: a short read-back that shows one level only, where the image's
// start does not, means no board took the image.
int check_presence(Context& ctx, std::span<const std::uint8_t> sent) {
    const auto start = sent.first(std::min(sent.size(), kPresenceBytes));
    progress_begin("check");
    if (read_ram(static_cast<std::uint16_t>(start.size())) == 0) {
        return ctx.library_failure();
    }
    if (const int rc = ctx.check_port(); rc != kExitOk) {
        return rc;
    }
    const std::span<const std::uint8_t> read(getBuffer(), get_bufsize());
    if (nothing_answered(start, read)) {
        return ctx.fail(no_answer_text(read[0]), kExitNoBoard);
    }
    return kExitOk;
}

}  // namespace

int run_upload(Context& ctx) {
    if (const int rc = load_image(ctx, ctx.options.args[0]); rc != kExitOk) {
        return rc;
    }
    // The library's buffer is replaced by the read-back, so keep what was sent.
    const std::vector<std::uint8_t> sent(getBuffer(), getBuffer() + get_bufsize());
    const std::uint16_t checksum = get_chsum();

    progress_begin("upload");
    if (write_ram() == 0) {
        return ctx.library_failure();
    }
    if (const int rc = ctx.check_port(); rc != kExitOk) {
        return rc;
    }
    ctx.info() << write_ram_text(static_cast<std::uint16_t>(sent.size()), checksum) << '\n';
    if (!ctx.options.no_verify) {
        // A board that did not take the image must not be started on it.
        if (const int rc = verify_board(ctx, sent, true); rc != kExitOk) {
            return rc;
        }
        ctx.info() << "verified " << sent.size() << " bytes\n";
    } else if (const int rc = check_presence(ctx, sent); rc != kExitOk) {
        return rc;
    }
    ctx.finish_transfer();
    return kExitOk;
}

}  // namespace qcli
