/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated board as a back end. Its library is loaded the first time a
// program selects it, so that a program on a real port never loads it.
#pragma once

#include <string>

#include "backend.h"

namespace dlportio {

// One of the files of an open simulated board ("ram", "uart", "ports"), as the
// board names it; null for an unknown name.
const char* simulated_board_path(void* board, const char* what);

Opened open_simulated(const Machine& machine, const std::string& place);

}  // namespace dlportio
