#pragma once
// A pseudo-terminal pair for tests: the program under test opens slavePath(),
// the test (or a simulator) talks on the master side. Both ends are raw.

#include <chrono>
#include <string>

namespace TestSupport {

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master() const { return masterFd; }
    const std::string& slavePath() const { return path; }

    // Writes all bytes to the master side.
    void write(const std::string& bytes);
    // Reads from the master side until `wanted` bytes arrived, or the timeout
    // passed; returns what arrived.
    std::string read(std::size_t wanted, std::chrono::milliseconds timeout);
    // Reads until `needle` appears in what arrived, or the timeout passed.
    std::string readUntil(const std::string& needle, std::chrono::milliseconds timeout);
    // Closes the slave descriptor kept open by the pair, so that the line ends
    // when the program under test closes its own.
    void closeSlave();
    // Closes the master: the program under test sees a hang-up.
    void closeMaster();

private:
    int masterFd = -1;
    int slaveFd = -1;
    std::string path;
};

} // namespace TestSupport
