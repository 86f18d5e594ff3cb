// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A stop signal closes the main window as its close command does, and so writes the profile.
#include <gtest/gtest.h>

#include <QAbstractButton>
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
using namespace testing_support;

namespace {

struct SignalCase {
    int number;
    const char* name;
    bool about_box_open;  // a dialog of its own loop over the window
    bool ignored_before;  // as nohup leaves SIGHUP: the window stays open
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name << (c.about_box_open ? " over the about box" : "")
        << (c.ignored_before ? ", ignored before" : "");
}

// The file as it is on the disk: QSettings would answer from its cache of a
// file of the same size written within the same second.
std::string profile_text() {
    std::ifstream file(windowing::profile_path().toStdString());
    return {std::istreambuf_iterator<char>(file), {}};
}

class StopSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(StopSignal, ClosesTheWindowAndWritesTheProfile) {
    const SignalCase& signal = GetParam();
    write_profile("[section]\nDelay=10\nPort=1\n");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ::sigaction(signal.number, signal.ignored_before ? &ignore : nullptr, &before);
    set_Port(1);
    int result = 0;
    bool about_closed = false;
    {
        CQuillonDlg dlg;
        windowing::set_main_window(&dlg);
        const CloseOnSignals stop(dlg);
        QTimer::singleShot(0, [&] {
            // Settings changed in the window: the profile takes them only at its end.
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_PORT_278))->click();
            auto* delay = qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_DELAY));
            delay->setText(QStringLiteral("42"));
            qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_SET_DELAY))->click();
            if (signal.ignored_before) {
                std::raise(signal.number);
                QCoreApplication::processEvents();
                EXPECT_TRUE(dlg.isVisible());
                dlg.done(windowing::IDOK);
                return;
            }
            if (!signal.about_box_open) {
                std::raise(signal.number);
                return;
            }
            when_up<CAboutBoxDlg>([&](CAboutBoxDlg*) { std::raise(signal.number); });
            dlg.OnSystemCommand(IDM_ABOUTBOX);
            about_closed = true;
        });
        // Should the signal not close the window, the test ends rather than hangs.
        QTimer::singleShot(3000, &dlg, [&dlg] { dlg.done(-1); });
        result = dlg.DoModal();
        EXPECT_EQ(profile_text(), "[section]\nDelay=10\nPort=1\n") << "written before its end";
    }
    EXPECT_EQ(result, signal.ignored_before ? windowing::IDOK : windowing::IDCANCEL);
    EXPECT_EQ(about_closed, signal.about_box_open);
    EXPECT_EQ(profile_text(), "[section]\nDelay=42\nPort=0\n");

    struct sigaction after {};
    ::sigaction(signal.number, &before, &after);
    EXPECT_EQ(after.sa_handler, signal.ignored_before ? SIG_IGN : SIG_DFL)
        << "the signal does again what it did before";
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal,
                         ::testing::Values(SignalCase{SIGTERM, "SIGTERM", false, false},
                                           SignalCase{SIGHUP, "SIGHUP", false, false},
                                           SignalCase{SIGINT, "SIGINT", false, false},
                                           SignalCase{SIGTERM, "SIGTERM", true, false},
                                           SignalCase{SIGHUP, "SIGHUP", true, false},
                                           SignalCase{SIGHUP, "SIGHUP", false, true}),
                         [](const auto& info) {
                             return std::string(info.param.name) +
                                    (info.param.about_box_open ? "_OverTheAboutBox" : "") +
                                    (info.param.ignored_before ? "_IgnoredBefore" : "");
                         });

}  // namespace
