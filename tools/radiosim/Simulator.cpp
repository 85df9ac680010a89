#include "tools/radiosim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace RadioSim {

const std::string garbageAnswer("\xfe\x13#~\x7f\x00*&", 8);

namespace {

void setFlags(int fd, int statusFlags) {
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    if (statusFlags != 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | statusFlags);
}

} // namespace

Simulator::Simulator(std::unique_ptr<Personality> model, Faults switches)
    : personality(std::move(model)), faults(switches) {
    char name[256] = {0};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) throw std::runtime_error("openpty failed");
    path = name;
    // Close-on-exec: a program started from a test must not inherit the
    // master, or a hang-up would never reach it.
    setFlags(masterFd, O_NONBLOCK);
    setFlags(slaveFd, 0);
    int wake[2];
    if (pipe(wake) != 0) throw std::runtime_error("pipe failed");
    wakeRead = wake[0];
    wakeWrite = wake[1];
    setFlags(wakeRead, O_NONBLOCK);
    setFlags(wakeWrite, O_NONBLOCK);
}

Simulator::~Simulator() {
    stop();
    closeLine();
    ::close(wakeRead);
    ::close(wakeWrite);
}

void Simulator::setLogListener(std::function<void(const std::string&)> listener) { logListener = std::move(listener); }

void Simulator::setStateListener(std::function<void(const State&)> listener) { stateListener = std::move(listener); }

void Simulator::start() {
    if (!thread.joinable()) thread = std::thread([this] { run(); });
}

void Simulator::stop() {
    requestStop();
    if (thread.joinable()) thread.join();
}

void Simulator::requestStop() {
    const char wake = 'x';
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &wake, 1);
}

void Simulator::run() {
    while (masterFd >= 0) {
        pollfd fds[2] = {{masterFd, static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0},
                         {wakeRead, POLLIN, 0}};
        int timeout = -1;
        if (!input.empty()) {
            const auto quiet = std::chrono::steady_clock::now() - lastByte;
            timeout = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(framingGap - quiet).count());
            if (timeout < 0) timeout = 0;
        }
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) readAvailable();
        if (masterFd >= 0 && !input.empty() && std::chrono::steady_clock::now() - lastByte >= framingGap) {
            std::vector<std::string> framed;
            {
                std::lock_guard<std::mutex> lock(mutex);
                framed = personality->takeCommands(input, true);
            }
            for (const auto& command : framed) {
                if (masterFd < 0) break;
                handleCommand(command);
            }
        }
        if (masterFd >= 0 && !output.empty()) writePending();
    }
    // Drain the wake-up bytes so that a later run() is not ended at once.
    char sink[16];
    while (::read(wakeRead, sink, sizeof sink) > 0) {
    }
}

void Simulator::readAvailable() {
    char buffer[4096];
    bool got = false;
    for (;;) {
        const ssize_t n = ::read(masterFd, buffer, sizeof buffer);
        if (n > 0) {
            input.append(buffer, static_cast<std::size_t>(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // EAGAIN: all read. EIO cannot happen while slaveFd is open.
    }
    if (!got) return;
    lastByte = std::chrono::steady_clock::now();
    std::vector<std::string> framed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        framed = personality->takeCommands(input, false);
    }
    for (const auto& command : framed) {
        if (masterFd < 0) break;
        handleCommand(command);
    }
}

void Simulator::writePending() {
    while (!output.empty()) {
        const ssize_t n = ::write(masterFd, output.data(), output.size());
        if (n > 0) {
            output.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // EAGAIN: the host is not reading; poll() says when to go on.
    }
}

void Simulator::handleCommand(const std::string& command) {
    std::size_t number;
    {
        std::lock_guard<std::mutex> lock(mutex);
        commands.push_back(command);
        number = commands.size();
    }
    log(WireDirection::Received, command);

    std::string reply;
    if (faults.closeAt == number) {
        log(WireDirection::Event, "line closed");
        closeLine();
    } else if (faults.silent || (faults.silentFrom != 0 && number >= faults.silentFrom)) {
        // A dead radio: it neither answers nor changes.
    } else if (faults.errorAt == number) {
        log(WireDirection::Event, "error injected");
        std::lock_guard<std::mutex> lock(mutex);
        reply = personality->errorAnswer();
    } else if (faults.garbageAt == number) {
        log(WireDirection::Event, "garbage injected");
        reply = garbageAnswer;
    } else {
        std::lock_guard<std::mutex> lock(mutex);
        reply = personality->answer(command);
    }
    if (!reply.empty()) {
        output += reply;
        log(WireDirection::Sent, reply);
    }

    if (stateListener) stateListener(state());
    changed.notify_all();
}

void Simulator::log(WireDirection direction, const std::string& bytes) {
    WireEntry entry{direction, bytes};
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(entry);
    }
    if (logListener) logListener(formatWireEntry(entry));
}

void Simulator::closeLine() {
    std::lock_guard<std::mutex> lock(mutex);
    if (masterFd >= 0) ::close(masterFd);
    if (slaveFd >= 0) ::close(slaveFd);
    masterFd = slaveFd = -1;
    closed = true;
}

std::vector<std::string> Simulator::received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return commands;
}

std::vector<WireEntry> Simulator::wireLog() const {
    std::lock_guard<std::mutex> lock(mutex);
    return entries;
}

std::string Simulator::wireLogText() const {
    std::string text;
    for (const auto& entry : wireLog()) text += formatWireEntry(entry) + "\n";
    return text;
}

State Simulator::state() const {
    std::lock_guard<std::mutex> lock(mutex);
    return personality->state();
}

std::string Simulator::stateValue(const std::string& name) const {
    for (const auto& [key, value] : state())
        if (key == name) return value;
    return std::string();
}

bool Simulator::lineClosed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return closed;
}

bool Simulator::waitForCommands(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return commands.size() >= count; });
}

} // namespace RadioSim
