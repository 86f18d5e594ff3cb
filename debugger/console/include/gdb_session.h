/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// `quillon-cli debug`'s conversation: gdb's commands and short forms, read
// line by line, answered as gdb answers them.
#pragma once

#include <debug_engine.h>

#include <array>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qcli {

struct SessionIo {
    std::ostream& out;
    std::ostream& err;
    bool interactive = false;  // a person types: a prompt, and an empty line repeats
    bool fullname = false;     // \032\032file:line:1:beg:0xADDR at each stop, for editors
    std::string image;         // as the user named it
    // Called while the 8051 runs: copies its UART output, and returns true
    // to have it pause (Ctrl+C).
    std::function<bool()> watch;
    // Before the session prints: ends a line the UART left open.
    std::function<void()> before_output;
    // True when the session must end now (a run went on too long).
    std::function<bool()> over;
    // True (once) when Ctrl+C was pressed while the session waited for a
    // line; the input can be read on afterwards.
    std::function<bool()> interrupted;
    // Resets the board: the 8051 starts again from the image, paused at its
    // reset. False, with what went wrong, when it cannot.
    std::function<bool(std::string& error)> restart;
};

class GdbSession {
public:
    GdbSession(debugger::Engine& engine, SessionIo io);

    // Reads and answers commands until the input ends, `quit`, or the firmware's end.
    void run(std::istream& in);
    // One command line; false when it ends the session.
    bool command(const std::string& line);

    // One command: its names (the first is its own, the others its short
    // forms), what `help` says of it, and what it does.
    struct Entry {
        std::array<std::string_view, 4> names;
        std::string_view help;
        void (*act)(GdbSession&, std::string_view);
    };

private:
    // The command table, and the `info` command's own.
    static std::span<const Entry> commands();
    static std::span<const Entry> info_commands();
    static const Entry* find(std::span<const Entry> table, std::string_view name);

    // An expression shown at each stop.
    struct Display {
        int number = 0;
        std::string expression;
        std::string format;  // "/x", "/8xb", or empty
        bool enabled = true;
    };

    // `with_frame`: the frame is shown even where the stop stays in its function.
    void report(const debugger::Stop& stop, const debugger::Stop& before, bool with_frame = false);
    void show_location(const debugger::Stop& stop, bool with_function);
    std::string where(const debugger::Location& location) const;
    void print_value(const std::string& expression, char format);
    bool running_or_say();
    // The frame `print`, `info locals` and `list` look at.
    debugger::Frame selected_frame();
    // "#1  0x00a4 in main () at t.c:42" and its source line.
    void print_frame(std::size_t level, bool with_source);
    void show_displays();
    void show_display(const Display& display);
    // The character offset of a source line's start, for editors.
    std::size_t line_offset(const std::string& file, unsigned line) const;

    void do_break(std::string_view args, bool temporary);
    void do_delete(std::string_view args);
    void do_info(std::string_view args);
    void do_run(std::string_view args);
    void do_continue(std::string_view args);
    void do_step(std::string_view args, bool into);
    void do_finish(std::string_view args);
    void do_print(std::string_view args, char format);
    void do_set(std::string_view args);
    void do_backtrace(std::string_view args);
    void do_list(std::string_view args);
    void do_help(std::string_view args);
    void do_complete(std::string_view args);

    // Frames.
    void do_up(std::string_view args, int direction);
    void do_frame(std::string_view args);
    void do_info_frame(std::string_view args);
    void do_info_args(std::string_view args);
    // Breakpoints and watchpoints.
    void do_watch(std::string_view args, debugger::Breakpoint::Kind kind);
    debugger::Breakpoint* numbered_breakpoint(std::string_view word, std::string_view required);
    void do_condition(std::string_view args);
    void do_ignore(std::string_view args);
    void do_enable(std::string_view args, bool enable);
    void do_info_breakpoints(std::string_view args);
    // Memory, values and types.
    void do_x(std::string_view args, std::string_view format);
    void do_display(std::string_view args, std::string_view format);
    void do_undisplay(std::string_view args);
    void do_info_display(std::string_view args);
    void do_ptype(std::string_view args, bool expand);
    // Sources.
    void do_info_line(std::string_view args);
    void do_info_source(std::string_view args);
    // Running.
    void do_until(std::string_view args, bool advance);
    void do_kill(std::string_view args);

    debugger::Engine& engine_;
    SessionIo io_;
    std::size_t selected_ = 0;
    std::vector<Display> displays_;
    int next_display_ = 1;
    std::string format_;  // of the command being run: "/x" of "print/x"
    // Where the last `x` ended, for an `x` without an address.
    std::optional<std::pair<debugger::Space, unsigned>> examined_;
    unsigned listed_ = 0;
    unsigned list_first_ = 0;  // the first line the last `list` showed
    std::string listed_file_;
    std::string last_line_;
    bool quit_ = false;
    bool killed_ = false;  // `kill` ended the run; `run` starts the next
};

}  // namespace qcli
