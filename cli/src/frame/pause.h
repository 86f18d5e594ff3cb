/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Every wait of the CLI goes through here, so tests can skip the waiting.
#pragma once

namespace qcli {

using PauseFunction = void (*)(unsigned milliseconds);

void pause_ms(unsigned milliseconds);
// Replaces the wait; returns the one in force before. nullptr restores the real one.
PauseFunction set_pause_function(PauseFunction function);

}  // namespace qcli
