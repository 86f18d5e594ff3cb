// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The layer's lines on standard error, silenced on request.
#include "messages.h"

#include <atomic>
#include <cstdio>

namespace dlportio {

namespace {
// The UART relay thread may tell while the program's thread sets it.
std::atomic<bool> g_quiet{false};
std::atomic<bool> g_line_open{false};
}  // namespace

void tell(const std::string& text) {
    if (!g_quiet.load(std::memory_order_relaxed)) {
        const bool open = g_line_open.exchange(false, std::memory_order_relaxed);
        std::fprintf(stderr, "%sdlportio: %s\n", open ? "\n" : "", text.c_str());
    }
}

void set_line_open(bool open) {
    g_line_open.store(open, std::memory_order_relaxed);
}

void set_quiet(bool on) {
    g_quiet.store(on, std::memory_order_relaxed);
}

}  // namespace dlportio
