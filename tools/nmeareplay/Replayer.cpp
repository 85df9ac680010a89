#include "tools/nmeareplay/Replayer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>

namespace NmeaReplay {

std::vector<std::string> captureLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

Replayer::Replayer() {
    termios raw{};
    cfmakeraw(&raw);
    char name[128];
    if (openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) throw std::runtime_error("openpty failed");
    path = name;
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
}

Replayer::~Replayer() {
    if (masterFd >= 0) close(masterFd);
    if (slaveFd >= 0) close(slaveFd);
}

void Replayer::drain() {
    char buffer[512];
    ssize_t n;
    while ((n = read(masterFd, buffer, sizeof buffer)) > 0) fromHost += static_cast<std::size_t>(n);
}

bool Replayer::waitForHost(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fromHost == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{masterFd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left.count()));
        drain();
    }
    return true;
}

bool Replayer::play(const std::vector<std::string>& lines, std::chrono::milliseconds stall) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        pollfd p{masterFd, POLLIN | POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(stall.count())) <= 0) return false;
        drain();
        if (p.revents & POLLOUT) {
            const ssize_t n = write(masterFd, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        }
    }
    return true;
}

} // namespace NmeaReplay
