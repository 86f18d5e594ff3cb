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
    stop.sp = stack_pointer();
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
    // The prologue's line is reached only by a new call, which stops after it.
    const std::uint32_t body = program_.first_line(function).value_or(0);
    std::vector<unsigned> addresses;
    for (const auto& [address, at_line] : program_.lines_of(function)) {
        if (at_line != line && address >= body) {
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

std::optional<std::uint8_t> Engine::stack_pointer() {
    std::uint8_t sp = 0;
    if (!target_.read(Space::sfr, kSp, std::span(&sp, 1))) {
        return std::nullopt;
    }
    return sp;
}

// A stop at one of the once-addresses inside a deeper call of the same
// function (a recursion) is not the line asked for: the 8051's stack grows
// upwards, so a deeper frame has a higher stack pointer.
Stop Engine::run_in_frame(const std::vector<unsigned>& once, const cdb::Function* function,
                          std::optional<std::uint8_t> sp, std::optional<std::uint32_t> back,
                          const Watch& watch) {
    Stop stop = run(once, watch);
    while (sp && stop.reason == Stop::Reason::step && stop.location.function == function) {
        // At the return address the frame has been left only once the
        // stack pointer is below its own.
        const auto now = stack_pointer();
        if (!now || *now < *sp || (*now == *sp && stop.pc != back)) {
            break;
        }
        stop = run(once, watch);
    }
    return stop;
}

Stop Engine::next(const Watch& watch) {
    const Location here = program_.location(stop_.pc);
    if (here.function == nullptr) {
        return go(watch);
    }
    std::vector<unsigned> once = other_lines(*here.function, here.line);
    const auto back = return_address();
    if (back) {
        once.push_back(*back);
    }
    return to_line_start(run_in_frame(once, here.function, stack_pointer(), back, watch), watch);
}

Stop Engine::step(const Watch& watch) {
    const Location here = program_.location(stop_.pc);
    if (here.function == nullptr) {
        return go(watch);
    }
    std::vector<unsigned> once = other_lines(*here.function, here.line);
    for (const cdb::Function& function : program_.info().functions) {
        if (function.entry) {  // its own too: a recursion
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
    // The same return address is reached by deeper calls of a recursion
    // first: the frame is left when the stack pointer drops below its own.
    const auto sp = stack_pointer();
    Stop stop = run({*back}, watch);
    while (sp && stop.reason == Stop::Reason::step && stop.pc == *back) {
        const auto now = stack_pointer();
        if (!now || *now < *sp) {
            break;
        }
        stop = run({*back}, watch);
    }
    return stop;
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
// Functions with a frame on the stack each pushed their caller's frame
// pointer where theirs points.
std::vector<FrameInfo> Engine::backtrace() {
    std::vector<FrameInfo> frames;
    if (stop_.ended()) {
        return frames;
    }
    frames.push_back(
        {Frame{program_.info().function_at(stop_.pc), stop_.pc, {}}, program_.location(stop_.pc)});
    std::uint8_t sp = 0;
    std::array<std::uint8_t, 0x100> iram{};
    // An 8052's upper 128 bytes of internal RAM may hold the stack; an 8051 has none.
    const auto lower = std::span(iram).first(0x80);
    if (!target_.read(Space::sfr, kSp, std::span(&sp, 1)) ||
        !target_.read(Space::idata, 0, lower)) {
        return frames;
    }
    const bool upper = target_.read(Space::idata, 0x80, std::span(iram).subspan(0x80));
    if (!upper) {
        sp = std::min<std::uint8_t>(sp, 0x7F);
    }
    const std::vector<std::uint8_t>& code = program_.code();
    const auto after_call = [&code](std::uint32_t address) {
        return (address >= 3 && address - 3 < code.size() && code[address - 3] == kLcall) ||
               (address >= 2 && address - 2 < code.size() &&
                (code[address - 2] & kAcallMask) == kAcall);
    };
    int at = sp;
    // An interrupt handler was not called: what it interrupted is found below
    // what its prologue pushed, and is shown where it stands, not at a call.
    if (const cdb::Function* handler = frames[0].frame.function;
        handler != nullptr && handler->interrupt) {
        if (const auto pushed = pushes_before_body(*handler, stop_.pc); pushed && sp > *pushed) {
            at = sp - static_cast<int>(*pushed);
            const std::uint32_t address = static_cast<std::uint32_t>(iram[at] << 8 | iram[at - 1]);
            if (const cdb::Function* interrupted = program_.info().function_at(address)) {
                Location location = program_.location(address);
                location.line_start = false;
                frames.push_back({Frame{interrupted, address, {}, true}, location});
                at -= 2;
            }
        }
    }
    for (; at >= 1 && frames.size() < kDeepest;) {
        const std::uint32_t address = static_cast<std::uint32_t>(iram[at] << 8 | iram[at - 1]);
        const cdb::Function* caller = program_.info().function_at(address);
        if (caller != nullptr && after_call(address)) {
            // The call is the instruction before the return address: its line
            // is the caller's, not the line that may begin at the address.
            Location location = program_.location(address - 1);
            location.line_start = false;
            frames.push_back({Frame{caller, address, {}, true}, location});
            at -= 2;
        } else {
            --at;
        }
    }
    std::optional<unsigned> bp;
    for (FrameInfo& info : frames) {
        const auto pointer = info.frame.function != nullptr
                                 ? program_.frame_pointer(*info.frame.function)
                                 : std::nullopt;
        if (!pointer || info.frame.pc < pointer->set_from) {
            continue;
        }
        bp = bp ? iram[*bp] : iram[pointer->variable];
        info.frame.base = *bp;
    }
    return frames;
}

std::optional<unsigned> Engine::pushes_before_body(const cdb::Function& function,
                                                   std::uint32_t pc) const {
    // SDCC's handler prologues: push direct, and mov direct,#data or
    // mov direct,direct to switch the register bank.
    constexpr std::uint8_t kPush = 0xC0;
    constexpr std::uint8_t kMovImmediate = 0x75;
    constexpr std::uint8_t kMovDirect = 0x85;
    const auto body = program_.first_line(function);
    if (!function.entry || !body || pc < *body) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t>& code = program_.code();
    unsigned pushed = 0;
    std::uint32_t at = *function.entry;
    while (at < *body && at < code.size()) {
        if (code[at] == kPush) {
            ++pushed;
            at += 2;
        } else if (code[at] == kMovImmediate || code[at] == kMovDirect) {
            at += 3;
        } else {
            return std::nullopt;
        }
    }
    return at == *body ? std::optional(pushed) : std::nullopt;
}

Frame Engine::frame(std::size_t index) {
    const auto frames = backtrace();
    if (index < frames.size()) {
        return frames[index].frame;
    }
    return index == 0 ? Frame{program_.info().function_at(stop_.pc), stop_.pc, {}} : Frame{};
}

}  // namespace debugger
