/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware that echoes every byte its UART receives and keeps them in
 * external data memory from 0x1000 (the count at 0x10FF), so a download shows
 * what arrived. It ends the run when it receives a '.'. Built with DELAY it
 * also spends that many loop turns on each byte: a reader slower than the line. */
#include <8051.h>
#include <vandrel_sim.h>

__xdata __at(0x1000) unsigned char received[255];
__xdata __at(0x10FF) unsigned char count;

void main(void) {
    unsigned char c;
#ifdef DELAY
    volatile unsigned int turn;
#endif

    count = 0;
    SCON = 0x50; /* mode 1, receiver on, 9600 baud from timer 1 */
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    for (;;) {
        while (!RI) {
        }
        c = SBUF;
        RI = 0;
#ifdef DELAY
        for (turn = 0; turn < DELAY; ++turn) {
        }
#endif
        if (count < sizeof received) {
            received[count++] = c;
        }
        SBUF = c;
        while (!TI) {
        }
        TI = 0;
        if (c == '.') {
            vandrel_sim_exit(0);
        }
    }
}
