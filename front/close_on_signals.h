/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// SIGTERM, SIGHUP and SIGINT close the main window as its close command does,
// so that a program asked to stop still writes its profile. The handler only
// writes the signal's number into a socket pair; the event loop reads it and
// closes the window there, where closing is safe. A signal ignored when the
// program started stays ignored.
#pragma once

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <memory>

#include "windowing/dialog.h"

class CloseOnSignals {
public:
    // One at a time: the signals go to the window of the newest.
    explicit CloseOnSignals(windowing::CDialog& window);
    ~CloseOnSignals();  // the signals do what they did before
    CloseOnSignals(const CloseOnSignals&) = delete;
    CloseOnSignals& operator=(const CloseOnSignals&) = delete;

    static constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

private:
    void close_window();

    windowing::CDialog& window_;
    std::array<int, 2> pair_{-1, -1};  // [0] read by the loop, [1] written by the handler
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::unique_ptr<QSocketNotifier> notifier_;
};
