/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware that sets P1 and then only loops: it writes nothing into the
 * board's RAM, however long it runs. */
#include <8051.h>

void main(void) {
    P1 = 0x33;
    for (;;) {
    }
}
