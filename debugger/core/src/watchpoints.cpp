// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Watchpoints on the target's watches of single bytes, and what lets a
// reached breakpoint pass: its condition and its ignore count. A write that
// leaves the watched value as it was does not stop the run, as in gdb.
#include <algorithm>

#include "debug_engine.h"

namespace debugger {

namespace {

std::vector<Access> accesses(Breakpoint::Kind kind) {
    switch (kind) {
        case Breakpoint::Kind::watch:
            return {Access::write};
        case Breakpoint::Kind::read_watch:
            return {Access::read};
        case Breakpoint::Kind::access_watch:
            return {Access::read, Access::write};
        case Breakpoint::Kind::breakpoint:
            break;
    }
    return {};
}

bool same(const Cell& a, const Cell& b) {
    return a.space == b.space && a.address == b.address;
}

}  // namespace

std::variant<Breakpoint, std::string> Engine::add_watchpoint(const std::string& expression,
                                                             Breakpoint::Kind kind,
                                                             const Frame& frame) {
    auto value = values_.evaluate(expression, frame);
    if (auto* wrong = std::get_if<std::string>(&value)) {
        return *wrong;
    }
    Value& watched = std::get<Value>(value);
    if (watched.cells.empty()) {
        return "Cannot watch constant value `" + expression + "'.";
    }
    for (const Cell& cell : watched.cells) {
        if (cell.space == Space::sfr ||
            (cell.space == Space::code && kind == Breakpoint::Kind::watch)) {
            return "Expression cannot be implemented with read/access watchpoint.";
        }
    }
    Breakpoint breakpoint;
    breakpoint.number = next_number_;
    breakpoint.kind = kind;
    breakpoint.expression = expression;
    breakpoint.watched = std::move(watched);
    breakpoints_.push_back(breakpoint);
    if (target_.state().kind == TargetState::Kind::paused) {
        sync_watches();
        // Every byte must be watched, or the watchpoint would miss changes.
        for (const Cell& cell : breakpoints_.back().watched.cells) {
            for (const Access access : accesses(kind)) {
                if (std::ranges::find_if(watching_, [&](const auto& w) {
                        return same(w.first, cell) && w.second == access;
                    }) == watching_.end()) {
                    breakpoints_.pop_back();
                    sync_watches();
                    return std::string(
                        "Could not insert hardware watchpoint: the simulator takes no watch on "
                        "this memory.");
                }
            }
        }
    }
    ++next_number_;
    return breakpoints_.back();
}

Breakpoint* Engine::find_breakpoint(int number) {
    const auto found = std::ranges::find(breakpoints_, number, &Breakpoint::number);
    return found == breakpoints_.end() ? nullptr : &*found;
}

void Engine::update_breakpoints() {
    if (target_.state().kind == TargetState::Kind::paused) {
        sync_breakpoints();
    }
}

void Engine::sync_watches() {
    std::vector<std::pair<Cell, Access>> wanted;
    for (const Breakpoint& b : breakpoints_) {
        if (!b.enabled) {
            continue;
        }
        for (const Cell& cell : b.watched.cells) {
            for (const Access access : accesses(b.kind)) {
                wanted.emplace_back(cell, access);
            }
        }
    }
    const auto in = [](const std::vector<std::pair<Cell, Access>>& list, const auto& w) {
        return std::ranges::find_if(list, [&w](const auto& o) {
                   return same(o.first, w.first) && o.second == w.second;
               }) != list.end();
    };
    for (const auto& w : watching_) {
        if (!in(wanted, w)) {
            target_.clear_watch(w.first.space, w.first.address, w.second);
        }
    }
    std::vector<std::pair<Cell, Access>> now;
    for (const auto& w : wanted) {
        if (in(now, w)) {
            continue;
        }
        if (in(watching_, w) || target_.set_watch(w.first.space, w.first.address, w.second)) {
            now.push_back(w);
        }
    }
    watching_ = std::move(now);
}

bool Engine::holds(Breakpoint& breakpoint, Stop& stop) {
    if (!breakpoint.condition.empty()) {
        const Frame frame{program_.info().function_at(stop.pc), stop.pc};
        const auto value = values_.evaluate(breakpoint.condition, frame);
        if (const auto* wrong = std::get_if<std::string>(&value)) {
            stop.condition_error = *wrong;  // gdb stops to tell
        } else {
            const Value& read = std::get<Value>(value);
            if (std::ranges::all_of(read.bytes, [](std::uint8_t b) { return b == 0; })) {
                return false;
            }
        }
    }
    ++breakpoint.hits;
    if (breakpoint.ignore > 0) {
        --breakpoint.ignore;
        return false;
    }
    return true;
}

void Engine::note_watch(const Target::Watched& watched, Stop& stop) {
    pass_ = true;
    for (Breakpoint& b : breakpoints_) {
        if (!b.enabled || b.kind == Breakpoint::Kind::breakpoint) {
            continue;
        }
        const auto kinds = accesses(b.kind);
        const bool covers = std::ranges::any_of(b.watched.cells, [&](const Cell& c) {
            return same(c, Cell{watched.space, watched.address});
        });
        if (!covers || std::ranges::find(kinds, watched.access) == kinds.end()) {
            continue;
        }
        Value now = b.watched;
        bool read = true;
        for (std::size_t i = 0; i < now.cells.size() && read; ++i) {
            read = target_.read(now.cells[i].space, now.cells[i].address,
                                std::span(now.bytes.data() + i, 1));
        }
        const bool changed = read && now.bytes != b.watched.bytes;
        if (b.kind == Breakpoint::Kind::watch && !changed) {
            continue;  // the same value written again
        }
        Value before = b.watched;
        b.watched = now;
        if (!holds(b, stop)) {
            continue;
        }
        stop.reason = Stop::Reason::watchpoint;
        stop.breakpoint = b.number;
        if (changed) {
            stop.old_value = std::move(before);
        }
        stop.new_value = std::move(now);
        pass_ = false;
        return;
    }
}

}  // namespace debugger
