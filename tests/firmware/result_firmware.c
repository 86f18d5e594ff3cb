/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware that ends its own run: it prints MESSAGE on the UART, writes
 * RESULT into external data memory at 0x1000 (so a download shows that it
 * ran) and hands RESULT to vandrel_sim_exit(). Built as "pass" (0), "fail"
 * (non-zero) and "prompt" (a message without a line end). */
#include <8051.h>
#include <vandrel_sim.h>

#ifndef RESULT
#define RESULT 0
#endif
#ifndef MESSAGE
#define MESSAGE "PASS\r\n"
#endif

__xdata __at(0x1000) unsigned char outcome;

static void uart_put(char c) {
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

void main(void) {
    const char* text = MESSAGE;

    SCON = 0x50; /* mode 1, 9600 baud from timer 1 at 11.0592 MHz */
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    while (*text) {
        uart_put(*text++);
    }
    outcome = RESULT;
    P1 = 0x3C;
    vandrel_sim_exit(RESULT);
}
