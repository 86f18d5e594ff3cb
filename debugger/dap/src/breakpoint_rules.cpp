// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Conditions, hit counts and log messages of breakpoints.
#include "breakpoint_rules.h"

#include <array>
#include <charconv>
#include <string_view>

namespace dap {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::int64_t> whole_number(std::string_view text) {
    text = trimmed(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::variant<bool, std::string> holds(const std::string& condition, const Evaluate& evaluate) {
    // The debugger's own expressions first; then one comparison of two
    // operands it can read, for an evaluator that takes names alone.
    if (const auto whole = evaluate(condition); std::holds_alternative<std::int64_t>(whole)) {
        return std::get<std::int64_t>(whole) != 0;
    }
    // Two-character operators first, so that "<=" is not read as "<".
    constexpr std::array<std::string_view, 6> kOperators{"==", "!=", "<=", ">=", "<", ">"};
    std::size_t at = std::string::npos;
    std::string_view op;
    for (const std::string_view candidate : kOperators) {
        if (const std::size_t found = condition.find(candidate); found != std::string::npos) {
            at = found;
            op = candidate;
            break;
        }
    }
    const auto value_of = [&evaluate](std::string_view text) {
        return evaluate(std::string(trimmed(text)));
    };
    if (at == std::string::npos) {
        const auto value = value_of(condition);
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            return *wrong;
        }
        return std::get<std::int64_t>(value) != 0;
    }
    const auto left = value_of(std::string_view(condition).substr(0, at));
    const auto right = value_of(std::string_view(condition).substr(at + op.size()));
    for (const auto* side : {&left, &right}) {
        if (const auto* wrong = std::get_if<std::string>(side)) {
            return *wrong;
        }
    }
    const std::int64_t a = std::get<std::int64_t>(left);
    const std::int64_t b = std::get<std::int64_t>(right);
    if (op == "==") {
        return a == b;
    }
    if (op == "!=") {
        return a != b;
    }
    if (op == "<=") {
        return a <= b;
    }
    if (op == ">=") {
        return a >= b;
    }
    return op == "<" ? a < b : a > b;
}

std::optional<BreakpointRule> BreakpointRule::make(std::string condition,
                                                   const std::string& hit_condition,
                                                   std::string log_message, std::string& error) {
    BreakpointRule rule;
    rule.condition_ = std::string(trimmed(condition));
    rule.log_ = std::move(log_message);
    std::string_view hits = trimmed(hit_condition);
    if (hits.empty()) {
        return rule;
    }
    struct Prefix {
        std::string_view text;
        Op op;
    };
    constexpr std::array kPrefixes{Prefix{"==", Op::equal},   Prefix{">=", Op::at_least},
                                   Prefix{"<=", Op::at_most}, Prefix{">", Op::more},
                                   Prefix{"<", Op::less},     Prefix{"%", Op::every}};
    rule.op_ = Op::at_least;  // a bare count: from that hit on, as gdb's ignore count
    for (const Prefix& prefix : kPrefixes) {
        if (hits.starts_with(prefix.text)) {
            rule.op_ = prefix.op;
            hits.remove_prefix(prefix.text.size());
            break;
        }
    }
    const auto count = whole_number(hits);
    if (!count || *count < 0 || (rule.op_ == Op::every && *count == 0)) {
        error = "the hit count \"" + hit_condition +
                "\" is not a number, or ==, >=, >, <, <= or % and a number";
        return std::nullopt;
    }
    rule.count_ = *count;
    return rule;
}

BreakpointRule::Verdict BreakpointRule::hit(
    const Evaluate& evaluate, const std::function<std::string(const std::string&)>& show) {
    Verdict verdict;
    if (!condition_.empty()) {
        const auto held = holds(condition_, evaluate);
        if (const auto* wrong = std::get_if<std::string>(&held)) {
            verdict.stop = true;
            verdict.error = "Error in testing condition \"" + condition_ + "\": " + *wrong;
            return verdict;
        }
        if (!std::get<bool>(held)) {
            return verdict;
        }
    }
    ++hits_;
    switch (op_) {
        case Op::none:
            verdict.stop = true;
            break;
        case Op::equal:
            verdict.stop = hits_ == count_;
            break;
        case Op::at_least:
            verdict.stop = hits_ >= count_;
            break;
        case Op::more:
            verdict.stop = hits_ > count_;
            break;
        case Op::less:
            verdict.stop = hits_ < count_;
            break;
        case Op::at_most:
            verdict.stop = hits_ <= count_;
            break;
        case Op::every:
            verdict.stop = hits_ % count_ == 0;
            break;
    }
    if (verdict.stop && !log_.empty()) {
        // A logpoint prints where it would stop, and the run goes on.
        verdict.stop = false;
        for (std::size_t at = 0; at < log_.size();) {
            const std::size_t open = log_.find('{', at);
            const std::size_t close =
                open == std::string::npos ? std::string::npos : log_.find('}', open);
            if (close == std::string::npos) {
                verdict.log += log_.substr(at);
                break;
            }
            verdict.log += log_.substr(at, open - at);
            verdict.log += show(log_.substr(open + 1, close - open - 1));
            at = close + 1;
        }
        verdict.log += '\n';
    }
    return verdict;
}

}  // namespace dap
