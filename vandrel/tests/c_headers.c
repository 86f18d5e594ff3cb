/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Users' C programs include the installed headers: this file fails the build if
 * either stops being plain C or the port table and its query index disagree. */
#include "vandrel.h"
#include "vandrel_board.h"

const unsigned short vandrel_c_port_bases[] = VANDREL_PORT_BASES;

_Static_assert(VANDREL_PORT_QUERY >= sizeof vandrel_c_port_bases / sizeof vandrel_c_port_bases[0],
               "the query index must lie past the port table");
