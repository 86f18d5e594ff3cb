/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware that leaves its marks, then prints a text and at once ends
 * with RESULT: 256 bytes of external data memory at 0x1100 (byte i holds
 * i ^ 0xA5), P1 = 0x42, then "hello DONE" on the UART. A run stopped at the
 * text shows whether the RAM and ports read back are those of the stop. */
#include <8051.h>
#include <vandrel_sim.h>

#ifndef RESULT
#define RESULT 0
#endif

__xdata __at(0x1100) unsigned char marks[256];

static void uart_put(char c) {
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

void main(void) {
    const char* text = "hello DONE";
    unsigned int i;

    SCON = 0x50; /* mode 1, 9600 baud from timer 1 at 11.0592 MHz */
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    for (i = 0; i < sizeof marks; ++i) {
        marks[i] = (unsigned char)(i ^ 0xA5);
    }
    P1 = 0x42;
    while (*text) {
        uart_put(*text++);
    }
    vandrel_sim_exit(RESULT);
}
