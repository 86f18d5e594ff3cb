/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Portable C that gcc builds for the host and sdcc for the 8051, so gdb's
 * answers on the one are the reference for the debugger's on the other:
 * signed and unsigned globals, a float, nested structures with bit-fields,
 * arrays, a recursion, a function-static initialiser and a call into a
 * module whose file name holds a hyphen. */
#include <stdint.h>
#ifdef __SDCC
#include <vandrel_sim.h>
#endif

#include "oracle-names.h"

struct inner {
    int8_t sb : 4;
    uint8_t ub : 3;
};

struct node {
    int16_t id;
    char tag[5];
    struct inner bits;
};

int8_t g_s8 = -5;
uint16_t g_u16 = 40000u;
int32_t g_s32 = -70000;
float g_f = 3.14159274f;
struct node g_node = {7, "node", {-3, 5}};
int16_t g_arr[3] = {-1, 2, -300};
char g_run[16] = "aaaaaaaaaaaaab";

int16_t twice(int16_t a) {
    int16_t r = a * 2;
    return r;
}

int16_t depth(int16_t n) {
    if (n == 0)
        return 0;
    return depth(n - 1) + 1;
}

int16_t counted(void) {
    static int8_t calls = 40;
    calls++;
    return calls;
}

int16_t helper(int16_t x, int16_t y) {
    int16_t sum = x + y;
    sum = twice(sum) + 1;
    return sum;
}

int main(void) {
    int16_t v = helper(-3, 1);
    v += depth(2);
    v += counted();
    v += named_sum(v);
    g_s8 = (int8_t)v;
#ifdef __SDCC
    vandrel_sim_exit(0);
#else
    return 0;
#endif
}
