/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The application object: exactly one exists, built during static
// initialisation; run() starts the toolkit and hands over to StartProgram.
#pragma once

#include <QString>

namespace windowing {

class CWinApp {
public:
    // Without a name the executable's base name is the program's name.
    explicit CWinApp(const char* app_name = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's start-up; false: no message loop follows, the program ends.
    virtual bool StartProgram() { return true; }
    // Commands for the application rather than a window (the help command);
    // false when unhandled.
    virtual bool OnCommand(int id);
    void OnHelp() {}  // the program has no help content

    // The desktop draws its controls three-dimensionally already.
    void Enable3dControls() {}

    QString name() const;
    static CWinApp* current();
    // The toolkit's start, then the application's own; returns the exit code.
    static int run(int& argc, char** argv);

private:
    QString name_;
};

}  // namespace windowing
