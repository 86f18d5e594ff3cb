/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The entries of a dialog's system menu. Linux window managers keep the window's
// own menu to themselves, so the dialog offers these as its context menu.
#pragma once

#include <QString>
#include <vector>

namespace windowing {

class SystemMenu {
public:
    struct Entry {
        unsigned id;   // 0 for a separator
        QString text;  // '&' marks the mnemonic
    };

    SystemMenu();  // starts with the close command
    void AppendSeparator();
    void AppendItem(unsigned id, const QString& text);
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

}  // namespace windowing
