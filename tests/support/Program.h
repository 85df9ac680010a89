#pragma once
// Runs a built program of the project and collects what it printed.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace TestSupport {

struct ProgramResult {
    int exitStatus = -1;     // exit status, or -1 when killed by a signal
    bool timedOut = false;   // killed because it ran past the limit
    std::string out;         // standard output
    std::string err;         // standard error
};

// Path of a program built into build/bin.
std::string programPath(const std::string& name);

// Whether the programs under test run through an emulator (the tests of a
// cross-build): every program started runs through it, so the host's own
// programs (python3, setpriv) cannot be started then.
bool runsUnderEmulator();

// Runs `program` with `args`, waits at most `limit`, and kills it after that.
// With `stderrFd` its standard error goes to that descriptor (a terminal, say)
// instead of into the result.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit = std::chrono::seconds(60), int stderrFd = -1);

// A program started in the background, its standard output collected without
// blocking (standard error is discarded). Killed when destroyed.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // Takes what the program has printed so far into `out`; true once it
    // closed its output.
    bool readAvailable();
    // Waits up to `timeout` for more output (or its end) and takes it; false
    // when nothing came.
    bool waitForOutput(std::chrono::milliseconds timeout);
    // Waits for the end of the program (after sending `signal`, when not 0)
    // and collects the rest of its output; its exit status, or -1.
    int wait(int signal = 0);
    // Its process id while it runs (-1 once waited for).
    pid_t processId() const { return pid; }

    std::string out;

private:
    pid_t pid = -1;
    int fd = -1;
    bool eof = false;
};

} // namespace TestSupport
