/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// `quillon-cli debug`'s conversation: gdb's commands and short forms, read
// line by line, answered as gdb answers them.
#pragma once

#include <debug_engine.h>

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

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
};

class GdbSession {
public:
    GdbSession(debugger::Engine& engine, SessionIo io);

    // Reads and answers commands until the input ends, `quit`, or the firmware's end.
    void run(std::istream& in);
    // One command line; false when it ends the session.
    bool command(const std::string& line);

private:
    struct Entry;

    // `with_frame`: the frame is shown even where the stop stays in its function.
    void report(const debugger::Stop& stop, const debugger::Stop& before, bool with_frame = false);
    void show_location(const debugger::Stop& stop, bool with_function);
    std::string where(const debugger::Location& location) const;
    void print_value(const std::string& expression, char format);
    bool running_or_say();

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

    debugger::Engine& engine_;
    SessionIo io_;
    int history_ = 0;  // the $N of print
    unsigned listed_ = 0;
    std::string last_line_;
    bool quit_ = false;
};

}  // namespace qcli
