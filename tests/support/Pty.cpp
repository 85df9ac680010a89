#include "tests/support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace TestSupport {

Pty::Pty() {
    char name[256] = {0};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) throw std::runtime_error("openpty failed");
    path = name;
    // A program started from the test must not inherit the master, or
    // closing it here would never hang the line up.
    for (const int fd : {masterFd, slaveFd}) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

Pty::~Pty() {
    closeSlave();
    closeMaster();
}

void Pty::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw std::runtime_error("pty write failed");
        }
        done += static_cast<std::size_t>(n);
    }
}

// Reads from the master until `done` says so or the deadline passes.
template <typename Done>
static std::string readMaster(int fd, std::chrono::milliseconds timeout, Done done) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done(got)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

std::string Pty::read(std::size_t wanted, std::chrono::milliseconds timeout) {
    return readMaster(masterFd, timeout, [wanted](const std::string& got) { return got.size() >= wanted; });
}

std::string Pty::readUntil(const std::string& needle, std::chrono::milliseconds timeout) {
    return readMaster(masterFd, timeout,
                      [&needle](const std::string& got) { return got.find(needle) != std::string::npos; });
}

void Pty::closeSlave() {
    if (slaveFd >= 0) ::close(slaveFd);
    slaveFd = -1;
}

void Pty::closeMaster() {
    if (masterFd >= 0) ::close(masterFd);
    masterFd = -1;
}

} // namespace TestSupport
