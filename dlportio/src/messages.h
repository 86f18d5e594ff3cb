/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The layer's one way to standard error, so that a caller that reports for
// itself can silence it.
#pragma once

#include <string>

namespace dlportio {

// Writes "dlportio: <text>" and a newline to standard error, unless quiet.
void tell(const std::string& text);
// Standard output ends inside a line: the next line told starts a new one.
void set_line_open(bool open);

void set_quiet(bool on);

}  // namespace dlportio
