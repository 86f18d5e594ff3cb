// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The control objects' calls on their widgets.
#include "windowing/controls.h"

#include <QProgressBar>
#include <QScrollBar>
#include <algorithm>

namespace windowing {

void CProgressCtrl::SetRange(int lower, int upper) {
    if (bar_) {
        bar_->setRange(lower, upper);
        bar_->repaint();
    }
}

void CProgressCtrl::SetPos(int position) {
    if (bar_) {
        bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
        bar_->repaint();
    }
}

int CProgressCtrl::GetPos() const {
    return bar_ ? bar_->value() : 0;
}

void CScrollBar::SetScrollRange(int lower, int upper, bool redraw) {
    bar_->setRange(lower, upper);
    if (redraw) {
        bar_->update();
    }
}

void CScrollBar::SetScrollPos(int position, bool redraw) {
    bar_->setValue(position);
    if (redraw) {
        bar_->update();
    }
}

int CScrollBar::GetScrollPos() const {
    return bar_->value();
}

}  // namespace windowing
