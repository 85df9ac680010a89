#include "tools/gnsssim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <stdexcept>

namespace GnssSim {

namespace {
constexpr std::size_t kMaxLine = 256;  // longer host lines are dropped
}

unsigned baudOfSpeed(unsigned speed) {
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

Simulator::Simulator(const SimConfig& config)
    : onLine(config.onLine), onSent(config.onSent), started(std::chrono::steady_clock::now()), model(config.model) {
    char name[PATH_MAX] = {0};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&masterFd_, &slaveFd_, name, &raw, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath = name;
    // The slave stays open here too, so the line survives the program closing
    // and reopening its port to change the baud rate. Neither end is handed to
    // programs started meanwhile: one that kept the master would keep the
    // line alive after the simulator has gone.
    fcntl(masterFd_, F_SETFL, fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd_, F_SETFD, FD_CLOEXEC);
    fcntl(slaveFd_, F_SETFD, FD_CLOEXEC);
    if (!config.linkPath.empty()) {
        struct stat st;
        if (lstat(config.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                close(masterFd_);
                close(slaveFd_);
                throw std::runtime_error("not replacing " + config.linkPath + ": not a symbolic link");
            }
            unlink(config.linkPath.c_str());
        }
        if (symlink(slavePath.c_str(), config.linkPath.c_str()) != 0) {
            close(masterFd_);
            close(slaveFd_);
            throw std::runtime_error("cannot link " + config.linkPath);
        }
        linkPath = config.linkPath;
    }
}

Simulator::~Simulator() {
    stop();
    if (!linkPath.empty()) {
        char target[PATH_MAX] = {0};
        const ssize_t n = readlink(linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && slavePath == std::string(target, static_cast<std::size_t>(n))) unlink(linkPath.c_str());
    }
    close(masterFd_);
    close(slaveFd_);
}

double Simulator::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void Simulator::start() {
    if (running.exchange(true)) return;
    worker = std::thread([this] {
        while (running) serviceOnce(5);
    });
}

void Simulator::stop() {
    if (!running.exchange(false)) return;
    if (worker.joinable()) worker.join();
}

unsigned Simulator::lineBaud() const {
    termios t{};
    if (tcgetattr(masterFd_, &t) != 0) return 0;
    return baudOfSpeed(static_cast<unsigned>(cfgetospeed(&t)));
}

bool Simulator::speedsMatch() const { return lineBaud() == model.baud(); }

void Simulator::serviceOnce(int waitMs) {
    pollfd p{masterFd_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN)) {
        char buf[1024];
        const ssize_t n = ::read(masterFd_, buf, sizeof buf);
        if (n > 0) receive(buf, static_cast<std::size_t>(n));
    }
    sendDue();
}

void Simulator::receive(const char* data, std::size_t n) {
    std::vector<std::string> complete;
    {
        std::lock_guard<std::mutex> lock(m);
        if (!speedsMatch()) {
            lost += n;
            return;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const char c = data[i];
            bytes.push_back(c);
            if (!inLine) {
                // Bytes outside a line are noise to the receiver.
                if (c == '$') {
                    inLine = true;
                    partial = "$";
                }
            } else if (c == '\r' || c == '\n') {
                inLine = false;
                lines.push_back(partial);
                complete.push_back(partial);
                write(model.onLine(partial, now()));
                if (!speedsMatch()) {
                    // "$JBAUD" moved the receiver: the rest arrives at the old rate.
                    lost += n - i - 1;
                    break;
                }
            } else if (partial.size() < kMaxLine) {
                partial.push_back(c);
            } else {
                inLine = false;
            }
        }
    }
    if (!complete.empty()) changed.notify_all();
    if (onLine)
        for (const std::string& l : complete) onLine(l);
}

void Simulator::sendDue() {
    std::lock_guard<std::mutex> lock(m);
    write(model.due(now()));
}

// Called with the lock held.
void Simulator::write(const std::vector<Output>& out) {
    if (out.empty() || !model.talking(now()) || !speedsMatch()) return;
    bool sentPosition = false;
    for (const Output& o : out) {
        std::size_t done = 0;
        while (done < o.bytes.size()) {
            const ssize_t n = ::write(masterFd_, o.bytes.data() + done, o.bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // the host is not reading: the rest is lost
            done += static_cast<std::size_t>(n);
        }
        dropped += o.bytes.size() - done;
        if (done < o.bytes.size()) continue;
        if (o.hasPosition) {
            positions.push_back({o.fix.lat, o.fix.lon, std::chrono::steady_clock::now(), o.fix, o.corrupted});
            sentPosition = true;
        }
        if (onSent) onSent(o.bytes);
    }
    if (sentPosition) changed.notify_all();
}

std::vector<std::string> Simulator::receivedLines() const {
    std::lock_guard<std::mutex> lock(m);
    return lines;
}

std::string Simulator::receivedBytes() const {
    std::lock_guard<std::mutex> lock(m);
    return bytes;
}

bool Simulator::waitForLine(const std::string& line, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m);
    return changed.wait_for(lock, timeout, [&] {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    });
}

bool Simulator::waitForPositions(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m);
    return changed.wait_for(lock, timeout, [&] { return positions.size() >= count; });
}

std::vector<SentPosition> Simulator::sentPositions() const {
    std::lock_guard<std::mutex> lock(m);
    return positions;
}

std::size_t Simulator::bytesLost() const {
    std::lock_guard<std::mutex> lock(m);
    return lost;
}

std::size_t Simulator::bytesDropped() const {
    std::lock_guard<std::mutex> lock(m);
    return dropped;
}

void Simulator::setSilent(bool on) {
    std::lock_guard<std::mutex> lock(m);
    model.setSilent(on);
}

void Simulator::setCorruptChecksums(bool on) {
    std::lock_guard<std::mutex> lock(m);
    model.setCorruptChecksums(on);
}

unsigned Simulator::baud() const {
    std::lock_guard<std::mutex> lock(m);
    return model.baud();
}

double Simulator::rate(const std::string& output) const {
    std::lock_guard<std::mutex> lock(m);
    return model.rate(output);
}

int Simulator::appSlot() const {
    std::lock_guard<std::mutex> lock(m);
    return model.appSlot();
}

} // namespace GnssSim
