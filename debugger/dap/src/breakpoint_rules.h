/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// What an editor asks of a breakpoint beyond its place: a condition
// ("i == 2"), a hit count ("3", ">= 3", "% 2") and a log message ("i is
// {i}") that prints instead of stopping.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

namespace dap {

// An operand's value as a whole number, or what is wrong with it.
using Evaluate = std::function<std::variant<std::int64_t, std::string>(const std::string&)>;

class BreakpointRule {
public:
    // Null, with `error` set, when the hit count cannot be read.
    static std::optional<BreakpointRule> make(std::string condition,
                                              const std::string& hit_condition,
                                              std::string log_message, std::string& error);

    struct Verdict {
        bool stop = false;
        std::string log;    // a line to print, for a logpoint
        std::string error;  // a condition that could not be told: it stops
    };
    // One more hit: whether the 8051 stays stopped, and what to print.
    Verdict hit(const Evaluate& evaluate,
                const std::function<std::string(const std::string&)>& show);
    // A new run counts its hits from 0.
    void restart() { hits_ = 0; }
    bool plain() const { return condition_.empty() && op_ == Op::none && log_.empty(); }

private:
    enum class Op { none, equal, at_least, more, less, at_most, every };

    std::string condition_;
    Op op_ = Op::none;
    std::int64_t count_ = 0;
    std::string log_;
    std::int64_t hits_ = 0;
};

// Whether `condition` holds: as a whole expression that is not 0, or else
// as one comparison of two operands (==, !=, <, <=, >, >=).
std::variant<bool, std::string> holds(const std::string& condition, const Evaluate& evaluate);

}  // namespace dap
