#include "tools/radiosim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

namespace RadioSim {

const std::string garbageAnswer("\xfe\x13#~\x7f\x00*&", 8);

namespace {

void setFlags(int fd, int statusFlags) {
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    if (statusFlags != 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | statusFlags);
}

// Whole milliseconds until `then`, rounded up, for poll().
int millisecondsUntil(std::chrono::steady_clock::time_point then) {
    const auto left = then - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

} // namespace

Timing Timing::realistic() {
    Timing timing;
    timing.processing = std::chrono::milliseconds(40);
    timing.byteRate = 960; // 9600 baud, 10 bits a byte
    timing.pieceGap = std::chrono::milliseconds(30);
    timing.flashWrite = std::chrono::milliseconds(300);
    timing.escapeGuard = std::chrono::milliseconds(1000);
    return timing;
}

Simulator::Simulator(std::unique_ptr<Personality> model, Faults switches, Timing pace)
    : personality(std::move(model)), faults(switches), timing(pace) {
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
        int timeout = releaseDue();
        pollfd fds[2] = {{masterFd, static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0},
                         {wakeRead, POLLIN, 0}};
        if (!input.empty()) {
            const int framing = millisecondsUntil(lastByte + framingWait());
            timeout = timeout < 0 ? framing : std::min(timeout, framing);
        }
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) readAvailable();
        if (masterFd >= 0 && !input.empty() && std::chrono::steady_clock::now() - lastByte >= framingWait()) {
            std::vector<std::string> framed;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (timing.escapeGuard.count() > 0 && personality->isEscape(input) &&
                    quietBefore < timing.escapeGuard) {
                    input.clear(); // too soon after other traffic: not an escape, and nothing else either
                } else {
                    framed = personality->takeCommands(input, true);
                }
            }
            for (const auto& command : framed) {
                if (masterFd < 0) break;
                handleCommand(command);
            }
        }
        releaseDue();
        if (masterFd >= 0 && !output.empty()) writePending();
    }
    // Drain the wake-up bytes so that a later run() is not ended at once.
    char sink[16];
    while (::read(wakeRead, sink, sizeof sink) > 0) {
    }
}

std::chrono::milliseconds Simulator::framingWait() const {
    if (timing.escapeGuard.count() > 0 && personality->isEscape(input)) return timing.escapeGuard;
    return framingGap;
}

std::chrono::steady_clock::duration Simulator::byteTime(std::size_t count) const {
    if (timing.byteRate == 0) return std::chrono::steady_clock::duration::zero();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::seconds(1) *
                                                                            static_cast<long>(count)) /
           timing.byteRate;
}

void Simulator::schedule(const std::string& reply, std::chrono::milliseconds delay) {
    // A radio answers one command after the other: this answer starts once
    // the ones before it are out, after its own processing time.
    auto start = std::max(std::chrono::steady_clock::now(), lineFree) + delay;
    std::vector<std::string> pieces = {reply};
    if (timing.pieceGap.count() > 0) {
        const std::size_t text = reply.find_first_not_of("\r\n");
        const std::size_t end = text == std::string::npos ? text : reply.find('\n', text);
        if (end != std::string::npos && end + 1 < reply.size())
            pieces = {reply.substr(0, end + 1), reply.substr(end + 1)};
    }
    for (const auto& piece : pieces) {
        scheduled.push_back({start, piece, 0});
        lineFree = start + byteTime(piece.size());
        start = lineFree + timing.pieceGap;
    }
}

int Simulator::releaseDue() {
    while (!scheduled.empty()) {
        Piece& piece = scheduled.front();
        const auto now = std::chrono::steady_clock::now();
        if (now < piece.start) return millisecondsUntil(piece.start);
        std::size_t due = piece.bytes.size();
        if (timing.byteRate != 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - piece.start).count();
            due = std::min(due, 1 + static_cast<std::size_t>(elapsed) * timing.byteRate / 1000000);
        }
        output.append(piece.bytes, piece.sent, due - piece.sent);
        piece.sent = due;
        if (piece.sent < piece.bytes.size()) return std::max(1, millisecondsUntil(piece.start + byteTime(due)));
        scheduled.pop_front();
    }
    return -1;
}

void Simulator::readAvailable() {
    char buffer[4096];
    bool got = false;
    const std::size_t received = input.size();
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
    if (faults.lineBaud != 0 && lineSpeed() != faults.lineBaud) {
        // Bytes at the wrong speed are noise to a UART: nothing is framed.
        log(WireDirection::Event, "heard at another baud rate");
        input.erase(received);
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (received == 0) quietBefore = now - lastByte;
    lastByte = now;
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

unsigned int Simulator::lineSpeed() const {
    // The two sides of a pty share one termios: the host's setting shows here.
    static const std::pair<speed_t, unsigned int> speeds[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
    };
    termios line{};
    if (tcgetattr(masterFd, &line) != 0) return 0;
    for (const auto& [speed, baud] : speeds)
        if (cfgetispeed(&line) == speed) return baud;
    return 0;
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
        reply = personality->echoOf(command) + personality->errorAnswer();
    } else if (faults.garbageAt == number) {
        log(WireDirection::Event, "garbage injected");
        std::lock_guard<std::mutex> lock(mutex);
        reply = personality->echoOf(command) + garbageAnswer;
    } else {
        std::lock_guard<std::mutex> lock(mutex);
        reply = personality->answer(command);
    }
    if (!reply.empty()) {
        schedule(reply, timing.processing + (personality->writesFlash(command) ? timing.flashWrite
                                                                               : std::chrono::milliseconds(0)));
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
