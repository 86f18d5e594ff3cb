// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The delay search: test patterns, rounds at rising delays, the first intact delay.
#include "calibrate.h"

#include <array>
#include <cstdio>

#include "no_answer.h"

namespace qcli {
namespace {

// splitmix64: a fixed, well-mixed sequence, the same on every machine.
std::uint64_t mix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

std::vector<std::uint8_t> calibration_pattern(std::uint8_t delay, unsigned round,
                                              std::size_t size) {
    std::uint64_t state = (std::uint64_t{delay} << 32) | (round / 2);
    std::vector<std::uint8_t> bytes(size);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (i % 8 == 0) {
            word = mix(state);
        }
        bytes[i] = static_cast<std::uint8_t>(word >> (8 * (i % 8)));
        if (round % 2 == 1) {
            bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
        }
    }
    return bytes;
}

Calibration find_delay(std::size_t size, unsigned rounds, const RoundFunction& round,
                       const std::function<void(const DelayVerdict&)>& report,
                       const GiveUp& give_up) {
    std::optional<std::uint8_t> level;  // what every byte read back so far, while one level
    bool one_level_only = true;
    for (unsigned d = 1; d <= kMaxDelay; ++d) {
        const auto delay = static_cast<std::uint8_t>(d);
        DelayVerdict verdict{delay, size, 0, true, {}};
        std::uint8_t ones = 0x00;
        std::uint8_t zeros = 0x00;
        for (unsigned r = 0; verdict.intact && (r < rounds || (ones & zeros) != 0xFF); ++r) {
            const std::vector<std::uint8_t> pattern = calibration_pattern(delay, r, size);
            for (const std::uint8_t b : pattern) {
                ones |= b;
                zeros |= static_cast<std::uint8_t>(~b);
            }
            RoundResult result = round(delay, r, pattern);
            if (!result) {
                return {Calibration::Outcome::refused, delay, 0};
            }
            verdict.rounds = r + 1;
            std::vector<std::uint8_t> read = pattern;
            for (const Mismatch& m : *result) {
                read.at(m.address) = m.read;
            }
            const auto round_level = one_level(read);
            one_level_only = one_level_only && round_level && (!level || level == round_level);
            level = round_level;
            if (!result->empty()) {
                verdict.intact = false;
                verdict.wrong = std::move(*result);
            }
        }
        report(verdict);
        if (verdict.intact) {
            return {Calibration::Outcome::found, delay, 0};
        }
        if (one_level_only && give_up && give_up(delay)) {
            // Both levels on every line, in two bytes: cheap even at a long delay.
            const std::array<std::uint8_t, 2> look{0xA5, 0x5A};
            const RoundResult seen = round(kLookDelay, 0, look);
            if (!seen) {
                return {Calibration::Outcome::refused, kLookDelay, 0};
            }
            if (!seen->empty() && seen->size() == look.size() && seen->front().read == *level &&
                seen->back().read == *level) {
                return {Calibration::Outcome::no_answer, delay, *level};
            }
            one_level_only = false;  // something answered: search on, delay by delay
        }
    }
    return {Calibration::Outcome::none, 0, 0};
}

std::string verdict_text(const DelayVerdict& verdict) {
    std::array<char, 160> text{};
    if (verdict.intact) {
        std::snprintf(text.data(), text.size(), "delay %u: intact in %u round%s",
                      unsigned{verdict.delay}, verdict.rounds, verdict.rounds == 1 ? "" : "s");
    } else {
        const Mismatch first = verdict.wrong.empty() ? Mismatch{} : verdict.wrong.front();
        std::snprintf(text.data(), text.size(),
                      "delay %u: %zu of %zu bytes wrong in round %u (first at %04zX: sent %02X, "
                      "read %02X)",
                      unsigned{verdict.delay}, verdict.wrong.size(), verdict.size, verdict.rounds,
                      first.address, unsigned{first.expected}, unsigned{first.read});
    }
    return text.data();
}

}  // namespace qcli
