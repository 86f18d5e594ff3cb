// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The system menu's entries, offered as the dialog's context menu.
#include "windowing/system_menu.h"

#include <QCoreApplication>

#include "windowing/command_ids.h"

namespace windowing {

// The framework's name for the entry, from its translations (German: "Schl&ießen").
SystemMenu::SystemMenu()
    : entries_{{SC_CLOSE, QCoreApplication::translate("QMdiSubWindow", "&Close")}} {}

void SystemMenu::AppendSeparator() {
    entries_.push_back({0, {}});
}

void SystemMenu::AppendItem(unsigned id, const QString& text) {
    entries_.push_back({id, text});
}

}  // namespace windowing
