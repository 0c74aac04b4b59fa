// The C functions of the two outside libraries: the port switch (hostbridge)
// and the packet channel (chanlink). Each library owns the header of its own
// functions (hostbridge/PortSwitch.h, chanlink/ChannelApi.h); the program and
// the recording fake used by unit tests include them through this header, and
// the libraries never include the program's headers.
#ifndef SVC_LINK_OUTSIDELIBRARIES_H
#define SVC_LINK_OUTSIDELIBRARIES_H

#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"

#endif
