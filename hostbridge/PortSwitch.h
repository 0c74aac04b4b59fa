/* The port switch's C functions: the only declaration of them. The program
   reaches them through link/OutsideLibraries.h, which includes this header;
   the library defines them in PortSwitch.cpp. */
#ifndef HOSTBRIDGE_PORTSWITCH_H
#define HOSTBRIDGE_PORTSWITCH_H

#include <stdint.h>

#if defined(__GNUC__)
#define HOSTBRIDGE_C_API __attribute__((visibility("default")))
#else
#define HOSTBRIDGE_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the port with the given code (1028-1030 LPT1-3, 1025-1027 ZQUSB1-3). 1 = open. */
HOSTBRIDGE_C_API uint16_t PortOpenByOsSw(uint16_t portCode);
/* Closes the open port, if any. The program ignores the result. */
HOSTBRIDGE_C_API uint16_t PortCloseByOsSw(void);
/* Reads the printer's device ID: 1 = read and the printer speaks the packet
   protocol, 4097 = read but it does not, anything else a port failure. */
HOSTBRIDGE_C_API uint16_t GetDeviceIDByOsSw(void);
/* On 1 the 30-byte buffer holds the printer's model name, NUL-terminated. */
HOSTBRIDGE_C_API uint16_t GetModelNameByOsSw(char* name30);
/* Stores the detail of the last port failure (-105, -104, -103, -82, -81, ...). */
HOSTBRIDGE_C_API uint16_t GetIoErrorCodeByOsSw(int16_t* detail);
/* Which system family runs the program: 161, 162-163 or 164-166 choose the port list. */
HOSTBRIDGE_C_API uint8_t GetOsVersion(void);

/* Installs the function that the waits of the port switch and the packet
   channel call at least every 50 ms on the installing thread while they wait
   for the printer (NULL removes it); a window keeps painting through it. It
   must not call any of these functions. The deadlines and what goes over the
   wire do not change. */
HOSTBRIDGE_C_API void SetIdleHookByOsSw(void (*hook)(void));

#ifdef __cplusplus
}
#endif

#endif
