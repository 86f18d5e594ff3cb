/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The bash completion script, made from the command and option tables at
// build time, so that it offers exactly what the program takes.
#pragma once

#include <ostream>

namespace qcli {

void print_completion(std::ostream& out);

}  // namespace qcli
