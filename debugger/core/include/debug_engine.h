/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Source-level control of the firmware: breakpoints at C lines and
// functions, running on, stepping over and into lines, running until a
// function returns, and where the 8051 is in the calls. Stepping sets
// breakpoints for one run at the lines it may reach and runs once: a paused
// simulator looks at its console only every 100 ms, so single instructions
// would take a tenth of a second each.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "debug_target.h"
#include "program.h"
#include "values.h"

namespace debugger {

struct Breakpoint {
    int number = 0;
    std::uint32_t address = 0;
    Location location;
    bool temporary = false;
    int hits = 0;
    // A breakpoint at a code address, or a watchpoint: on writes that change
    // what it watches, on reads of it, or on both.
    enum class Kind { breakpoint, watch, read_watch, access_watch };
    Kind kind = Kind::breakpoint;
    bool enabled = true;
    std::string condition;   // it stops only where this is true
    int ignore = 0;          // crossings still to pass by
    std::string expression;  // what a watchpoint watches, as the user wrote it
    Value watched;           // its bytes' places and their last value
};

struct Stop {
    enum class Reason { entry, breakpoint, step, pause, watchpoint, exited, budget, held, failed };
    Reason reason = Reason::entry;
    std::uint32_t pc = 0;
    Location location;
    int breakpoint = 0;      // for Reason::breakpoint and Reason::watchpoint
    bool temporary = false;  // the breakpoint was one for one stop, and is gone
    int result = 0;          // for Reason::exited
    std::uint64_t cycles = 0;
    std::string text;  // for Reason::failed
    // The stack pointer at a pause: two stops in one function are in the
    // same call when it is the same.
    std::optional<unsigned> sp;
    // For Reason::watchpoint: the value before (none for a read) and now.
    std::optional<Value> old_value;
    std::optional<Value> new_value;
    std::string condition_error;  // the breakpoint's condition could not be tested

    // True when the firmware's run is over.
    bool ended() const { return reason >= Reason::exited; }
};

struct FrameInfo {
    Frame frame;
    Location location;
};

class Engine {
public:
    Engine(const Program& program, Target& target);

    // Called while the 8051 runs, about ten times a second and whenever it
    // prints; returns true to have it pause.
    using Watch = std::function<bool()>;

    // A breakpoint at "t.c:18", "18", "main" or "*0x8a", kept until deleted
    // (or until it is hit once, when temporary); or what is wrong.
    std::variant<Breakpoint, std::string> add_breakpoint(const std::string& place, bool temporary);
    bool delete_breakpoint(int number);
    // Many at once, as an editor sends a file's breakpoints together; the
    // target is told only when the 8051 runs next, so a list that is
    // replaced before then costs no exchange with it.
    std::vector<std::variant<Breakpoint, std::string>> add_breakpoints(
        const std::vector<std::string>& places);
    void delete_breakpoints(const std::vector<int>& numbers);
    // A watchpoint on what `expression` names in `frame`; or what is wrong.
    std::variant<Breakpoint, std::string> add_watchpoint(const std::string& expression,
                                                         Breakpoint::Kind kind, const Frame& frame);
    // The breakpoint numbered `number`, to change its condition, count or
    // state (then update_breakpoints()); null when there is none.
    Breakpoint* find_breakpoint(int number);
    void update_breakpoints();
    const std::vector<Breakpoint>& breakpoints() const { return breakpoints_; }

    Stop go(const Watch& watch);                // runs on until a breakpoint or the end
    Stop next(const Watch& watch);              // to the next line of this function, over calls
    Stop step(const Watch& watch);              // to the next line, into calls
    Stop finish(const Watch& watch);            // until this function returns
    Stop step_instruction(const Watch& watch);  // one machine instruction
    // Until one of `places` or the return from this function, as gdb's advance.
    Stop run_to(std::vector<unsigned> places, const Watch& watch);
    // After the target was reset: paused at its start, with the breakpoints
    // kept and set again at the next run.
    void restarted();
    Target& target() { return target_; }
    const Stop& last_stop() const { return stop_; }
    // The value the function that `finish` left returned, for its type.
    std::optional<Value> returned(const cdb::Function& function);

    // The calls the 8051 is in, innermost first.
    std::vector<FrameInfo> backtrace();
    Frame frame(std::size_t index = 0);
    Values& values() { return values_; }
    const Program& program() const { return program_; }
    // The file of the line where the 8051 stopped, for places given by line alone.
    std::string current_file() const;

private:
    Stop run(std::vector<unsigned> once, const Watch& watch);
    // Whether a breakpoint that was reached stops the run: its condition and
    // ignore count; counts the hit.
    bool holds(Breakpoint& breakpoint, Stop& stop);
    // A pause the target made for a watch: the watchpoint that stops, if any.
    void note_watch(const Target::Watched& watched, Stop& stop);
    void sync_watches();
    void sync_breakpoints();
    Stop stop_from(const TargetState& state, bool pause_asked);
    // Where the current function returns to, if it can be told.
    std::optional<std::uint32_t> return_address();
    // Breakpoints for one run at every line of the function but `line`.
    std::vector<unsigned> other_lines(const cdb::Function& function, unsigned line) const;
    std::optional<std::uint8_t> stack_pointer();
    // How many bytes an interrupt handler's prologue pushed, when the 8051 is
    // past it and the prologue is one this can read.
    std::optional<unsigned> pushes_before_body(const cdb::Function& function,
                                               std::uint32_t pc) const;
    // Runs until a stop that is not in a deeper call of `function` than the
    // frame whose stack pointer was `sp`.
    Stop run_in_frame(const std::vector<unsigned>& once, const cdb::Function* function,
                      std::optional<std::uint8_t> sp, std::optional<std::uint32_t> back,
                      const Watch& watch);
    // After a return into the middle of a line: on to the next line's start.
    Stop to_line_start(Stop stop, const Watch& watch);

    const Program& program_;
    Target& target_;
    Values values_;
    std::vector<Breakpoint> breakpoints_;
    std::vector<std::uint32_t> set_in_target_;
    std::vector<std::pair<Cell, Access>> watching_;  // the target's watches
    bool pass_ = false;  // the last pause was at a breakpoint that lets the run go on
    int next_number_ = 1;
    Stop stop_;
};

}  // namespace debugger
