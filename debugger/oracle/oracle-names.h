/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* A module whose file name is no C name: SDCC renames it in its records. */
#include <stdint.h>

int16_t named_sum(int16_t base);
