#include "quillon_app.h"

#include <array>

#include "quillon_dlg.h"
#include "quillon_resources.h"
#include "windowing/command_ids.h"
#include "windowing/dialog.h"

namespace {

struct AppCommand {
    int id;
    void (windowing::CWinApp::*handler)();
};

constexpr std::array app_commands{
    AppCommand{windowing::ID_HELP, &windowing::CWinApp::OnHelp},
};

}  // namespace

CQuillonApp::CQuillonApp() {
    quillon::install_resources();
}

CQuillonApp::~CQuillonApp() = default;

bool CQuillonApp::StartProgram() {
    Enable3dControls();
    {
        CQuillonDlg dlg;
        m_pMainWnd = &dlg;
        windowing::set_main_window(&dlg);
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }  // the window's destruction writes the profile file
    // The modal run was the program's whole life: no message loop follows.
    return false;
}

bool CQuillonApp::OnCommand(int id) {
    for (const auto& command : app_commands) {
        if (command.id == id) {
            (this->*command.handler)();
            return true;
        }
    }
    return false;
}
