#pragma once
// The command line of a program-under-fuzz: the input is the argument list,
// NUL between arguments. No argument may reach a device: one that holds a
// "/" is put under "/nonexistent".

#include "tests/fuzz/FuzzCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace CommandLineInput {

// Standard output, where the programs say what they did or refused, goes to
// /dev/null for the life of the process.
inline void discardStandardOutput()
{
    static bool done = false;
    if (done) return;
    done = true;
    const int null = open("/dev/null", O_WRONLY);
    FUZZ_CHECK(null >= 0 && dup2(null, STDOUT_FILENO) >= 0);
    close(null);
}

// `args` (the program's name and what the harness puts first) followed by
// the input's arguments, with the argv pointers into them.
struct CommandLine {
    std::vector<std::string> args;
    std::vector<char*> argv;

    CommandLine(std::vector<std::string> first, const uint8_t* data, std::size_t size) : args(std::move(first))
    {
        std::string arg;
        for (std::size_t k = 0; k <= size; ++k) {
            if (k < size && data[k] != '\0') {
                arg += static_cast<char>(data[k]);
                continue;
            }
            if (arg.find('/') != std::string::npos) arg = "/nonexistent" + arg;
            args.push_back(arg);
            arg.clear();
        }
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(args.size()); }
};

} // namespace CommandLineInput
