/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware whose every output depends on nothing but the machine cycles
 * it ran: timer 0 interrupts count overflows into external data memory at
 * 0x1000, the main loop counts its turns at 0x1004 and mirrors them on P1,
 * and every 256th turn it prints the turn count on the UART. Idle, it also
 * stands in for a busy firmware. */
#include <8051.h>

__xdata __at(0x1000) volatile unsigned long overflows;
__xdata __at(0x1004) volatile unsigned long turns;

void timer0_isr(void) __interrupt(1) {
    overflows++;
}

static void uart_put(char c) {
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

static void print_hex(unsigned long value) {
    signed char shift;
    for (shift = 28; shift >= 0; shift -= 4) {
        uart_put("0123456789ABCDEF"[(value >> shift) & 0x0F]);
    }
    uart_put('\r');
    uart_put('\n');
}

void main(void) {
    overflows = 0;
    turns = 0;
    SCON = 0x50;
    TMOD = 0x21; /* timer 1: baud rate; timer 0: 16-bit counter */
    TH1 = 0xFD;
    TR1 = 1;
    ET0 = 1;
    EA = 1;
    TR0 = 1;
    for (;;) {
        turns++;
        P1 = (unsigned char)turns;
        if ((turns & 0xFF) == 0) {
            print_hex(turns);
        }
    }
}
