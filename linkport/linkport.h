// Raw access to a printer on a parallel port: open and close LPT1-LPT3, write
// bytes, read one packet of the IEEE 1284.4 packet protocol, read the printer's
// IEEE 1284 device ID and model name, and pulse the port's INIT line.
//
// The library keeps one port handle and one I/O error code for the whole
// process and does no locking: call it from one thread at a time. At most one
// port is open; opening another closes the first.
#ifndef SVC_LINKPORT_LINKPORT_H
#define SVC_LINKPORT_LINKPORT_H

#include <stdint.h>

#if defined(__GNUC__)
#define LINKPORT_API __attribute__((visibility("default")))
#else
#define LINKPORT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define LINKPORT_OK 1u
#define LINKPORT_IO_FAILURE 0x1000u /* detail in GetIOErrorCode() */
#define LINKPORT_NO_MEMORY 0xC000u  /* no memory for the device name */

/* I/O error codes returned by GetIOErrorCode(). */
#define LINKPORT_IOE_NONE 1
#define LINKPORT_IOE_BAD_PORT_CODE 0x1100 /* PortOpen: not 1028-1030 */
/* PortOpen: opening failed; the code is the system error number minus 105
   (file not found, 2, gives -103; access denied, 5, gives -100; sharing
   violation, 32, gives -73). */
#define LINKPORT_IOE_OPEN_BASE 105
#define LINKPORT_IOE_NO_PORT (-105) /* time-outs not read or set; no open port */
#define LINKPORT_IOE_WRITE (-81)    /* Send: write failed or was short */
#define LINKPORT_IOE_READ (-82)     /* Receive: read failed, came back short, or bad header */
#define LINKPORT_IOE_TIMEOUT (-104) /* Receive: a read took 2 seconds or more */
#define LINKPORT_IOE_DEVICE (-110)  /* device ID / INIT request failed or gave no usable data */

/* Opens LPT1, LPT2 or LPT3 (1028, 1029, 1030) for reading and writing,
   exclusively, and sets its time-outs (InitCommTimeOuts). Any open port is
   closed first, also when portCode is refused. */
LINKPORT_API uint16_t PortOpen(uint16_t portCode);

/* Sets the open port's time-outs: reads wait at most 10 ms between bytes and
   1 ms per byte plus 2000 ms in total; writes 1 ms per byte plus 2000 ms. */
LINKPORT_API uint16_t InitCommTimeOuts(void);

/* Writes count bytes to the open port in one write. A failed or short write
   gives 0x1000 with -81; no open port gives 0x1000 with -105. */
LINKPORT_API uint16_t Send(const uint8_t* data, uint32_t count);

/* Reads one packet: the 6-byte header, then exactly the rest of the length
   that header bytes 2-3 give (most significant byte first, header included).
   *length receives that packet length (0 until the header has been read).
   The buffer must hold the largest packet the caller accepts; 65,535 bytes
   hold every packet a header can describe. A header giving a length below 6
   is refused with 0x1000 and -82, and *length stays 0. On a time-out the
   bytes read so far stay in the buffer. */
LINKPORT_API uint16_t Receive(uint8_t* buffer, uint32_t* length);

/* Closes the open port, if any. */
LINKPORT_API void PortClose(void);

/* Reads the printer's device ID; *hasPacketProtocol receives 1 when "D4"
   occurs anywhere in it, else 0. */
LINKPORT_API uint16_t GetDeviceID(uint8_t* hasPacketProtocol);

/* The detail of the last failure (or 1 after a clean start of an operation). */
LINKPORT_API int16_t GetIOErrorCode(void);

/* Reads the printer's device ID and stores the model name (the MDL field) in
   the first 20 bytes of name20: zero-padded when shorter, cut at 20 bytes
   with no terminator when 20 bytes or longer. A device ID without "MDL:" or
   without "CLS:" after it is refused with 0x1000 and -110. */
LINKPORT_API uint16_t GetModelName(char* name20);

/* Pulses the open port's INIT line. */
LINKPORT_API uint16_t SendINITSignal(void);

#ifdef __cplusplus
}
#endif

#endif
