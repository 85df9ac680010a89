#pragma once
// A receiver that replays a capture of what a real receiver sent, on a
// pseudo-terminal: the program under test opens devicePath() as its UART.
// It answers no "$J" command: what the host writes is read and dropped.
//
// The capture goes out as fast as the host reads it (the writes wait for
// room in the pty rather than drop), so that every line arrives whole and in
// order, however slow the machine.

#include <chrono>
#include <string>
#include <vector>

namespace NmeaReplay {

// The receiver's lines of a capture file: every line but the capture's own
// notes (lines starting "#") and empty ones, without their line ends.
// Throws std::runtime_error when the file cannot be read.
std::vector<std::string> captureLines(const std::string& path);

class Replayer {
public:
    Replayer();  // throws std::runtime_error when no pty can be had
    ~Replayer();
    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;

    const std::string& devicePath() const { return path; }

    // Waits until the host has opened the line and written to it (its first
    // probe, say); false after `timeout` without a byte.
    bool waitForHost(std::chrono::milliseconds timeout);
    // Sends the lines, each ending in CR LF. False when the host took nothing
    // for `stall`.
    bool play(const std::vector<std::string>& lines, std::chrono::milliseconds stall);
    // Bytes the host wrote so far.
    std::size_t bytesFromHost() const { return fromHost; }

private:
    void drain();

    int masterFd = -1;
    int slaveFd = -1;
    std::string path;
    std::size_t fromHost = 0;
};

} // namespace NmeaReplay
