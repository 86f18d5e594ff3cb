// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "debug_engine.h"

#include "next_instruction.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace debugger {

namespace {

constexpr std::uint8_t kLcall = 0x12;
constexpr std::uint8_t kAcallMask = 0x1F;
constexpr std::uint8_t kAcall = 0x11;
constexpr unsigned kSp = 0x81;
constexpr std::size_t kDeepest = 16;
constexpr auto kLook = std::chrono::milliseconds(100);
// SDCC returns a value in DPL, DPH, B and A, lowest byte first.
constexpr std::array<unsigned, 4> kReturnRegisters{0x82, 0x83, 0xF0, 0xE0};

}  // namespace

Engine::Engine(const Program& program, Target& target)
    : program_(program), target_(target), values_(program, target) {
    const TargetState state = target_.state();
    stop_ = stop_from(state, false);
    if (stop_.reason == Stop::Reason::step) {
        stop_.reason = Stop::Reason::entry;
    }
}

std::string Engine::current_file() const {
    if (!stop_.location.file.empty()) {
        return stop_.location.file;
    }
    for (const cdb::Line& line : program_.info().lines) {
        return line.file;
    }
    return {};
}

std::variant<Breakpoint, std::string> Engine::add_breakpoint(const std::string& place,
                                                             bool temporary) {
    const Resolved resolved = program_.resolve(place, current_file());
    if (!resolved.error.empty()) {
        return resolved.error;
    }
    Breakpoint breakpoint;
    breakpoint.number = next_number_++;
    breakpoint.address = resolved.address;
    breakpoint.location = resolved.location;
    breakpoint.temporary = temporary;
    breakpoints_.push_back(breakpoint);
    if (target_.state().kind == TargetState::Kind::paused) {
        sync_breakpoints();
    }
    return breakpoint;
}

bool Engine::delete_breakpoint(int number) {
    const auto found = std::ranges::find(breakpoints_, number, &Breakpoint::number);
    if (found == breakpoints_.end()) {
        return false;
    }
    breakpoints_.erase(found);
    if (target_.state().kind == TargetState::Kind::paused) {
        sync_breakpoints();
    }
    return true;
}

std::vector<std::variant<Breakpoint, std::string>> Engine::add_breakpoints(
    const std::vector<std::string>& places) {
    std::vector<std::variant<Breakpoint, std::string>> added;
    const std::string file = current_file();
    for (const std::string& place : places) {
        const Resolved resolved = program_.resolve(place, file);
        if (!resolved.error.empty()) {
            added.emplace_back(resolved.error);
            continue;
        }
        Breakpoint breakpoint;
        breakpoint.number = next_number_++;
        breakpoint.address = resolved.address;
        breakpoint.location = resolved.location;
        breakpoints_.push_back(breakpoint);
        added.emplace_back(breakpoint);
    }
    return added;  // the target gets them when the 8051 runs next
}

void Engine::delete_breakpoints(const std::vector<int>& numbers) {
    if (numbers.empty()) {
        return;
    }
    std::vector<int> sorted = numbers;
    std::ranges::sort(sorted);
    std::erase_if(breakpoints_, [&sorted](const Breakpoint& b) {
        return std::ranges::binary_search(sorted, b.number);
    });
}

// The target holds one breakpoint per address that any of ours names.
void Engine::sync_breakpoints() {
    sync_watches();
    std::vector<std::uint32_t> wanted;
    for (const Breakpoint& b : breakpoints_) {
        if (b.kind == Breakpoint::Kind::breakpoint && b.enabled) {
            wanted.push_back(b.address);
        }
    }
    std::ranges::sort(wanted);
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    for (const std::uint32_t address : set_in_target_) {
        if (!std::ranges::binary_search(wanted, address)) {
            target_.clear_break(address);
        }
    }
    std::vector<std::uint32_t> now;
    for (const std::uint32_t address : wanted) {
        if (std::ranges::binary_search(set_in_target_, address) || target_.set_break(address)) {
            now.push_back(address);
        }
    }
    set_in_target_ = std::move(now);
}

