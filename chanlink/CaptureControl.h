/* Starting and stopping the packet capture of the program-wide session from
   inside a process (CHANLINK_CAPTURE starts one for a whole run). A capture
   takes effect from the next D4Negotiation on; tests use it to record what
   two runs of the same operation put on the wire. Not part of the channel
   functions the program calls. */
#ifndef CHANLINK_CAPTURECONTROL_H
#define CHANLINK_CAPTURECONTROL_H

#include "chanlink/ChannelApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the capture file; one that exists already, or a symbolic link, is
   refused. 1 = capturing, 0 = the file could not be created. */
CHANLINK_C_API int ChanlinkCaptureStart(const char* path);
/* Closes the capture file; packets after this are not recorded. */
CHANLINK_C_API void ChanlinkCaptureStop(void);

#ifdef __cplusplus
}
#endif

#endif
