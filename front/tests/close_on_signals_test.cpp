// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A stop signal closes the main window as its close command does, and so writes the profile.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

#include "about_box_dlg.h"
#include "close_on_signals.h"
#include "quillon_dlg.h"
#include "resource_ids.h"
#include "test_support.h"
#include "vandrel.h"
#include "windowing/profile.h"

using namespace quillon;

namespace {

enum class Over { nothing, about_box, ignored_before };  // ignored before: as nohup leaves SIGHUP

struct SignalCase {
    int number;
    const char* name;
    Over over;
};

// As on the disk: QSettings answers from its cache for a file of the same size and second.
std::string profile_text() {
    std::ifstream file(windowing::profile_path().toStdString());
    return {std::istreambuf_iterator<char>(file), {}};
}

class StopSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(StopSignal, ClosesTheWindowAndWritesTheProfile) {
    const auto [number, name, over] = GetParam();
    testing_support::write_profile("[section]\nDelay=10\nPort=1\n");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ::sigaction(number, over == Over::ignored_before ? &ignore : nullptr, &before);
    set_Port(1);
    int result = 0;
    {
        CQuillonDlg dlg;
        windowing::set_main_window(&dlg);
        const CloseOnSignals stop(dlg);
        QTimer::singleShot(0, [&, number, over] {
            // Settings changed in the window: the profile takes them at its end only.
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_PORT_278))->click();
            qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_DELAY))->setText(QStringLiteral("42"));
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_SET_DELAY))->click();
            if (over == Over::about_box) {
                testing_support::when_up<CAboutBoxDlg>([number](auto*) { std::raise(number); });
                dlg.OnSystemCommand(IDM_ABOUTBOX);  // returns once the signal closed it
                return;
            }
            std::raise(number);
            if (over == Over::ignored_before) {
                QCoreApplication::processEvents();
                EXPECT_TRUE(dlg.isVisible());
                dlg.done(windowing::IDOK);
            }
        });
        bool left_open = false;
        QTimer::singleShot(3000, &dlg, [&left_open] {  // ends what is still open, rather than hang
            left_open = true;
            for (int open = 0; open < 4; ++open) {
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    dialog->done(-1);
                }
            }
        });
        result = dlg.DoModal();
        EXPECT_FALSE(left_open) << "a window the signal did not close";
        EXPECT_EQ(profile_text(), "[section]\nDelay=10\nPort=1\n") << "written before its end";
    }
    EXPECT_EQ(result, over == Over::ignored_before ? windowing::IDOK : windowing::IDCANCEL);
    EXPECT_EQ(profile_text(), "[section]\nDelay=42\nPort=0\n");
    struct sigaction after {};
    ::sigaction(number, &before, &after);
    EXPECT_EQ(after.sa_handler, over == Over::ignored_before ? SIG_IGN : SIG_DFL)
        << "the signal does again what it did before";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StopSignal,
    ::testing::Values(SignalCase{SIGTERM, "SIGTERM", Over::nothing},
                      SignalCase{SIGHUP, "SIGHUP", Over::nothing},
                      SignalCase{SIGINT, "SIGINT", Over::nothing},
                      SignalCase{SIGTERM, "SIGTERM_OverTheAboutBox", Over::about_box},
                      SignalCase{SIGHUP, "SIGHUP_IgnoredBefore", Over::ignored_before}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
