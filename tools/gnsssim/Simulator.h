#pragma once
// The simulated receiver on a pseudo-terminal. The program under test opens
// the slave side as its UART; the simulator sits on the master side.
//
// A real UART only passes bytes when both ends run at the same baud rate. The
// simulator reads the line speed the program set on the slave (the master's
// terminal attributes report it) and, while it differs from the receiver's
// own rate, treats the line as one on which nothing gets through: received
// bytes are dropped and nothing is sent.
//
// Writes never block: what the pty cannot take at once is dropped, as a
// receiver's transmitter does not wait for a host that does not read.
//
// Two ways to run it: start() services the line on its own thread (tests,
// the gnsssim program); or the owner calls serviceOnce(), or receive() and
// sendDue(), from its own thread for a fully deterministic exchange.

#include "tools/gnsssim/ReceiverModel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace GnssSim {

struct SimConfig {
    ModelConfig model;
    std::string linkPath;  // when set, a symbolic link to the slave is made here
    // Called with every command line that got through, on the servicing thread.
    std::function<void(const std::string&)> onLine;
    // Called with the bytes of every output written whole to the line (a
    // sentence, a reply, a binary frame), on the servicing thread with the
    // simulator's lock held: it must not call back into the simulator.
    std::function<void(const std::string&)> onSent;
};

struct SentPosition {
    double lat;
    double lon;
    // Measurement hook: when the write of the message's last byte returned.
    std::chrono::steady_clock::time_point at;
    Fix fix;         // everything the message carried
    bool corrupted;  // sent with a wrong checksum
};

class Simulator {
public:
    explicit Simulator(const SimConfig& config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Device path for the program: the link when one was made, else the slave.
    const std::string& devicePath() const { return linkPath.empty() ? slavePath : linkPath; }
    const std::string& ptyPath() const { return slavePath; }
    int masterFd() const { return masterFd_; }

    void start();
    void stop();

    // Waits up to waitMs for bytes, takes what is there, sends what is due.
    void serviceOnce(int waitMs);
    // Bytes that arrived on the line (dropped unless the speeds match).
    void receive(const char* data, std::size_t n);
    // Sends the periodic output that is due.
    void sendDue();

    // What got through, as command lines without CR LF, and as raw bytes.
    std::vector<std::string> receivedLines() const;
    std::string receivedBytes() const;
    // Waits until a received line equals `line`.
    bool waitForLine(const std::string& line, std::chrono::milliseconds timeout) const;
    // Waits until at least `count` positions have been sent.
    bool waitForPositions(std::size_t count, std::chrono::milliseconds timeout) const;
    std::vector<SentPosition> sentPositions() const;
    // Bytes from the host lost to a speed mismatch.
    std::size_t bytesLost() const;
    // Bytes of output the pty would not take (a host that does not read).
    std::size_t bytesDropped() const;

    // Faults switched on and off while running.
    void setSilent(bool on);
    void setCorruptChecksums(bool on);

    unsigned baud() const;      // the receiver's rate
    unsigned lineBaud() const;  // the rate the program set on the line; 0 when none
    double rate(const std::string& output) const;
    int appSlot() const;

private:
    double now() const;
    bool speedsMatch() const;
    void write(const std::vector<Output>& out);

    int masterFd_ = -1;
    int slaveFd_ = -1;
    std::string slavePath;
    std::string linkPath;
    std::function<void(const std::string&)> onLine;
    std::function<void(const std::string&)> onSent;
    const std::chrono::steady_clock::time_point started;

    mutable std::mutex m;
    mutable std::condition_variable changed;
    ReceiverModel model;
    std::string partial;     // command line being collected
    bool inLine = false;
    std::vector<std::string> lines;
    std::string bytes;
    std::vector<SentPosition> positions;
    std::size_t lost = 0;
    std::size_t dropped = 0;

    std::thread worker;
    std::atomic<bool> running{false};
};

// Numeric baud rate of a termios speed constant; 0 for B0 or an unknown one.
unsigned baudOfSpeed(unsigned speed);

} // namespace GnssSim
