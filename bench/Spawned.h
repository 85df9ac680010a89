#pragma once
// A program started for a whole-program measurement: its standard output
// (and error) come back through a pipe, line by line with the monotonic time
// each line arrived; at the end its exit status, wall time and its own
// resource use (wait4: CPU time, peak resident memory).

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace Bench {

using Clock = std::chrono::steady_clock;

struct Finished {
    int exitStatus = -1;  // -1: ended by a signal
    double wall = 0.0;    // s, from the start to the end of its output and exit
    double user = 0.0, sys = 0.0;  // s of CPU
    long maxRssKiB = 0;
    long voluntarySwitches = 0;  // its wake-ups from sleeping (and other waits)
    std::vector<std::pair<std::string, Clock::time_point>> lines;  // with arrival times
    Clock::time_point started;
};

inline double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs `args` (args[0] is the program's path) to its end. `started`, when
// given, is called with its process id as soon as it runs (to watch it from
// another thread while this one collects its output).
inline Finished runToEnd(const std::vector<std::string>& args, const std::function<void(pid_t)>& started = {})
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    Finished f;
    pid_t pid;
    f.started = Clock::now();
    const int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start " + args[0]);
    }
    if (started) started(pid);

    std::string partial;
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, -1) < 0) continue;
        char buf[4096];
        const ssize_t n = read(out[0], buf, sizeof buf);
        const Clock::time_point now = Clock::now();
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] == '\n') {
                f.lines.emplace_back(partial, now);
                partial.clear();
            } else {
                partial.push_back(buf[i]);
            }
        }
    }
    close(out[0]);
    if (!partial.empty()) f.lines.emplace_back(partial, Clock::now());

    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    f.wall = std::chrono::duration<double>(Clock::now() - f.started).count();
    f.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    f.user = seconds(usage.ru_utime);
    f.sys = seconds(usage.ru_stime);
    f.maxRssKiB = usage.ru_maxrss;
    f.voluntarySwitches = usage.ru_nvcsw;
    return f;
}

} // namespace Bench
