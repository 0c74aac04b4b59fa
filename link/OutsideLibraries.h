// The C functions of the two outside libraries: the port switch (hostbridge)
// and the packet channel (chanlink). This is the only declaration of them; the
// program, the libraries themselves and the recording fake used by unit tests
// all include it, so a signature can only change in one place.
#ifndef SVC_LINK_OUTSIDELIBRARIES_H
#define SVC_LINK_OUTSIDELIBRARIES_H

#include <stdint.h>

#if defined(__GNUC__)
#define OUTSIDE_API __attribute__((visibility("default")))
#else
#define OUTSIDE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- port switch (hostbridge) ---- */

/* Opens the port with the given code (1028-1030 LPT1-3, 1025-1027 ZQUSB1-3). 1 = open. */
OUTSIDE_API uint16_t PortOpenByOsSw(uint16_t portCode);
/* Closes the open port, if any. The program ignores the result. */
OUTSIDE_API uint16_t PortCloseByOsSw(void);
/* Reads the printer's device ID: 1 = read and the printer speaks the packet
   protocol, 4097 = read but it does not, anything else a port failure. */
OUTSIDE_API uint16_t GetDeviceIDByOsSw(void);
/* On 1 the 30-byte buffer holds the printer's model name, NUL-terminated. */
OUTSIDE_API uint16_t GetModelNameByOsSw(char* name30);
/* Stores the detail of the last port failure (-105, -104, -103, -82, -81, ...). */
OUTSIDE_API uint16_t GetIoErrorCodeByOsSw(int16_t* detail);
/* Which system family runs the program: 161, 162-163 or 164-166 choose the port list. */
OUTSIDE_API uint8_t GetOsVersion(void);

/* Installs the function that the waits of the port switch and the packet
   channel call at least every 50 ms on the installing thread while they wait
   for the printer (NULL removes it); a window keeps painting through it. It
   must not call any of these functions. The deadlines and what goes over the
   wire do not change. */
OUTSIDE_API void SetIdleHookByOsSw(void (*hook)(void));

/* ---- packet channel (chanlink) ---- */

/* The two header bytes of the factory commands (6, 22). The program ignores the result. */
OUTSIDE_API uint16_t SetD4CommandRCode(uint8_t first, uint8_t second);
/* Negotiates the packet channel over the open port. 1 = channel ready. */
OUTSIDE_API uint16_t D4Negotiation(void);
/* Ends the packet channel. The program ignores the result. */
OUTSIDE_API uint16_t D4Termination(void);
/* Sends bytes on the print-data channel: 1 = all taken; 0x2000 = refused, and a
   following GetD4ErrorCode of 51 means the printer is busy. */
OUTSIDE_API uint16_t SendDataChannel(const uint8_t* data, uint32_t count);
/* Detail of the last channel failure; 51 = printer busy. */
OUTSIDE_API uint16_t GetD4ErrorCode(void);
/* One EEPROM byte per call. 1 = done. */
OUTSIDE_API uint16_t D4ReadEeprom(uint8_t address, uint8_t* value);
OUTSIDE_API uint16_t D4WriteEeprom(uint8_t address, uint8_t value);
/* Fills the 52-byte status record from byte 0. 1 = filled. */
OUTSIDE_API uint16_t InquireStatus(uint8_t* record52);

#ifdef __cplusplus
}
#endif

#endif
