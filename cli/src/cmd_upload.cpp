// upload FILE: load, send, read back and compare, then let the board run.
#include <vandrel.h>

#include <vector>

#include "command.h"
#include "image_compare.h"
#include "image_file.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {

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
    ctx.info() << write_ram_text(static_cast<std::uint16_t>(sent.size()), checksum) << '\n';
    if (!ctx.options.no_verify) {
        // A board that did not take the image must not be started on it.
        if (const int rc = verify_board(ctx, sent); rc != kExitOk) {
            return rc;
        }
        ctx.info() << "verified " << sent.size() << " bytes\n";
    }
    ctx.finish_transfer();
    return kExitOk;
}

}  // namespace qcli
