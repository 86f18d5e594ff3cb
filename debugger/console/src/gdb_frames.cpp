// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The console's frames: selecting one (up, down, frame N), printing it as
// gdb does, and what `info frame` and `info args` tell of it.
#include "gdb_session.h"
#include "session_text.h"

namespace qcli {

using text::hex;
using text::trim;

debugger::Frame GdbSession::selected_frame() {
    return engine_.frame(selected_);
}

void GdbSession::print_frame(std::size_t level, bool with_source) {
    const auto frames = engine_.backtrace();
    if (level >= frames.size()) {
        return;
    }
    const debugger::FrameInfo& frame = frames[level];
    io_.out << '#' << level << "  ";
    if (level > 0 || !frame.location.line_start) {
        io_.out << hex(frame.frame.pc) << " in ";
    }
    io_.out << where(frame.location) << '\n';
    if (with_source) {
        debugger::Stop at;
        at.pc = frame.frame.pc;
        at.location = frame.location;
        show_location(at, false);
    }
}

void GdbSession::do_up(std::string_view args, int direction) {
    if (!running_or_say()) {
        return;
    }
    const auto count = text::number_of(trim(args).empty() ? "1" : args);
    if (!count) {
        io_.out << "Invalid number \"" << trim(args) << "\".\n";
        return;
    }
    const long size = static_cast<long>(engine_.backtrace().size());
    const long now = static_cast<long>(selected_);
    const long wanted = now + direction * *count;
    if (wanted >= size && now == size - 1) {
        io_.out << "Initial frame selected; you cannot go up.\n";
        return;
    }
    if (wanted < 0 && now == 0) {
        io_.out << "Bottom (innermost) frame selected; you cannot go down.\n";
        return;
    }
    selected_ = static_cast<std::size_t>(std::clamp(wanted, 0L, size - 1));
    print_frame(selected_, true);
}

void GdbSession::do_frame(std::string_view args) {
    if (!running_or_say()) {
        return;
    }
    args = trim(args);
    if (args.starts_with("level ")) {
        args = trim(args.substr(6));
    }
    if (!args.empty()) {
        const auto level = text::number_of(args);
        if (!level || *level < 0) {
            io_.out << "Invalid number \"" << args << "\".\n";
            return;
        }
        if (static_cast<std::size_t>(*level) >= engine_.backtrace().size()) {
            io_.out << "No frame at level " << args << ".\n";
            return;
        }
        selected_ = static_cast<std::size_t>(*level);
    }
    print_frame(selected_, true);
}

void GdbSession::do_info_frame(std::string_view) {
    if (!running_or_say()) {
        return;
    }
    const auto frames = engine_.backtrace();
    if (selected_ >= frames.size()) {
        return;
    }
    const debugger::FrameInfo& frame = frames[selected_];
    const debugger::Location& at = frame.location;
    io_.out << "Stack level " << selected_ << ":\n pc = " << hex(frame.frame.pc) << " in "
            << (at.function != nullptr ? at.function->name : "??");
    if (!at.file.empty()) {
        io_.out << " (" << at.file << ':' << at.line << ')';
    }
    if (selected_ + 1 < frames.size()) {
        io_.out << "; saved pc = " << hex(frames[selected_ + 1].frame.pc);
    }
    io_.out << '\n';
    if (selected_ + 1 < frames.size()) {
        io_.out << " called by frame at level " << selected_ + 1 << '\n';
    }
    if (selected_ > 0) {
        io_.out << " caller of frame at level " << selected_ - 1 << '\n';
    }
    io_.out << " source language c.\n";
    if (at.function != nullptr && at.function->interrupt) {
        io_.out << " interrupt " << at.function->interrupt_number << ", register bank "
                << at.function->register_bank << '\n';
    }
}

// SDCC's debug information does not tell a function's parameters from its
// other locals, so no variable can be shown as an argument.
void GdbSession::do_info_args(std::string_view) {
    if (!running_or_say()) {
        return;
    }
    io_.out << "No arguments.\n";
}

}  // namespace qcli
