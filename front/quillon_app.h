/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The application: builds the main window, runs it modally, and ends.
#pragma once

#include "windowing/win_app.h"

class CQuillonApp : public windowing::CWinApp {
public:
    CQuillonApp();
    ~CQuillonApp() override;
    CQuillonApp(const CQuillonApp&) = delete;
    CQuillonApp& operator=(const CQuillonApp&) = delete;

    bool StartProgram() override;
};
