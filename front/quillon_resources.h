/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The program's string table and icons.
#pragma once

namespace quillon {

// Hands the tables to the windowing layer; the application does it at start.
void install_resources();

}  // namespace quillon
