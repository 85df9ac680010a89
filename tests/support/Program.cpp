#include "tests/support/Program.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace TestSupport {

std::string programPath(const std::string& name) { return std::string(VELTRIO_BIN_DIR) + "/" + name; }

namespace {

// Starts `program` with `args`, its standard output on `outFd` and its
// standard error on `errFd` (or /dev/null for -1), standard input from
// /dev/null; `close` lists descriptors the child must not keep. Under
// cross-compilation the program runs through the emulator. posix_spawn
// rather than fork: it also works under user-mode emulation.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, int outFd, int errFd,
            std::initializer_list<int> close) {
    std::vector<std::string> words;
    std::istringstream emulator(VELTRIO_TEST_EMULATOR);
    for (std::string word; emulator >> word;) words.push_back(word);
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (int fd : close) posix_spawn_file_actions_addclose(&actions, fd);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + program);
    return pid;
}

// Every object radiocfg --json prints in a test is checked against the
// output's schema by tools/check-radiocfg-json; one that does not follow it
// fails the test that ran the program.
void checkRadiocfgJson(const std::string& program, const std::vector<std::string>& args,
                       const ProgramResult& result) {
    if (program != programPath("radiocfg") || result.timedOut || runsUnderEmulator() ||
        std::find(args.begin(), args.end(), "--json") == args.end())
        return;
    char path[] = "/tmp/radiocfg-json-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const bool written = ::write(fd, result.out.data(), result.out.size()) == static_cast<ssize_t>(result.out.size());
    close(fd);
    ASSERT_TRUE(written);
    const ProgramResult check =
        runProgram("python3", {std::string(VELTRIO_SOURCE_DIR) + "/tools/check-radiocfg-json", path});
    unlink(path);
    EXPECT_EQ(check.exitStatus, 0) << "radiocfg --json output against its schema:\n" << check.out << check.err;
}

} // namespace

bool runsUnderEmulator() { return !std::string(VELTRIO_TEST_EMULATOR).empty(); }

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit, int stderrFd) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = spawn(program, args, outPipe[1], stderrFd >= 0 ? stderrFd : errPipe[1],
                            {outPipe[0], outPipe[1], errPipe[0], errPipe[1]});
    close(outPipe[1]);
    close(errPipe[1]);
    if (stderrFd >= 0) close(errPipe[0]);

    ProgramResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {stderrFd >= 0 ? -1 : errPipe[0], POLLIN, 0}};
    int open = stderrFd >= 0 ? 1 : 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    checkRadiocfgJson(program, args, result);
    return result;
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& args) {
    int p[2];
    if (pipe(p) != 0) throw std::runtime_error("pipe failed");
    try {
        pid = spawn(program, args, p[1], -1, {p[0], p[1]});
    } catch (...) {
        close(p[0]);
        close(p[1]);
        throw;
    }
    close(p[1]);
    fd = p[0];
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

BackgroundProgram::~BackgroundProgram() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (fd >= 0) close(fd);
}

bool BackgroundProgram::readAvailable() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) eof = true;
        return eof;
    }
}

bool BackgroundProgram::waitForOutput(std::chrono::milliseconds timeout) {
    if (eof) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    const std::size_t before = out.size();
    return readAvailable() || out.size() > before;
}

int BackgroundProgram::wait(int signal) {
    if (pid <= 0) return -1;
    if (signal != 0) kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    pollfd p{fd, POLLIN, 0};
    while (!eof && ::poll(&p, 1, 5000) > 0) readAvailable();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace TestSupport
