/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's one way to its user: lines for the port-access layer's standard
// error, through the teller it gives when it opens the board.
#pragma once

#include <string>

namespace sim {

// Where lines go from now on; nullptr: standard error, after "dlportio: ".
void set_teller(void (*teller)(const char* line));

void tell(const std::string& text);

}  // namespace sim
