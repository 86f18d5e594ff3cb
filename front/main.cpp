// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The program's one application object exists before anything else runs.
#include <posix/standard_streams.h>

#include "command_line.h"
#include "quillon_app.h"

namespace {
CQuillonApp theApp;
}

int main(int argc, char** argv) {
    quillon::posix::keep_standard_streams_open();
    if (const auto answered = answer_command_line(argc, argv)) {
        return *answered;
    }
    return windowing::CWinApp::run(argc, argv);
}
