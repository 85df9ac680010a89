#pragma once
// Runs a built program of the project and collects what it printed.

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

// Runs `program` with `args`, waits at most `limit`, and kills it after that.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

} // namespace TestSupport
