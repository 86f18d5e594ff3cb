/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* vandrel: board link library for the vandrel 8051 board on a PC parallel port.
 *
 * All state is process-wide and takes its values when the library is loaded:
 * port 0x378, delay 1, an empty 32 KB transfer buffer, no progress callback and
 * an empty last-error text. Operations that fail return 0 and leave one message
 * in the last-error text. Nothing is allocated; call from one thread at a time.
 */
#ifndef VANDREL_H
#define VANDREL_H

#include <stdint.h>

#if defined(__GNUC__)
#define VANDREL_API __attribute__((visibility("default")))
#else
#define VANDREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Called during read_ram and write_ram with the index of the byte just moved
 * (or, in the last call, the total) and the transfer's total, both in bytes. */
typedef void (*vandrel_progress_callback)(uint16_t position, uint16_t total);

VANDREL_API uint8_t* getBuffer(void);
VANDREL_API void setCallback(vandrel_progress_callback callback);
VANDREL_API int32_t set_delay(uint8_t delay);
VANDREL_API uint8_t get_delay(void);
VANDREL_API void reset(void);
VANDREL_API uint16_t read_ram(uint16_t size);
VANDREL_API uint16_t write_ram(void);
VANDREL_API uint16_t read_file(const char* name);
VANDREL_API uint16_t write_file(const char* name);
VANDREL_API const char* get_version(void);
VANDREL_API uint16_t get_bufsize(void);
VANDREL_API uint16_t get_chsum(void);
VANDREL_API const char* get_LastError(void);
VANDREL_API uint16_t set_Port(uint8_t index);

#ifdef __cplusplus
}
#endif

#endif /* VANDREL_H */
