/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// While a board transfer runs the window takes no input: what the user does
// meanwhile is dropped, not run once the transfer ends, and the windows go on
// painting whenever the transfer reports progress.
#pragma once

#include <QObject>

namespace windowing {

class BlockedInput final : public QObject {
public:
    BlockedInput();            // from here on, user input to the program is dropped
    ~BlockedInput() override;  // input that came meanwhile is dropped too
    BlockedInput(const BlockedInput&) = delete;
    BlockedInput& operator=(const BlockedInput&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Paints what waits to be painted (and handles all else but user input) while
// a BlockedInput lives; does nothing otherwise.
void keep_painting();

}  // namespace windowing
