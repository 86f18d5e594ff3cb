// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The stop signals turned into the main window's close command, in the event loop.
#include "close_on_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>

#include "windowing/command_ids.h"

namespace {

volatile std::sig_atomic_t g_write_end = -1;

extern "C" void note_signal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pair already holds a request to close: losing this one loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_write_end, &byte, 1);
    errno = saved;
}

}  // namespace

CloseOnSignals::CloseOnSignals(windowing::CDialog& window) : window_(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair_.data()) != 0) {
        pair_ = {-1, -1};
        return;  // the signals keep their default: the program ends as before
    }
    g_write_end = pair_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pair_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { close_window(); });

    struct sigaction action {};
    action.sa_handler = note_signal;
    // The library's port and file calls go on when a signal interrupts them.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &previous_[i]);
        // A signal the shell told the program to ignore (nohup, a background
        // job's SIGINT) stays ignored.
        if (previous_[i].sa_handler != SIG_IGN) {
            ::sigaction(kSignals[i], &action, nullptr);
        }
    }
}

CloseOnSignals::~CloseOnSignals() {
    if (pair_[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    g_write_end = -1;
    notifier_.reset();
    ::close(pair_[0]);
    ::close(pair_[1]);
}

void CloseOnSignals::close_window() {
    std::array<unsigned char, 16> taken{};
    while (::read(pair_[0], taken.data(), taken.size()) > 0) {
    }
    // A menu or a dialog open over the window runs its own loop: it closes
    // first (as cancelled), or the window's loop would wait for it.
    for (int open = 0; open < 16; ++open) {
        QWidget* over = QApplication::activePopupWidget();
        if (over == nullptr) {
            over = QApplication::activeModalWidget();
        }
        if (over == nullptr || over == &window_) {
            break;
        }
        over->close();
        if (over->isVisible()) {
            break;  // it would not close; the window's command still ends the program
        }
    }
    window_.OnSystemCommand(windowing::SC_CLOSE);
}
