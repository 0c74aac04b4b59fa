// The Linux parallel-port calls both port libraries make (hostbridge's
// parallel transport and linkport's system layer): opening a port device,
// claiming, releasing and negotiating the raw port, and any other ioctl.
// Each is repeated while a signal interrupts it, so a caller sees EINTR from
// none of them. Nothing here waits on its own: the callers keep their
// deadlines.
#pragma once

#include <string>

namespace hb::pp {

// open(2) of a port device for reading and writing, non-blocking, not
// inherited and never a controlling terminal, with `extraFlags` added
// (O_EXCL). The descriptor, or -1 with errno set.
int Open(const std::string& path, int extraFlags = 0);

// ioctl(2): its result, -1 with errno set.
int Ioctl(int fd, unsigned long request, void* argument);

// The raw port (/dev/parportN): claim it for this process, release it, move
// it into an IEEE 1284 mode. 0, or -1 with errno set.
int Claim(int fd);
int Release(int fd);
int Negotiate(int fd, int mode);

}  // namespace hb::pp
