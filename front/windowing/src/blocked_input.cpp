// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Dropping user input while a transfer runs, painting on.
#include "windowing/blocked_input.h"

#include <QCoreApplication>
#include <QEvent>

namespace windowing {

namespace {

int g_blocked = 0;

bool is_user_input(const QEvent& event) {
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        case QEvent::Close:
            return event.spontaneous();  // the window manager's close button
        default:
            return false;
    }
}

}  // namespace

BlockedInput::BlockedInput() {
    ++g_blocked;
    QCoreApplication::instance()->installEventFilter(this);
}

BlockedInput::~BlockedInput() {
    keep_painting();
    QCoreApplication::instance()->removeEventFilter(this);
    --g_blocked;
}

bool BlockedInput::eventFilter(QObject* watched, QEvent* event) {
    if (is_user_input(*event)) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void keep_painting() {
    if (g_blocked > 0) {
        QCoreApplication::processEvents();
    }
}

}  // namespace windowing
