/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* A port-access library of the oldest kind: the two byte functions and
 * nothing else, for checking that libvandrel loads and waits against it. */
#include "dlportio.h"

DLPORTIO_API unsigned char two_byte_functions_last_written;

void DlPortWritePortUchar(unsigned long Port, unsigned char Value) {
    (void)Port;
    two_byte_functions_last_written = Value;
}

unsigned char DlPortReadPortUchar(unsigned long Port) {
    (void)Port;
    return 0x7F;
}
