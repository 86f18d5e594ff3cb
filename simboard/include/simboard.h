/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* simboard: the simulated vandrel board (its logic and its RAM in a file) and
 * the board's 8051 on ucsim's s51, for machines without the board.
 *
 * The port-access layer loads this library (SIMBOARD_LIBRARY, with dlopen)
 * when a program first selects the simulated board, and drives the board
 * through the functions below; a program that never selects it never loads
 * it. The board reads its own settings (DLPORTIO_SIM_*) when it opens. The
 * programs reach the board's 8051 through the handle the port-access layer
 * gives for a port (dlportio_simulated_board), so every call below names the
 * board it is about.
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

struct simboard;

/* Opens the board as the environment sets it up (DLPORTIO_SIM_RAM, _FAULT,
 * _MCU, _UART). Its messages go to `tell`, one line each without its end
 * (NULL: standard error). NULL when it cannot open, and *why (valid until the
 * next call) says why and what to do. */
SIMBOARD_API struct simboard* simboard_open(void (*tell)(const char* line), const char** why);
/* Stops an 8051 that still runs and writes the RAM back to its file. */
SIMBOARD_API void simboard_close(struct simboard* board);

/* The byte on the port's data lines, and the port's status register. */
SIMBOARD_API void simboard_write_data(struct simboard* board, unsigned char value);
SIMBOARD_API unsigned char simboard_read_status(struct simboard* board);
/* A pause on the port: the board's logic needs no real time to settle, so any
 * pause passes at once. */
SIMBOARD_API void simboard_pass_time(struct simboard* board);

/* One line that names the board, e.g. "sim (RAM /path, fault flip=3)". */
SIMBOARD_API const char* simboard_describe(struct simboard* board);
/* Path of one of the board's files: "ram", "uart" (the 8051's UART output),
 * "ports" (its last port latches); "" when it has none, NULL for an unknown
 * name. Valid while the board is open. */
SIMBOARD_API const char* simboard_path(struct simboard* board, const char* what);

/* The board's 8051 (DLPORTIO_SIM_MCU=s51): it starts when the reset line
 * falls and stops when the line rises, or on its own. */

/* 1 when the board has an 8051 that runs firmware; otherwise 0, and *why
 * (if why is not NULL) says why not. */
SIMBOARD_API int simboard_cpu(struct simboard* board, const char** why);

struct simboard_run_plan {
    unsigned long long cycles; /* stop after this many machine cycles; 0: no limit */
    const char* uart_input;    /* file fed to the UART's receive side; NULL or "": none */
    int debug;                 /* 1: the 8051 pauses at its start and at breakpoints */
    /* Texts that end the run at the instruction that writes their last byte
     * to SBUF: the one awaited and the one that fails it. NULL or "": none. */
    const char* until_uart;
    const char* fail_uart;
};

/* For the runs that start from now on. */
SIMBOARD_API void simboard_plan(struct simboard* board, const struct simboard_run_plan* plan);

/* Where a run is: how it ended, or that it goes on. One list for the board,
 * the board query and the programs. */
enum simboard_end {
    SIMBOARD_NOT_ENDED = 0, /* no run yet, or the run goes on (running or paused) */
    SIMBOARD_EXITED = 1,    /* the firmware called vandrel_sim_exit() */
    SIMBOARD_BUDGET = 2,    /* the cycle budget ran out */
    SIMBOARD_HELD = 3,      /* the reset line rose */
    SIMBOARD_FAILED = 4,    /* it did not start, or stopped for another reason */
    SIMBOARD_UART_TEXT = 5  /* the firmware sent one of the plan's UART texts */
};

/* Which of the plan's texts a SIMBOARD_UART_TEXT run sent. */
enum simboard_uart_text { SIMBOARD_UNTIL_TEXT = 1, SIMBOARD_FAIL_TEXT = 2 };

