/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* simboard: the simulated vandrel board (its logic and its RAM in a file) and
 * the board's 8051 on ucsim's s51, for machines without the board.
 *
 * The port-access layer loads this library (SIMBOARD_LIBRARY, with dlopen)
 * when a program first selects the simulated board, and drives the board
 * through the functions below; a program that never selects it never loads
 * it. One board serves a process, whichever port addresses it uses.
 */
#ifndef SIMBOARD_H
#define SIMBOARD_H

#if defined(__GNUC__)
#define SIMBOARD_API __attribute__((visibility("default")))
#else
#define SIMBOARD_API
#endif

/* The file the port-access layer loads, found beside it in its private folder. */
#define SIMBOARD_LIBRARY "libquillon-simboard.so"

#ifdef __cplusplus
extern "C" {
#endif

struct simboard_settings {
    const char* ram;        /* the RAM file; created with its folder when missing */
    const char* fault;      /* DLPORTIO_SIM_FAULT: "", no-board, stuck-low, flip=N, slow=N */
    const char* mcu;        /* "" (the board only stores bytes) or "s51" */
    const char* uart_log;   /* the 8051's UART output is appended here; "" drops it */
    const char* ports_file; /* the 8051's port latches at its last stop; "" keeps none */
    const char* uart_link;  /* non-empty: the UART is a pseudo-terminal too, linked here */
    /* Where the board's messages go, one line each without its end. */
    void (*tell)(const char* line);
};

struct simboard;

/* Opens the board on its RAM file. NULL when it cannot, and *why (valid until
 * the next call) says why and what to do. */
SIMBOARD_API struct simboard* simboard_open(const struct simboard_settings* settings,
                                            const char** why);
/* Stops an 8051 that still runs and writes the RAM back to its file. */
SIMBOARD_API void simboard_close(struct simboard* board);

/* The byte on the port's data lines, and the port's status register. */
SIMBOARD_API void simboard_write_data(struct simboard* board, unsigned char value);
SIMBOARD_API unsigned char simboard_read_status(struct simboard* board);
/* A pause of `ms` on the port: the board's logic needs no real time to settle,
 * so it passes at once. */
SIMBOARD_API void simboard_pass_time(struct simboard* board, unsigned long ms);

/* The board's 8051 (mcu "s51"): it starts when the reset line falls and stops
 * when the line rises, or on its own. These act on the board opened last. */

enum simboard_end {
    SIMBOARD_NOT_ENDED = 0, /* no run yet, or the run goes on */
    SIMBOARD_EXITED = 1,    /* the firmware called vandrel_sim_exit() */
    SIMBOARD_BUDGET = 2,    /* the cycle budget ran out */
    SIMBOARD_HELD = 3,      /* the reset line rose */
    SIMBOARD_FAILED = 4     /* it did not start, or stopped for another reason */
};

struct simboard_run {
    int running;               /* 1 while the 8051 runs */
    int end;                   /* how the last run ended: enum simboard_end */
    int result;                /* the firmware's result byte, for SIMBOARD_EXITED */
    unsigned long long cycles; /* machine cycles the run took, once it stopped */
    double wall_seconds;       /* wall time from its start to its stop */
    const char* text;          /* for SIMBOARD_FAILED, what happened; valid until the next call */
};

/* 1 when the board has an 8051 that runs firmware; otherwise 0, and *why
 * (if why is not NULL) says why not. */
SIMBOARD_API int simboard_cpu(const char** why);

/* For the runs that start from now on, also on a board opened later: stop
 * after `cycles` machine cycles (0: no limit), and feed the file `uart_input`
 * to the UART's receive side at the baud rate the firmware sets (NULL or "":
 * no input). */
SIMBOARD_API void simboard_plan(unsigned long long cycles, const char* uart_input);

/* Returns once the running 8051 has printed on its UART (the text is then in
 * the UART log) or has stopped, or after timeout_ms, whichever comes first;
 * at once when no 8051 runs. For following a run without a fixed tick. */
SIMBOARD_API void simboard_wait(unsigned long timeout_ms);

/* Fills *run with the state of the current or last run; notices an 8051 that
 * stopped on its own (it then stays stopped until the reset line rises). */
SIMBOARD_API void simboard_poll(struct simboard_run* run);

#ifdef __cplusplus
}
#endif

#endif /* SIMBOARD_H */
