// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated board's lines, through the teller the layer gave it.
#include "messages.h"

#include <atomic>
#include <cstdio>

namespace sim {

namespace {
// The UART threads may tell while the program's thread opens a board.
std::atomic<void (*)(const char*)> g_teller{nullptr};
}  // namespace

void set_teller(void (*teller)(const char* line)) {
    g_teller.store(teller);
}

void tell(const std::string& text) {
    if (auto* teller = g_teller.load()) {
        teller(text.c_str());
    } else {
        std::fprintf(stderr, "dlportio: %s\n", text.c_str());
    }
}

}  // namespace sim
