#include "devices/PortAccess.h"

#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Veltrio {
namespace Devices {

std::string portFailure(const std::string& port, int error) { return port + ": " + std::strerror(error); }

int claimPort(int fd) {
    if (!isatty(fd)) return ENOTTY;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
    if (ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        flock(fd, LOCK_UN);
        return error;
    }
    return 0;
}

void releasePort(int fd) {
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
}

} // namespace Devices
} // namespace Veltrio
