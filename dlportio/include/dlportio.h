/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* dlportio: byte access to I/O port addresses, as the vandrel library needs it.
 *
 * The back end is chosen once per base address, at its first use, from
 * DLPORTIO_BACKEND (auto, sim, ppdev, direct). The two byte functions cannot
 * report an error: problems are told once per base address on standard error
 * (unless dlportio_quiet), and dlportio_setup tells them to a caller that asks.
 */
#ifndef DLPORTIO_H
#define DLPORTIO_H

#if defined(__GNUC__)
#define DLPORTIO_API __attribute__((visibility("default")))
#else
#define DLPORTIO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

DLPORTIO_API void DlPortWritePortUchar(unsigned long Port, unsigned char Value);
DLPORTIO_API unsigned char DlPortReadPortUchar(unsigned long Port);

/* What serves a base address; the back end itself is named by
 * dlportio_backend_name. */
enum dlportio_kind {
    DLPORTIO_NO_BOARD = 0, /* nothing stored, the data input reads high */
    DLPORTIO_SIMULATED = 1,
    DLPORTIO_REAL_PORT = 2 /* a parallel port of the machine, through any back end */
};

/* Sets up the back end for this base address if not done yet (this may open
 * and claim a device) and returns its kind (enum dlportio_kind). If text is not NULL, *text
 * receives one line: the back end's description, or why no board can be
 * reached and what to do. Valid for the life of the process. */
DLPORTIO_API int dlportio_setup(unsigned long Port, const char** text);

/* A short text naming the back end that serves this base address (for
 * diagnostics such as `quillon-cli info`), "none: <why>" when there is no
 * board. Like dlportio_setup, it sets the back end up (opening and claiming a
 * device) if that was not done yet. Valid for the life of the process. */
DLPORTIO_API const char* dlportio_backend_name(unsigned long Port);

/* The I/O address that really serves this base address: the one DLPORTIO_BASE
 * or DLPORTIO_DEVICE takes it to on a real port, otherwise Port itself. Sets
 * the back end up like dlportio_setup. */
DLPORTIO_API unsigned long dlportio_address(unsigned long Port);

/* A pause of ms milliseconds on the board at this base address, e.g. while
 * its reset line is held. Returns 1 when the pause has passed in the board's
 * own time: the simulated board takes it at once. Returns 0 for a real port,
 * and the caller sleeps the real time. Callers that may meet an older layer
 * look this function up at run time and sleep when it is missing. */
DLPORTIO_API int dlportio_pass_time(unsigned long Port, unsigned long ms);

/* The port accesses at this base address that failed since its back end was
 * opened, e.g. on a device that went away (ENODEV, EIO). If last_error is not
 * NULL, *last_error receives the system's reason for the last one (an errno
 * value; 0 when none failed). The two byte functions cannot report an error:
 * a caller asks this after a transfer, whose bytes are worthless once the
 * count has grown. Sets the back end up like dlportio_setup. */
DLPORTIO_API unsigned long dlportio_failed_accesses(unsigned long Port, int* last_error);

/* Reads the data register at this base address back: on most ports the
 * levels on its eight pins, so that a line held by a short shows. Returns 1
 * and sets *value; 0 where the back end cannot read it back (the simulated
 * board, no board, a failed access). Sets the back end up like
 * dlportio_setup. */
DLPORTIO_API int dlportio_read_data(unsigned long Port, unsigned char* value);

/* on != 0: the layer prints nothing on standard error (callers report
 * themselves, e.g. with dlportio_setup's text). */
DLPORTIO_API void dlportio_quiet(int on);

/* on != 0: the program's standard output ends inside a line (a firmware's
 * UART text, say): the layer's next line starts with a line end, so it never
 * lands inside that text. */
DLPORTIO_API void dlportio_line_open(int on);

/* Writes out what the trace (DLPORTIO_TRACE) has gathered, with the run of
 * reads in progress as far as it went. The layer writes its trace by itself
 * when the process exits or the layer shuts down; a program that ends on a
 * signal calls this from its own handler, as the last thing before it ends.
 * Safe in a signal handler. */
DLPORTIO_API void dlportio_trace_flush(void);

/* For a base address the simulated board serves: that board's handle, a
 * struct simboard* for the simulated board's own functions (simboard.h, in
 * the library the layer loaded); NULL for any other base address. Sets the
 * back end up like dlportio_setup. */
DLPORTIO_API void* dlportio_simulated_board(unsigned long Port);

/* Path of one of the simulated board's files: "ram", "uart" (its 8051's UART
 * output), "ports" (its last port latches); NULL for an unknown name. When no
 * base address set up so far is served by the simulated board, it sets 0x378
 * up (the port the board link library starts on) like dlportio_setup, as
 * older callers that asked before any port access relied on; "" when that one
 * is not served by it either. Kept for older callers: the board's own
 * simboard_path tells the same. */
DLPORTIO_API const char* dlportio_path(const char* what);

#ifdef __cplusplus
}
#endif

#endif /* DLPORTIO_H */
