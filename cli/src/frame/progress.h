/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The one-line progress display on a terminal, fed by the library's callback.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qcli {

// "upload   45% [#########           ] 14848/32768 bytes  3.2 s"
std::string progress_line(std::string_view label, std::uint16_t position, std::uint16_t total,
                          double elapsed_seconds);

// Registers the callback with the library when standard error is a terminal
// and quiet is off; otherwise transfers report nothing.
void progress_install(bool quiet);
// Names the transfer that starts next and starts its clock.
void progress_begin(std::string_view label);

}  // namespace qcli
