/*
 * Kordal: the fiscal printer link library.
 *
 * One plain C function per printer operation. Every function takes the serial
 * port number first; command functions take two caller-owned buffers: a data
 * buffer (at least 246 bytes) and a status buffer (at least 8 bytes). On an
 * accepted reply (result 0) the library writes the eight status bytes S0..S7
 * to the status buffer and the reply data to the data buffer; on any other
 * result neither buffer is touched. The library allocates nothing for the
 * caller, shows nothing, logs nothing and retries nothing.
 *
 * Texts are 8-bit strings in code page 1250, one byte per character.
 * Port number n opens the device named by the environment variable
 * KORDAL_COM<n>, else /dev/ttyS<n-1>.
 *
 * The library is not reentrant: one call at a time, from one thread.
 */
#ifndef KORDAL_H
#define KORDAL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KORDAL_API __attribute__((visibility("default")))
#else
#define KORDAL_API
#endif

/* Result codes of the exchange with the printer. */
#define KORDAL_OK 0            /* reply received and accepted */
#define KORDAL_ERR_CHECKSUM 1  /* reply checksum wrong */
#define KORDAL_ERR_SEQUENCE 3  /* echoed sequence byte differs */
#define KORDAL_ERR_COMMAND 4   /* echoed command code differs */
#define KORDAL_ERR_END 5       /* end byte missing, reply truncated or overlong */
#define KORDAL_ERR_NO_REPLY 10 /* nothing arrived, first byte not 0x01, or no length byte */

/* Argument errors of single command functions; nothing is sent. */
#define KORDAL_ERR_ARG_MISSING 6   /* empty name; payment kind or amount sign missing;
                                      no date-time or report block given */
#define KORDAL_ERR_ARG_TOO_LONG 7  /* payment or amount text too long, or its amount does not
                                      fit 4 bytes; payload over 253 bytes */
#define KORDAL_ERR_ARG_RANGE 8     /* quantity whole part above 65535; price or line value
                                      does not fit 4 bytes */
#define KORDAL_ERR_ARG_KIND 12     /* VAT group not A, B, C, D, space or zero; header/footer
                                      kind not 1 or 2 */
#define KORDAL_ERR_ARG_DISPLAY 24  /* line value given without a display text */

/* Results of the port functions. */
#define KORDAL_PORT_NONE_FOUND (-1) /* automatic search found no port */
#define KORDAL_PORT_OUT_OF_RANGE (-2) /* port number outside 1..8 */

/* Port handling and timing. */
KORDAL_API int32_t InitializeazaSeriala(void);
KORDAL_API int32_t InitializeazaSerialaNr(int32_t port);
KORDAL_API int32_t InchidePort(int32_t port);
KORDAL_API int32_t TimeOut6(int32_t port);
KORDAL_API int32_t TimeOut60(int32_t port);
KORDAL_API int32_t Intarziere(float seconds);

/* General exchange. `payload` is zero-terminated; `block` starts with a count byte. */
KORDAL_API int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command,
                                    char* data, char* status);
KORDAL_API int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                                     unsigned char* data, char* status);

/* Receipt commands. */
KORDAL_API int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                       const char* quantity, const char* price,
                                       const char* display, char* data, char* status);
KORDAL_API int32_t Subtotal(int32_t port, int32_t first, int32_t second, char* data,
                            char* status);
KORDAL_API int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                               char* status);

/* Settings, report and cash commands. */
KORDAL_API int32_t CitesteCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths,
                                  int32_t b_whole, int32_t b_hundredths, int32_t c_whole,
                                  int32_t c_hundredths, int32_t d_whole, int32_t d_hundredths,
                                  char* data, char* status);
KORDAL_API int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths,
                                int32_t b_whole, int32_t b_hundredths, int32_t c_whole,
                                int32_t c_hundredths, int32_t d_whole, int32_t d_hundredths,
                                char* data, char* status);
KORDAL_API int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                                char* status);
KORDAL_API int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                                  char* status);
KORDAL_API int32_t ScrieHeaderFooter(int32_t port, int32_t line, int32_t kind, const char* text,
                                     char* data, char* status);
KORDAL_API int32_t InOutSume(int32_t port, const char* amount, char* data, char* status);

#ifdef __cplusplus
}
#endif

#endif /* KORDAL_H */
