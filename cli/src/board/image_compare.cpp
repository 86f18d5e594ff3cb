// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Where what came back from the board's RAM differs from the image meant for it.
#include "image_compare.h"

#include <vandrel.h>

#include <array>
#include <cstdio>

#include "no_answer.h"
#include "progress.h"

namespace qcli {

std::vector<Mismatch> compare_images(std::span<const std::uint8_t> expected,
                                     std::span<const std::uint8_t> read) {
    std::vector<Mismatch> out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        // A short read counts as a mismatch at each missing address.
        const std::uint8_t got =
            i < read.size() ? read[i] : static_cast<std::uint8_t>(~expected[i]);
        if (got != expected[i]) {
            out.push_back({i, expected[i], got});
        }
    }
    return out;
}

void report_mismatches(std::ostream& out, const std::vector<Mismatch>& mismatches) {
    for (std::size_t i = 0; i < mismatches.size() && i < kMismatchesShown; ++i) {
        std::array<char, 48> line{};
        std::snprintf(line.data(), line.size(), "%04zX: expected %02X, read %02X",
                      mismatches[i].address, unsigned{mismatches[i].expected},
                      unsigned{mismatches[i].read});
        out << line.data() << '\n';
    }
    if (mismatches.size() > kMismatchesShown) {
        out << "... and " << mismatches.size() - kMismatchesShown << " more\n";
    }
}

int verify_board(Context& ctx, std::span<const std::uint8_t> expected, bool just_written) {
    progress_begin("verify");
    const auto size = static_cast<std::uint16_t>(expected.size());
    if (read_ram(size) == 0) {
        return ctx.library_failure();
    }
    if (const int rc = ctx.check_port(); rc != kExitOk) {
        return rc;
    }
    const std::span<const std::uint8_t> read(getBuffer(), get_bufsize());
    const auto mismatches = compare_images(expected, read);
    if (mismatches.empty()) {
        return kExitOk;
    }
    if (just_written && nothing_answered(expected, read)) {
        return ctx.fail(no_answer_text(read[0]), kExitNoBoard);
    }
    report_mismatches(ctx.err, mismatches);
    return ctx.fail("verify failed: " + std::to_string(mismatches.size()) + " of " +
                        std::to_string(expected.size()) +
                        " bytes differ; the board is left held in reset",
                    kExitMismatch);
}

}  // namespace qcli
