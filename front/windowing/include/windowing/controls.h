/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Thin control objects bound to a dialog's widgets.
#pragma once

#include <QPointer>
#include <QProgressBar>

class QScrollBar;

namespace windowing {

class CProgressCtrl {
public:
    void attach(QProgressBar* bar) { bar_ = bar; }
    bool attached() const { return !bar_.isNull(); }

    void SetRange(int lower, int upper);
    void SetStep(int step) { step_ = step; }
    // Clamped to the range, and painted before it returns: transfers block the
    // event loop, so the bar must not wait for it.
    void SetPos(int position);
    int GetPos() const;

private:
    QPointer<QProgressBar> bar_;
    int step_ = 10;
};

class CScrollBar {
public:
    explicit CScrollBar(QScrollBar* bar) : bar_(bar) {}
    void SetScrollRange(int lower, int upper, bool redraw);
    void SetScrollPos(int position, bool redraw);
    int GetScrollPos() const;
    QScrollBar* widget() const { return bar_; }

private:
    QScrollBar* bar_;
};

}  // namespace windowing
