#include "hostbridge/Parport.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace hb::pp {

int Open(const std::string& path, int extraFlags) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int Ioctl(int fd, unsigned long request, void* argument) {
    int r;
    do {
        r = ::ioctl(fd, request, argument);
    } while (r < 0 && errno == EINTR);
    return r;
}

int Claim(int fd) { return Ioctl(fd, PPCLAIM, nullptr) < 0 ? -1 : 0; }

int Release(int fd) { return Ioctl(fd, PPRELEASE, nullptr) < 0 ? -1 : 0; }

int Negotiate(int fd, int mode) { return Ioctl(fd, PPNEGOT, &mode) < 0 ? -1 : 0; }

}  // namespace hb::pp
