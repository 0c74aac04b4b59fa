// Conversion between one byte and its two-character hexadecimal text.
//
// Hex digits are "0"-"9" and the upper-case letters "A"-"F" only; lower-case
// letters are refused in both directions. Both functions work on buffers owned
// by the caller, keep no state and allocate nothing, so they may be called from
// any thread. Null pointers are not checked.
#ifndef SVC_HEXCODEC_HEXCODEC_H
#define SVC_HEXCODEC_HEXCODEC_H

#include <stdint.h>

#if defined(__GNUC__)
#define HEXCODEC_API __attribute__((visibility("default")))
#else
#define HEXCODEC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the two characters at hex2 (high digit first; no terminator needed).
   Returns 1 and stores high * 16 + low in *value when both are hex digits;
   otherwise returns 0 and leaves *value untouched. Callers test only the low
   8 bits of the result. */
HEXCODEC_API uint8_t HexAsciiToBinary(const char* hex2, uint8_t* value);

/* Writes the two hex digits of the low 8 bits of value and a 0 byte to
   out3[0..2]; the higher bits are ignored. Returns 1. To build a longer text,
   call it with the buffer advanced by 2 each time: each call's 0 byte is
   overwritten by the next one, so n bytes need 2 * n + 1 bytes of buffer. */
HEXCODEC_API uint8_t BinaryToHexAscii(uint32_t value, char* out3);

#ifdef __cplusplus
}
#endif

#endif
