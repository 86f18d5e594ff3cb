/* dlportio: byte access to I/O port addresses, as the vandrel library needs it.
 *
 * The back end is chosen once, at first use, from DLPORTIO_BACKEND
 * (auto, sim, ppdev, direct). Neither function can report an error: problems
 * are told once per base address on standard error.
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

/* A short text naming the back end that serves this base address (for
 * diagnostics such as `quillon-cli info`); valid for the life of the process. */
DLPORTIO_API const char* dlportio_backend_name(unsigned long Port);

#ifdef __cplusplus
}
#endif

#endif /* DLPORTIO_H */
