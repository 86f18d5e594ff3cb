/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The status line at start tells which board the selected port reaches: the
// simulated one, a real port, or none (then the port-access layer's reason;
// transfers stay allowed, and read 0xFF bytes).
#pragma once

#include <board_query.h>

#include <QString>
#include <cstdint>

QString board_status(const board_query::Board& board);

// Sets up the back end for this port and tells its status.
QString board_status_at(std::uint16_t port_address);

// Counts the port accesses that fail during one command: made before it,
// asked after it. A transfer the port failed under is no success.
class PortWatch {
public:
    PortWatch();
    // Why the command's result does not count, or an empty text.
    QString failure() const;

private:
    std::uint16_t port_;
    unsigned long before_;
};
