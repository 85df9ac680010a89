#pragma once
// The host end of a simulated radio's line: opens the device path as a
// program would (raw, non-blocking) and waits on events with deadlines.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>

class HostLine {
public:
    explicit HostLine(const std::string& path) {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot open " + path);
        termios raw{};
        tcgetattr(fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    ~HostLine() { ::close(fd); }
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    // False when the bytes could not all be written before the deadline.
    bool write(const std::string& bytes, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (!waitFor(POLLOUT, deadline)) return false;
        }
        return true;
    }

    // Reads until `needle` arrived (or, with an empty needle, `count` bytes),
    // or the deadline passed; returns what arrived.
    std::string readUntil(const std::string& needle, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                          std::size_t count = 0) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string got;
        auto done = [&] { return needle.empty() ? got.size() >= count : got.find(needle) != std::string::npos; };
        while (!done()) {
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) break;
            if (!waitFor(POLLIN, deadline)) break;
        }
        return got;
    }

    // True once the far end hung up (a read fails or ends).
    bool hungUp(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
            if (n < 0 && !waitFor(POLLIN, deadline)) return false;
        }
    }

private:
    bool waitFor(short events, std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
        return true;
    }

    int fd = -1;
};
