/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
/* Loads the image file named on the command line and uploads it to the board. */
#include <stdio.h>
#include <vandrel.h>

int main(int argc, char** argv) {
    if (argc != 2 || read_file(argv[1]) == 0 || write_ram() == 0) {
        fprintf(stderr, "upload failed: %s\n", argc == 2 ? get_LastError() : "no file");
        return 1;
    }
    printf("%s %u [%04X]\n", get_version(), get_bufsize(), get_chsum());
    return 0;
}
