#include "calibrate.h"

#include <array>
#include <cstdio>

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
                       const std::function<void(const DelayVerdict&)>& report) {
    for (unsigned d = 1; d <= kMaxDelay; ++d) {
        const auto delay = static_cast<std::uint8_t>(d);
        DelayVerdict verdict{delay, size, 0, true, {}};
        for (unsigned r = 0; r < rounds && verdict.intact; ++r) {
            const std::vector<std::uint8_t> pattern = calibration_pattern(delay, r, size);
            RoundResult result = round(delay, r, pattern);
            if (!result) {
                return {Calibration::Outcome::refused, delay};
            }
            verdict.rounds = r + 1;
            if (!result->empty()) {
                verdict.intact = false;
                verdict.wrong = std::move(*result);
            }
        }
        report(verdict);
        if (verdict.intact) {
            return {Calibration::Outcome::found, delay};
        }
    }
    return {Calibration::Outcome::none, 0};
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
