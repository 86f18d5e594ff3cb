/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* A module whose file name is no C name: SDCC renames it in its records. */
#include "oracle-names.h"

int16_t g_named = 12;

int16_t named_sum(int16_t base) {
    int16_t total = base + g_named;
    return total;
}
