// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the front-end tests on the simulated board, with a scratch RAM file and
// config folder, under the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "quillon_resources.h"
#include "quillon_test/scratch_folder.h"
#include "windowing/framework.h"

// Qt and fontconfig keep caches until exit that LeakSanitizer would report as ours.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();  // listing needs no display and no board
    }

    const quillon_test::ScratchFolder scratch("quillon-front-tests");
    ::setenv("DLPORTIO_BACKEND", "sim", 1);
    ::setenv("DLPORTIO_SIM_RAM", (scratch / "board.ram").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    const QApplication application(argc, argv);
    windowing::prepare_framework();
    quillon::install_resources();
    return RUN_ALL_TESTS();
}
