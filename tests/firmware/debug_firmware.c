/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Test firmware for the debugger, built with --debug: a loop with a local in
 * a register, a global in internal RAM, an array and a structure in external
 * RAM, a call to step over or into, and a verdict that depends on the
 * global, so a session that changes it changes the result. The tests find
 * their lines by the markers in the comments. */
#include <8051.h>
#include <vandrel_sim.h>

struct reading {
    int value;
    unsigned char channel;
};

__xdata __at(0x1800) unsigned char samples[4];
__xdata struct reading last;
int sum;

static int scaled(int raw) {
    int doubled = raw * 2; /* scaled body */
    return doubled + 1;
}

static void say(char c) {
    SBUF = c;
    while (!TI) {
    }
    TI = 0;
}

void main(void) {
    unsigned char i;

    SCON = 0x50; /* mode 1, 9600 baud from timer 1 at 11.0592 MHz */
    TMOD = 0x20;
    TH1 = 0xFD;
    TR1 = 1;
    sum = 0;
    for (i = 0; i < 4; i++) {
        samples[i] = i + 1; /* loop body */
        sum += scaled(i);   /* the call */
    }
    last.value = sum; /* after the loop */
    last.channel = 3;
    say('o');
    say('k');
    say('\n');
    vandrel_sim_exit(sum == 16 ? 0 : 1);
}
