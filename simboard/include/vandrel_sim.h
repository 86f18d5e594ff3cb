/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: MIT */
/* vandrel_sim.h: for firmware of the vandrel board that runs on the simulated
 * board (quillon-cli run with DLPORTIO_SIM_MCU=s51).
 *
 *   #include <vandrel_sim.h>
 *   ...
 *   vandrel_sim_exit(failures);   // ends the run; 0 means passed
 *
 * vandrel_sim_exit(result) stores the result byte and ends the simulation at
 * once; quillon-cli run then exits 0 for a result of 0 and 5 for any other.
 * It does not return: on the real board it stops the firmware in an endless
 * loop, and its two writes go to special-function-register addresses that the
 * 8051 and 8052 do not implement, where writes have no effect. So the same
 * image runs on the simulated and on the real board.
 *
 * The 8051 part needs SDCC (-mmcs51); other compilers see only the addresses,
 * which the simulated board reads from here as well.
 */
#ifndef VANDREL_SIM_H
#define VANDREL_SIM_H

/* The simulator's command register, and where the result waits for it. */
#define VANDREL_SIM_COMMAND_SFR 0xFF
#define VANDREL_SIM_RESULT_SFR 0xFE
/* The command that ends the simulation. */
#define VANDREL_SIM_STOP 's'

#if defined(__SDCC_mcs51)
__sfr __at(VANDREL_SIM_COMMAND_SFR) VANDREL_SIM_COMMAND;
__sfr __at(VANDREL_SIM_RESULT_SFR) VANDREL_SIM_RESULT;

#define vandrel_sim_exit(result)                                \
    do {                                                        \
        VANDREL_SIM_RESULT = (unsigned char)(result);           \
        VANDREL_SIM_COMMAND = VANDREL_SIM_STOP;                 \
        for (;;) {                                              \
        }                                                       \
    } while (0)
#endif

#endif /* VANDREL_SIM_H */
