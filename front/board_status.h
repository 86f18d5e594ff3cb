/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The status line at start tells which board the selected port reaches: the
// simulated one, a real port, or none (then the port-access layer's reason;
// transfers stay allowed, and read 0xFF bytes).
#pragma once

#include <QString>
#include <cstdint>

// kind is a dlportio_kind; reason the layer's one line about the back end.
QString board_status(int kind, const char* reason);

// Sets up the port-access layer's back end for this port and tells its status.
QString board_status_at(std::uint16_t port_address);
