#include "sim_fault.h"

#include <charconv>

namespace dlportio {

std::optional<SimFault> parse_sim_fault(std::string_view text) {
    if (text.empty() || text == "none") {
        return SimFault{};
    }
    if (text == "no-board") {
        return SimFault{SimFault::Kind::no_board, 0};
    }
    if (text == "stuck-low") {
        return SimFault{SimFault::Kind::stuck_low, 0};
    }
    constexpr std::string_view flip = "flip=";
    if (text.starts_with(flip)) {
        const auto digits = text.substr(flip.size());
        std::uint32_t every = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), every);
        if (ec == std::errc{} && end == digits.data() + digits.size() && every >= 1) {
            return SimFault{SimFault::Kind::flip, every};
        }
    }
    return std::nullopt;
}

}  // namespace dlportio
