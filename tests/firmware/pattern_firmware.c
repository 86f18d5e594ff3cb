/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware for the simulated vandrel board. It fills 256 bytes of
 * external data memory from PATTERN_ADDRESS with i ^ PATTERN_SEED, sets port
 * P1 to P1_VALUE, prints GREETING on the UART at 9600 baud and then idles, so
 * a download afterwards can check all three. Code and external data share the
 * board's 32 KB: the code lives below PATTERN_ADDRESS. */
#include <8051.h>

#ifndef PATTERN_SEED
#define PATTERN_SEED 0x5A
#endif
#ifndef P1_VALUE
#define P1_VALUE 0x55
#endif
#ifndef GREETING
#define GREETING "vandrel firmware"
#endif

__xdata __at(0x1000) unsigned char pattern[256];

static void uart_put(char c) {
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

void main(void) {
    unsigned int i;
    const char* text = GREETING "\r\n";

    for (i = 0; i < 256; i++) {
        pattern[i] = (unsigned char)(i ^ PATTERN_SEED);
    }
    P1 = P1_VALUE;

    /* Mode 1, timer 1 reloading 0xFD: 9600 baud at 11.0592 MHz. */
    SCON = 0x50;
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    while (*text) {
        uart_put(*text++);
    }
    for (;;) {
    }
}
