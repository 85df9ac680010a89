#pragma once
// Taking a serial port for one run of radiocfg, and saying why that failed.
//
// A run owns its port from open to close: two programs writing into one
// radio would interleave their command sequences. The port is taken the way
// serial programs on Debian do it: an advisory lock on the device (flock, as
// picocom and minicom take it) and TIOCEXCL, which makes the kernel refuse
// every further open of the terminal with EBUSY. A program that honours
// neither can still open the port as root; nothing stops that.
//
// Every failure names the port and the system's reason:
//   /dev/ttyS0: Permission denied
//   /dev/ttyS0: Device or resource busy
//   /tmp/notes: Inappropriate ioctl for device       (no terminal)

#include <string>

namespace Veltrio {
namespace Devices {

// "PORT: reason" for the system error `error` (an errno value).
std::string portFailure(const std::string& port, int error);

// Takes the open terminal `fd` for this process alone. Returns 0, or the
// errno value that says why not: EBUSY when another program holds the lock,
// ENOTTY when `fd` is no terminal.
int claimPort(int fd);

// Gives up what claimPort took; the lock also goes with the last close, the
// exclusive mode of the terminal only with this call or the terminal's own
// last close (a pty whose other side stays open keeps it).
void releasePort(int fd);

} // namespace Devices
} // namespace Veltrio
