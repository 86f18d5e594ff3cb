// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's ways to run on besides continue and step: until, advance,
// and kill with a new run from the board's reset.
#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using debugger::Stop;
using text::trim;

void GdbSession::do_until(std::string_view args, bool advance) {
    args = trim(args);
    if (advance && args.empty()) {
        io_.out << "Argument required (a location).\n";
        return;
    }
    if (!running_or_say()) {
        return;
    }
    const Stop before = engine_.last_stop();
    if (!args.empty()) {
        const debugger::Resolved place =
            engine_.program().resolve(std::string(args), engine_.current_file());
        if (!place.error.empty()) {
            io_.out << place.error << '\n';
            return;
        }
        Stop stop = engine_.run_to({place.address}, io_.watch);
        if (stop.reason == Stop::Reason::step) {
            // gdb names the frame it arrives in.
            io_.before_output();
            selected_ = 0;
            show_location(stop, true);
            show_displays();
            return;
        }
        report(stop, before);
        return;
    }
    // Like next, but a jump back to code before this line (a loop's end)
    // runs on until a line after it.
    const cdb::Function* function = before.location.function;
    const std::size_t depth = engine_.backtrace().size();
    Stop stop = engine_.next(io_.watch);
    for (int round = 0;
         round < 10000 && stop.reason == Stop::Reason::step && stop.location.function == function &&
         function != nullptr && stop.pc <= before.pc && engine_.backtrace().size() == depth;
         ++round) {
        stop = engine_.next(io_.watch);
    }
    report(stop, before);
}

void GdbSession::do_kill(std::string_view) {
    if (engine_.last_stop().ended() || killed_) {
        io_.out << "The program is not being run.\n";
        return;
    }
    std::string error;
    if (!io_.restart || !io_.restart(error)) {
        io_.out << "Cannot kill the firmware: "
                << (error.empty() ? "the board cannot be reset" : error) << '\n';
        return;
    }
    engine_.restarted();
    killed_ = true;
    selected_ = 0;
    io_.out << "[Inferior 1 (process 1) killed]\n";
}

}  // namespace qcli
