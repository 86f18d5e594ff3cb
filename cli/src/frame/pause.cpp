// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The CLI's one wait, which tests replace.
#include "pause.h"

#include <chrono>
#include <thread>

namespace qcli {
namespace {

void real_pause(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

PauseFunction current = real_pause;

}  // namespace

void pause_ms(unsigned milliseconds) {
    current(milliseconds);
}

PauseFunction set_pause_function(PauseFunction function) {
    const PauseFunction previous = current;
    current = function != nullptr ? function : real_pause;
    return previous;
}

}  // namespace qcli