Stop Engine::stop_from(const TargetState& state, bool pause_asked) {
    Stop stop;
    stop.pc = state.pc;
    stop.cycles = state.cycles;
    stop.location = program_.location(state.pc);
    using K = TargetState::Kind;
    switch (state.kind) {
        case K::exited:
            stop.reason = Stop::Reason::exited;
            stop.result = state.result;
            return stop;
        case K::budget:
            stop.reason = Stop::Reason::budget;
            return stop;
        case K::held:
            stop.reason = Stop::Reason::held;
            return stop;
        case K::failed:
            stop.reason = Stop::Reason::failed;
            stop.text = state.text;
            return stop;
        case K::running:
        case K::paused:
            break;
    }
    stop.reason = pause_asked ? Stop::Reason::pause : Stop::Reason::step;
    pass_ = false;
    if (const auto watched = target_.watched()) {
        note_watch(*watched, stop);
    }
    for (Breakpoint& b : breakpoints_) {
        if (stop.reason == Stop::Reason::watchpoint) {
            break;
        }
        if (b.kind == Breakpoint::Kind::breakpoint && b.enabled && b.address == state.pc) {
            if (!holds(b, stop)) {
                pass_ = true;
                continue;
            }
            stop.reason = Stop::Reason::breakpoint;
            stop.breakpoint = b.number;
            pass_ = false;
            break;
        }
    }
    if (stop.reason == Stop::Reason::breakpoint) {
        const auto hit = std::ranges::find(breakpoints_, stop.breakpoint, &Breakpoint::number);
        if (hit != breakpoints_.end() && hit->temporary) {
            stop.temporary = true;
            breakpoints_.erase(hit);
        }
    }
    return stop;
}

Stop Engine::run(std::vector<unsigned> once, const Watch& watch) {
    if (stop_.ended()) {
        return stop_;
    }
    sync_breakpoints();
    // A breakpoint whose condition is false, or that is ignored, lets the run go on.
    for (bool again = true; again;) {
        if (!target_.resume(once)) {
            Stop failed = stop_;
            failed.reason = Stop::Reason::failed;
            failed.text = target_.state().text;
            if (failed.text.empty()) {
                failed.text = "the 8051 did not run on";
            }
            return stop_ = failed;
        }
        bool pause_asked = false;
        while (true) {
            const TargetState state = target_.state();
            if (state.kind != TargetState::Kind::running) {
                stop_ = stop_from(state, pause_asked);
                break;
            }
            target_.wait(kLook);
            if (!pause_asked && watch && watch()) {
                target_.pause();
                pause_asked = true;
            }
        }
        again = pass_ && !pause_asked && stop_.reason == Stop::Reason::step &&
                std::ranges::find(once, stop_.pc) == once.end();
    }
    if (!stop_.ended()) {
        sync_breakpoints();  // a temporary one that was hit is gone
    }
    return stop_;
}

Stop Engine::go(const Watch& watch) {
    return run({}, watch);
}

Stop Engine::step_instruction(const Watch& watch) {
    return run(next_addresses(program_.code(), stop_.pc, target_), watch);
}

