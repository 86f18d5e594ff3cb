// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "board_status.h"

#include "dlportio.h"

QString board_status(int kind, const char* reason) {
    switch (kind) {
        case DLPORTIO_SIMULATED:
            return QStringLiteral("ready (simulated board)");
        case DLPORTIO_NO_BOARD: {
            const QString why =
                reason != nullptr ? QString::fromLocal8Bit(reason).trimmed() : QString();
            return why.isEmpty() ? QStringLiteral("no board can be reached") : why;
        }
        default:
            return QStringLiteral("ready");
    }
}

QString board_status_at(std::uint16_t port_address) {
    const char* reason = nullptr;
    const int kind = dlportio_setup(port_address, &reason);
    return board_status(kind, reason);
}
