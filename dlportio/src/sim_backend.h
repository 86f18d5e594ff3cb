/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The files of a simulated board the layer opened, for the layer's queries.
// The board is the sim back end (sim_backend.cpp), whose library is loaded the
// first time a program selects it, so that a program on a real port never
// loads it.
#pragma once

namespace dlportio {

// One of the files of an open simulated board ("ram", "uart", "ports"), as the
// board names it; null for an unknown name.
const char* simulated_board_path(void* board, const char* what);

}  // namespace dlportio