std::vector<unsigned> Engine::other_lines(const cdb::Function& function, unsigned line) const {
    std::vector<unsigned> addresses;
    for (const auto& [address, at_line] : program_.lines_of(function)) {
        if (at_line != line) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

std::optional<std::uint32_t> Engine::return_address() {
    const auto frames = backtrace();
    if (frames.size() < 2) {
        return std::nullopt;
    }
    return frames[1].frame.pc;
}

Stop Engine::to_line_start(Stop stop, const Watch& watch) {
    for (int round = 0; round < 4 && stop.reason == Stop::Reason::step &&
                        !stop.location.line_start && stop.location.function != nullptr;
         ++round) {
        std::vector<unsigned> once = other_lines(*stop.location.function, stop.location.line);
        if (const auto back = return_address()) {
            once.push_back(*back);
        }
        stop = run(std::move(once), watch);
    }
    return stop;
}

Stop Engine::next(const Watch& watch) {
    const Location here = program_.location(stop_.pc);
    if (here.function == nullptr) {
        return go(watch);
    }
    std::vector<unsigned> once = other_lines(*here.function, here.line);
    if (const auto back = return_address()) {
        once.push_back(*back);
    }
    return to_line_start(run(std::move(once), watch), watch);
}

Stop Engine::step(const Watch& watch) {
    const Location here = program_.location(stop_.pc);
    if (here.function == nullptr) {
        return go(watch);
    }
    std::vector<unsigned> once = other_lines(*here.function, here.line);
    for (const cdb::Function& function : program_.info().functions) {
        if (&function != here.function && function.entry) {
            if (const auto first = program_.first_line(function)) {
                once.push_back(*first);
            }
        }
    }
    if (const auto back = return_address()) {
        once.push_back(*back);
    }
    return to_line_start(run(std::move(once), watch), watch);
}

Stop Engine::finish(const Watch& watch) {
    const auto back = return_address();
    if (!back) {
        return go(watch);
    }
    return run({*back}, watch);
}

Stop Engine::run_to(std::vector<unsigned> places, const Watch& watch) {
    if (const auto back = return_address()) {
        places.push_back(*back);
    }
    return run(std::move(places), watch);
}

void Engine::restarted() {
    set_in_target_.clear();
    watching_.clear();
    stop_ = stop_from(target_.state(), false);
    if (stop_.reason == Stop::Reason::step || stop_.reason == Stop::Reason::breakpoint) {
        stop_.reason = Stop::Reason::entry;
    }
}

std::optional<Value> Engine::returned(const cdb::Function& function) {
    if (function.type.chain.size() < 2) {
        return std::nullopt;
    }
    Value value;
    value.name = function.name;
    value.type.chain.assign(function.type.chain.begin() + 1, function.type.chain.end());
    value.type.is_signed = function.type.is_signed;
    value.type.size = size_of(program_.info(), value.type.chain);
    if (value.type.size == 0 || value.type.size > kReturnRegisters.size()) {
        return std::nullopt;
    }
    for (unsigned i = 0; i < value.type.size; ++i) {
        value.cells.push_back({Space::sfr, kReturnRegisters[i]});
        std::uint8_t byte = 0;
        if (!target_.read(Space::sfr, kReturnRegisters[i], std::span(&byte, 1))) {
            return std::nullopt;
        }
        value.bytes.push_back(byte);
    }
    return value;
}

// The 8051 keeps no frame pointer: the return addresses on the stack are
// found as pairs of bytes (low byte below) that point just behind a call.
std::vector<FrameInfo> Engine::backtrace() {
    std::vector<FrameInfo> frames;
    if (stop_.ended()) {
        return frames;
    }
    frames.push_back(
        {Frame{program_.info().function_at(stop_.pc), stop_.pc}, program_.location(stop_.pc)});
    std::uint8_t sp = 0;
    std::array<std::uint8_t, 0x80> iram{};
    if (!target_.read(Space::sfr, kSp, std::span(&sp, 1)) || !target_.read(Space::idata, 0, iram)) {
        return frames;
    }
    const std::vector<std::uint8_t>& code = program_.code();
    const auto after_call = [&code](std::uint32_t address) {
        return (address >= 3 && address - 3 < code.size() && code[address - 3] == kLcall) ||
               (address >= 2 && address - 2 < code.size() &&
                (code[address - 2] & kAcallMask) == kAcall);
    };
    for (int at = std::min<int>(sp, 0x7F); at >= 1 && frames.size() < kDeepest;) {
        const std::uint32_t address = static_cast<std::uint32_t>(iram[at] << 8 | iram[at - 1]);
        const cdb::Function* caller = program_.info().function_at(address);
        if (caller != nullptr && after_call(address)) {
            frames.push_back({Frame{caller, address}, program_.location(address)});
            at -= 2;
        } else {
            --at;
        }
    }
    return frames;
}

Frame Engine::frame(std::size_t index) {
    if (index == 0) {
        return Frame{program_.info().function_at(stop_.pc), stop_.pc};
    }
    const auto frames = backtrace();
    return index < frames.size() ? frames[index].frame : Frame{};
}

}  // namespace debugger
