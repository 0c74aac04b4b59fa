/* The packet channel's C functions: the only declaration of them. The
   program reaches them through link/OutsideLibraries.h, which includes this
   header; the library defines them in CApi.cpp. */
#ifndef CHANLINK_CHANNELAPI_H
#define CHANLINK_CHANNELAPI_H

#include <stdint.h>

#if defined(__GNUC__)
#define CHANLINK_C_API __attribute__((visibility("default")))
#else
#define CHANLINK_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The two header bytes of the factory commands (6, 22). The program ignores the result. */
CHANLINK_C_API uint16_t SetD4CommandRCode(uint8_t first, uint8_t second);
/* Negotiates the packet channel over the open port. 1 = channel ready. */
CHANLINK_C_API uint16_t D4Negotiation(void);
/* Ends the packet channel. The program ignores the result. */
CHANLINK_C_API uint16_t D4Termination(void);
/* Sends bytes on the print-data channel: 1 = all taken; 0x2000 = refused, and a
   following GetD4ErrorCode of 51 means the printer is busy. */
CHANLINK_C_API uint16_t SendDataChannel(const uint8_t* data, uint32_t count);
/* Detail of the last channel failure; 51 = printer busy. */
CHANLINK_C_API uint16_t GetD4ErrorCode(void);
/* One EEPROM byte per call. 1 = done. */
CHANLINK_C_API uint16_t D4ReadEeprom(uint8_t address, uint8_t* value);
CHANLINK_C_API uint16_t D4WriteEeprom(uint8_t address, uint8_t value);
/* Fills the 52-byte status record from byte 0. 1 = filled. */
CHANLINK_C_API uint16_t InquireStatus(uint8_t* record52);

#ifdef __cplusplus
}
#endif

#endif
