// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A stop signal closes the main window as its close command does, and so writes the profile.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <iterator>

#include "about_box_dlg.h"
#include "close_on_signals.h"
#include "quillon_dlg.h"
#include "resource_ids.h"
#include "test_support.h"
#include "vandrel.h"
#include "windowing/profile.h"

namespace {

// As on the disk: QSettings answers from its cache for a file of the same size and second.
std::string profile_text() {
    std::ifstream file(windowing::profile_path().toStdString());
    return {std::istreambuf_iterator<char>(file), {}};
}

// The signal, whether the about box is open over the window, and whether it
// was ignored at the start (as nohup leaves SIGHUP: the window stays open).
class StopSignal : public ::testing::TestWithParam<std::tuple<int, bool, bool>> {};

TEST_P(StopSignal, ClosesTheWindowAndWritesTheProfile) {
    const auto [number, about_box, ignored] = GetParam();
    testing_support::write_profile("[section]\nDelay=10\nPort=1\n");
    struct sigaction before {
    }, ignore{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(number, ignored ? &ignore : nullptr, &before);
    set_Port(1);
    int result = 0;
    bool left_open = false;
    {
        CQuillonDlg dlg;
        const CloseOnSignals stop(dlg);
        QTimer::singleShot(0, [&, number, about_box, ignored] {
            // Settings changed in the window: the profile takes them at its end only.
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(quillon::IDC_PORT_278))->click();
            qobject_cast<QLineEdit*>(dlg.GetDlgItem(quillon::IDC_DELAY))->setText("42");
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(quillon::IDC_SET_DELAY))->click();
            if (about_box) {
                testing_support::when_up<CAboutBoxDlg>([number](auto*) { std::raise(number); });
                dlg.OnSystemCommand(quillon::IDM_ABOUTBOX);
            } else {
                std::raise(number);
            }
            QApplication::processEvents();
            if (ignored && dlg.isVisible()) {
                dlg.done(windowing::IDOK);
            }
        });
        QTimer::singleShot(3000, &dlg, [&left_open] {  // ends what is open rather than hang
            left_open = true;
            for (int i = 0; i < 4; ++i) {
                if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    open->done(-1);
                }
            }
        });
        result = dlg.DoModal();
        EXPECT_EQ(profile_text(), "[section]\nDelay=10\nPort=1\n") << "written before its end";
    }
    EXPECT_EQ(result, ignored ? windowing::IDOK : windowing::IDCANCEL);
    EXPECT_FALSE(left_open) << "a window the signal did not close";
    EXPECT_EQ(profile_text(), "[section]\nDelay=42\nPort=0\n");
    struct sigaction after {};
    ::sigaction(number, &before, &after);
    EXPECT_EQ(after.sa_handler, ignored ? SIG_IGN : SIG_DFL) << "as it was before";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal,
                         ::testing::Values(std::tuple{SIGTERM, false, false},
                                           std::tuple{SIGHUP, false, false},
                                           std::tuple{SIGINT, false, false},
                                           std::tuple{SIGTERM, true, false},
                                           std::tuple{SIGHUP, false, true}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
