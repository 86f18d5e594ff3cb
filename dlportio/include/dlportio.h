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

enum dlportio_kind {
    DLPORTIO_NO_BOARD = 0, /* nothing stored, the data input reads high */
    DLPORTIO_SIMULATED = 1,
    DLPORTIO_PPDEV = 2,
    DLPORTIO_DIRECT = 3
};

/* Sets up the back end for this base address if not done yet (this may open
 * and claim a device) and returns its kind. If text is not NULL, *text
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

/* on != 0: the layer prints nothing on standard error (callers report
 * themselves, e.g. with dlportio_setup's text). */
DLPORTIO_API void dlportio_quiet(int on);

/* Writes out what the trace (DLPORTIO_TRACE) has gathered, with the run of
 * reads in progress as far as it went. The layer writes its trace by itself
 * when the process exits or the layer shuts down; a program that ends on a
 * signal calls this from its own handler, as the last thing before it ends.
 * Safe in a signal handler. */
DLPORTIO_API void dlportio_trace_flush(void);

/* Path of one of the layer's files: "ram" (the simulated board's RAM),
 * "uart" (the simulated 8051's UART output), "ports" (its last port latches).
 * An empty string when no place for it is known (no home folder); NULL for an
 * unknown name. Valid for the life of the process. */
DLPORTIO_API const char* dlportio_path(const char* what);

/* The simulated board's 8051 (DLPORTIO_SIM_MCU=s51): it starts when the reset
 * line falls and stops when the line rises, or on its own. */

enum dlportio_sim_end {
    DLPORTIO_SIM_NOT_ENDED = 0, /* no run yet, or the run goes on */
    DLPORTIO_SIM_EXITED = 1,    /* the firmware called vandrel_sim_exit() */
    DLPORTIO_SIM_BUDGET = 2,    /* the cycle budget ran out */
    DLPORTIO_SIM_HELD = 3,      /* the reset line rose */
    DLPORTIO_SIM_FAILED = 4     /* it did not start, or stopped for another reason */
};

struct dlportio_sim_run {
    int running;               /* 1 while the 8051 runs */
    int end;                   /* how the last run ended: enum dlportio_sim_end */
    int result;                /* the firmware's result byte, for DLPORTIO_SIM_EXITED */
    unsigned long long cycles; /* machine cycles the run took, once it stopped */
    double wall_seconds;       /* wall time from its start to its stop */
    const char* text; /* for DLPORTIO_SIM_FAILED, what happened; valid until the next call */
};

/* 1 when the board at this base address is the simulated one with an 8051
 * that runs firmware; otherwise 0, and *text (if text is not NULL) says why.
 * Sets the back end up like dlportio_setup. */
DLPORTIO_API int dlportio_sim_cpu(unsigned long Port, const char** text);

/* For the runs that start from now on: stop after `cycles` machine cycles
 * (0: no limit), and feed the file `uart_input` to the UART's receive side at
 * the baud rate the firmware sets (NULL or "": no input). */
DLPORTIO_API void dlportio_sim_plan(unsigned long long cycles, const char* uart_input);

/* Returns once the running 8051 has printed on its UART (the text is then in
 * the UART log) or has stopped, or after timeout_ms, whichever comes first;
 * at once when no 8051 runs. For following a run without a fixed tick. */
DLPORTIO_API void dlportio_sim_wait(unsigned long timeout_ms);

/* Fills *run with the state of the current or last run; notices an 8051 that
 * stopped on its own (it then stays stopped until the reset line rises). */
DLPORTIO_API void dlportio_sim_poll(struct dlportio_sim_run* run);

#ifdef __cplusplus
}
#endif

#endif /* DLPORTIO_H */
