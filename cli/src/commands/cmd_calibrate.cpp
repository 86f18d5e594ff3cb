// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// calibrate: find the smallest delay at which the board takes a test pattern
// and gives it back intact, so that transfers need not run at a guessed one.
// Scripts run it unattended: it warns instead of asking before it overwrites
// the start of the board's RAM.
#include <vandrel.h>

#include <chrono>
#include <string>

#include "profile/config_folder.h"
#include "profile/settings.h"

#include "calibrate.h"
#include "command.h"
#include "no_answer.h"
#include "temp_file.h"

namespace qcli {
namespace {

// An empty port reads one level at every delay; a slow board reads wrong
// bytes too until its delay is reached. Both budgets keep an empty port's
// search short while a board that needs a few delays more is still found.
constexpr unsigned kNoAnswerDelays = 8;
constexpr std::chrono::seconds kNoAnswerTime{10};

// Sends the pattern at this delay and reads it back. On a refusal, nothing
// comes back and `error` says why.
RoundResult board_round(Context& ctx, TempFile& file, std::uint8_t delay,
                        std::span<const std::uint8_t> pattern, std::string& error) {
    const auto size = static_cast<std::uint16_t>(pattern.size());
    set_delay(delay);
    if (!file.write(pattern)) {
        error = file.error();
        return std::nullopt;
    }
    if (read_file(file.path().c_str()) != size || write_ram() != size || read_ram(size) != size) {
        error = get_LastError();
        return std::nullopt;
    }
    if (ctx.check_port() != kExitOk) {
        return std::nullopt;  // told, with exit status 4
    }
    return compare_images(pattern, std::span<const std::uint8_t>(getBuffer(), get_bufsize()));
}

}  // namespace

int run_calibrate(Context& ctx) {
    const std::size_t size = ctx.options.calibrate_size;
    const unsigned rounds = ctx.options.calibrate_rounds;
    // Each round's transfers would draw progress lines; the per-delay lines say enough.
    setCallback(nullptr);
    TempFile file;
    if (!file.ok()) {
        return ctx.fail(file.error());
    }
    if (!ctx.options.quiet) {
        ctx.err << kProgramName << ": calibrate overwrites the first " << size
                << " bytes of the board's RAM and leaves the board held in reset\n";
    }
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const Calibration result = find_delay(
        size, rounds,
        [&](std::uint8_t delay, unsigned, std::span<const std::uint8_t> pattern) {
            return board_round(ctx, file, delay, pattern, error);
        },
        [&](const DelayVerdict& verdict) { ctx.info() << verdict_text(verdict) << '\n'; },
        [&](std::uint8_t delay) {
            return delay >= kNoAnswerDelays ||
                   std::chrono::steady_clock::now() - start >= kNoAnswerTime;
        });

    switch (result.outcome) {
        case Calibration::Outcome::refused:
            return ctx.port_failure_told ? kExitNoBoard : ctx.fail(error);
        case Calibration::Outcome::none:
            ctx.err << kProgramName << ": no delay up to " << kMaxDelay << " brings " << size
                    << " bytes back intact; no board answers\n";
            return kExitNoBoard;
        case Calibration::Outcome::no_answer:
            return ctx.fail(
                no_answer_text(result.level, " at delays 1 to " + std::to_string(result.delay) +
                                                 " and " + std::to_string(kLookDelay)),
                kExitNoBoard);
        case Calibration::Outcome::found:
            break;
    }
    ctx.out << "delay " << unsigned{result.delay} << '\n';
    const auto settings_file = quillon::profile::settings_path();
    if (ctx.options.save && !quillon::profile::save_delay(settings_file, result.delay)) {
        return ctx.fail("delay " + std::to_string(result.delay) + " was not saved in " +
                        settings_file.string());
    }
    return kExitOk;
}

}  // namespace qcli
