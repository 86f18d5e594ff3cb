// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The one application object and the toolkit's start.
#include "windowing/win_app.h"

#include <QApplication>

#include "windowing/command_ids.h"
#include "windowing/dialog.h"
#include "windowing/framework.h"
#include "windowing/profile.h"

namespace windowing {

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const char* app_name)
    : name_(app_name != nullptr ? QString::fromUtf8(app_name) : QString()) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

bool CWinApp::OnCommand(int id) {
    if (id == ID_HELP) {
        OnHelp();
        return true;
    }
    return false;
}

QString CWinApp::name() const {
    return name_.isEmpty() ? program_name() : name_;
}

CWinApp* CWinApp::current() {
    return g_app;
}

int CWinApp::run(int& argc, char** argv) {
    const QApplication application(argc, argv);
    prepare_framework();
    CWinApp* app = current();
    if (app == nullptr) {
        return 1;
    }
    if (!app->StartProgram()) {
        return 0;
    }
    return QApplication::exec();
}

}  // namespace windowing
