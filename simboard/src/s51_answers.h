/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// What s51 says on its console, read back: where and why it stopped, its
// clocks, and memory it dumped in Intel HEX.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Stop reasons the simulator prints: "Stop at 0x00007d: (112) Event break".
inline constexpr int kBreakpoint = 104;
inline constexpr int kUserStopped = 105;
inline constexpr int kEventBreak = 112;

struct StopLine {
    unsigned pc = 0;
    int code = 0;
    std::string reason;       // "Event break"
    std::string event_space;  // for an event break: "sfr", "variables", ...
    std::string event_kind;   // "read" or "write"
    unsigned event_address = 0;
    std::size_t begin = 0;  // where "Stop at" starts in the text
};

// The last stop the text tells of, once its closing prompt has come too.
std::optional<StopLine> find_stop(std::string_view text);

// One line of `dc` as "59 f0\tMOVX   @DPTR,A": its address, bytes and text in
// hexadecimal; nothing for a label line ("0x0000    <.reset>:") or another.
std::optional<std::string> disassembly_line(std::string_view line);

// The clocks that "state" printed: "Total time since last reset= ... (N clks)".
std::optional<std::uint64_t> clocks_in(std::string_view text);

// The Intel HEX dumps in the text, in the order printed, each through its end record.
std::vector<std::string_view> dumps_in(std::string_view text);

// A dump stored at its addresses into `image`; true when it held `size` bytes.
bool store_dump(std::string_view dump, std::size_t size, std::span<std::uint8_t> image);

// The byte the UART's transmitter took last, as "info hw uart" prints it
// ("Transmitter TB8=0 irq=0 buf=0x41"), at the last such answer in the text.
std::optional<std::uint8_t> transmitted_byte(std::string_view text);

// "Breakpoint 7 at 0x00008a: ...": the numbers of the breakpoints the text
// tells were set, in order.
std::vector<int> breakpoints_set(std::string_view text);

// The first line of `answer` that is none of `commands` (their echo) and none
// of `expected`: what the simulator said when it refused one. Empty if none.
std::string unexpected_answer(std::string_view answer, const std::vector<std::string>& commands,
                              std::initializer_list<std::string_view> expected = {});

}  // namespace sim
