/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vandrel_board.h: the vandrel board as libvandrel.so drives it, for programs
 * that offer its ports or check its cable. Constants only: nothing here is
 * exported by the library, and the header is plain C; C++17 and later also get
 * typed copies in namespace vandrel::board.
 */
#ifndef VANDREL_BOARD_H
#define VANDREL_BOARD_H

/* Bytes of board RAM from address 0, and so of the library's transfer buffer. */
#define VANDREL_RAM_SIZE 32768u

/* The parallel ports' I/O base addresses in set_Port's index order: set_Port(i)
 * selects row i. A port more is one row more. */
/* clang-format off */
#define VANDREL_PORT_BASES \
    {                      \
        0x278u,            \
        0x378u,            \
        0x3BCu,            \
    }
/* clang-format on */
/* Index of the row in force when the library is loaded (0x378). */
#define VANDREL_PORT_INDEX_AT_LOAD 1u
/* An index past the table: set_Port(VANDREL_PORT_QUERY) changes nothing and
 * returns the port in force. */
#define VANDREL_PORT_QUERY 255u

/* The status register lies one address above the port's base (the data register). */
#define VANDREL_STATUS_OFFSET 1u

/* Data register, one line a bit (bit 0 is pin 2, bit 7 pin 9). */
#define VANDREL_LINE_DATA 0x01u                /* serial data into the board */
#define VANDREL_LINE_CLOCK 0x02u               /* shift clock, on its rising edge */
#define VANDREL_LINE_LOAD 0x04u                /* clock loads the RAM byte for reading out */
#define VANDREL_LINE_RESET 0x08u               /* high: board held, its RAM on the PC's side */
#define VANDREL_LINE_LOW_ADDRESS_STROBE 0x10u  /* rising edge latches the address's low byte */
#define VANDREL_LINE_HIGH_ADDRESS_STROBE 0x20u /* rising edge latches its high byte */
#define VANDREL_LINE_READ_STROBE 0x40u         /* active low: the RAM drives the bus */
#define VANDREL_LINE_WRITE_STROBE 0x80u        /* active low: falling edge stores a byte */

/* Status register: the board's serial data out (pin 10). */
#define VANDREL_STATUS_DATA_INPUT 0x40u

/* Whole data-register levels: both strobes inactive, reset low (the board runs)
 * or high (the board is held and the PC may use its RAM). */
#define VANDREL_LEVELS_RUNNING (VANDREL_LINE_READ_STROBE | VANDREL_LINE_WRITE_STROBE)
#define VANDREL_LEVELS_HELD (VANDREL_LEVELS_RUNNING | VANDREL_LINE_RESET)

#if defined(__cplusplus) && __cplusplus >= 201703L
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace vandrel::board {

inline constexpr std::size_t kRamSize = VANDREL_RAM_SIZE;

inline constexpr std::uint16_t kPortBases[] = VANDREL_PORT_BASES;
inline constexpr std::uint8_t kPortIndexAtLoad = VANDREL_PORT_INDEX_AT_LOAD;
inline constexpr std::uint8_t kPortQuery = VANDREL_PORT_QUERY;
static_assert(kPortIndexAtLoad < std::size(kPortBases), "the port at load must be in the table");
static_assert(kPortQuery >= std::size(kPortBases),
              "the query index must lie past the port table, or asking would switch ports");

inline constexpr std::uint16_t kStatusOffset = VANDREL_STATUS_OFFSET;

inline constexpr std::uint8_t kDataLine = VANDREL_LINE_DATA;
inline constexpr std::uint8_t kClockLine = VANDREL_LINE_CLOCK;
inline constexpr std::uint8_t kLoadLine = VANDREL_LINE_LOAD;
inline constexpr std::uint8_t kResetLine = VANDREL_LINE_RESET;
inline constexpr std::uint8_t kLowAddressStrobe = VANDREL_LINE_LOW_ADDRESS_STROBE;
inline constexpr std::uint8_t kHighAddressStrobe = VANDREL_LINE_HIGH_ADDRESS_STROBE;
inline constexpr std::uint8_t kReadStrobe = VANDREL_LINE_READ_STROBE;
inline constexpr std::uint8_t kWriteStrobe = VANDREL_LINE_WRITE_STROBE;

inline constexpr std::uint8_t kDataInput = VANDREL_STATUS_DATA_INPUT;

inline constexpr std::uint8_t kBoardRunning = VANDREL_LEVELS_RUNNING;
inline constexpr std::uint8_t kBoardHeld = VANDREL_LEVELS_HELD;

}  // namespace vandrel::board
#endif

#endif /* VANDREL_BOARD_H */
