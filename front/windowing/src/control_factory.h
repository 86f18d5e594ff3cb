/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Builds a dialog's controls from its template, one factory per control kind.
#pragma once

#include <QWidget>

#include "windowing/dialog_template.h"
#include "windowing/dialog_units.h"

class QButtonGroup;

namespace windowing {

class CDialog;

// What the factories share while one dialog's controls are built.
struct ControlBuild {
    CDialog& dialog;                      // parent of every control, receiver of their commands
    const DialogUnits& units;             // the dialog's own, for positions and sizes
    QButtonGroup* radio_group = nullptr;  // the group the next radio button joins
};

// The control's widget, at its template rectangle, with its focus policy.
QWidget* create_control(const ControlTemplate& control, ControlBuild& build);

// Tab enters a radio group on its checked button (the first when none is
// checked) and leaves it with the next Tab; the arrow keys move inside it.
void enter_group_on_checked(const QButtonGroup& group);

}  // namespace windowing
