// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The program object: resources, the main window, the end.
#include "quillon_app.h"

#include "close_on_signals.h"
#include "quillon_dlg.h"
#include "quillon_resources.h"
#include "windowing/dialog.h"

CQuillonApp::CQuillonApp() {
    quillon::install_resources();
}

CQuillonApp::~CQuillonApp() = default;

bool CQuillonApp::StartProgram() {
    Enable3dControls();
    {
        CQuillonDlg dlg;
        windowing::set_main_window(&dlg);
        const CloseOnSignals stop_signals(dlg);
        dlg.DoModal();
    }  // the window's destruction writes the profile file, however it closed
    // The modal run was the program's whole life: no message loop follows.
    return false;
}