struct simboard_run {
    int running;               /* 1 while the 8051 runs */
    int paused;                /* 1 while a debugged 8051 waits (at its start, a breakpoint) */
    int end;                   /* enum simboard_end */
    int result;                /* the firmware's result byte, for SIMBOARD_EXITED */
    unsigned long long cycles; /* machine cycles run, once stopped or paused */
    unsigned pc;               /* where it stopped or paused */
    double wall_seconds;       /* wall time from its start to its stop */
    const char* text;          /* for SIMBOARD_FAILED, what happened; valid until the next call */
    int uart_text;             /* for SIMBOARD_UART_TEXT: enum simboard_uart_text */
};

/* Returns once the running 8051 has printed on its UART (the text is then in
 * the UART log), has stopped or paused, or after timeout_ms, whichever comes
 * first; at once when no 8051 runs. For following a run without a tick. */
SIMBOARD_API void simboard_wait(struct simboard* board, unsigned long timeout_ms);

/* Fills *run with the state of the current or last run; notices an 8051 that
 * stopped or paused on its own. */
SIMBOARD_API void simboard_poll(struct simboard* board, struct simboard_run* run);

/* Debugging (plan.debug = 1). Memory spaces of the 8051: */
enum simboard_space {
    SIMBOARD_CODE = 0,  /* the board's RAM as code */
    SIMBOARD_XDATA = 1, /* the board's RAM as external data (the same 32 KB) */
    SIMBOARD_IDATA = 2, /* internal RAM, 0x00 to 0x7F */
    SIMBOARD_SFR = 3    /* special function registers, 0x80 to 0xFF */
};

/* While the 8051 is paused: reads or writes `size` bytes at `address`.
 * 1 on success; 0, and the run's text says why, otherwise. */
SIMBOARD_API int simboard_read(struct simboard* board, int space, unsigned address,
                               unsigned char* bytes, unsigned size);
SIMBOARD_API int simboard_write(struct simboard* board, int space, unsigned address,
                                const unsigned char* bytes, unsigned size);

/* A breakpoint at a code address, kept across resumes until it is cleared;
 * 1 on success. */
SIMBOARD_API int simboard_break(struct simboard* board, unsigned address);
SIMBOARD_API int simboard_clear(struct simboard* board, unsigned address);

/* Lets a paused 8051 run on. It also pauses at the first of the `count`
 * addresses in `once` it reaches (breakpoints for this resume only). 1 when
 * it runs. */
SIMBOARD_API int simboard_resume(struct simboard* board, const unsigned* once, unsigned count);
/* Asks a running 8051 to pause; simboard_poll tells when it has. */
SIMBOARD_API void simboard_pause(struct simboard* board);

/* A watch: the 8051 pauses after it reads (access 'r') or writes ('w') the
 * byte at `address` of `space` (SIMBOARD_XDATA, SIMBOARD_IDATA, or
 * SIMBOARD_CODE for reads), until it is unwatched. While paused; 1 on success. */
SIMBOARD_API int simboard_watch(struct simboard* board, int space, unsigned address, int access);
SIMBOARD_API int simboard_unwatch(struct simboard* board, int space, unsigned address, int access);
/* 1 when a watch made the 8051 pause, with the byte's space and address and
 * the access ('r' or 'w'); 0 when the pause had another cause. */
SIMBOARD_API int simboard_watched(struct simboard* board, int* space, unsigned* address,
                                  int* access);
/* While paused: the simulator's disassembly of `count` instructions from
 * `address`, a line each, "ADDRESS BYTE... <tab>TEXT" in hexadecimal
 * ("59 f0\tMOVX @DPTR,A"), into `text` (ended by NUL, cut at `size`). The
 * number of instructions written; 0 when it cannot. */
SIMBOARD_API unsigned simboard_disassemble(struct simboard* board, unsigned address, unsigned count,
                                           char* text, unsigned size);

#ifdef __cplusplus
}
#endif

#endif /* SIMBOARD_H */
