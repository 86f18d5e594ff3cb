/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A dialog's command table: control id and notification to handler.
#pragma once

#include <array>
#include <cstddef>

#include "windowing/command_ids.h"

namespace windowing {

template <class Dialog>
struct CommandEntry {
    int id;
    Notify notify;
    void (Dialog::*handler)();
};

// Runs the handler that the table names for (id, notify); false when there is none.
template <class Dialog, std::size_t N>
bool dispatch_command(Dialog& dialog, const std::array<CommandEntry<Dialog>, N>& table, int id,
                      Notify notify) {
    for (const auto& entry : table) {
        if (entry.id == id && entry.notify == notify) {
            (dialog.*entry.handler)();
            return true;
        }
    }
    return false;
}

}  // namespace windowing
