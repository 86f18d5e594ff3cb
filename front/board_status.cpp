// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The start status line from the board query's answer.
#include "board_status.h"

#include "vandrel.h"
#include "vandrel_board.h"

QString board_status(const board_query::Board& board) {
    switch (board.reach) {
        case board_query::Reach::simulated:
            return QStringLiteral("ready (simulated board)");
        case board_query::Reach::none: {
            const QString why = QString::fromLocal8Bit(board.text.c_str()).trimmed();
            return why.isEmpty() ? QStringLiteral("no board can be reached") : why;
        }
        case board_query::Reach::port:
            break;
    }
    return QStringLiteral("ready");
}

QString board_status_at(std::uint16_t port_address) {
    return board_status(board_query::board_at(port_address));
}

PortWatch::PortWatch()
    : port_(set_Port(VANDREL_PORT_QUERY)), before_(board_query::failed_accesses(port_).count) {}

QString PortWatch::failure() const {
    const auto text = board_query::failure_since(port_, before_);
    return text ? QString::fromLocal8Bit(text->c_str()) : QString();
}
