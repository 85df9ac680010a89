// The radiosim program: its command line, the link, the wire log and state
// files, and a clean end on SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Program.h"
#include "tests/tools/HostLine.h"

using namespace std::chrono_literals;

namespace {

// radiosim running in the background, its standard output on a pipe.
class RunningSim {
public:
    explicit RunningSim(const std::vector<std::string>& args) {
        const std::string program = TestSupport::programPath("radiosim");
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe failed");
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        outFd = out[0];
    }
    ~RunningSim() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(outFd);
    }

    // Standard output up to and including the next line end.
    std::string line(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pending.find('\n') == std::string::npos && readSome(deadline)) {
        }
        const std::size_t end = pending.find('\n');
        if (end == std::string::npos) return pending;
        const std::string first = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        return first;
    }

    // Sends SIGTERM; returns the exit status and the rest of standard output.
    int terminate(std::string& rest) {
        kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (readSome(deadline)) {
        }
        rest = pending;
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    bool readSome(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{outFd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(outFd, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid = -1;
    int outFd = -1;
    std::string pending;
};

struct TempDir {
    TempDir() {
        char name[] = "/tmp/radiosim-test-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
    std::string path;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

} // namespace

TEST(RadioSimProgramTest, ServesALinkedDeviceAndRecordsLogAndState) {
    TempDir dir;
    const std::string link = dir.path + "/radio", log = dir.path + "/wire.log", state = dir.path + "/state";
    RunningSim sim({"--type", "satel", "--link", link, "--log", log, "--state", state});
    ASSERT_EQ(sim.line(), link + "\n");
    EXPECT_NE(fileText(state).find("power=1000\n"), std::string::npos); // written at start

    {
        HostLine host(link);
        host.write("SL+++");
        EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
        host.write("SL@P=500\r");
        EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
        host.write("SL++O");
        EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    }
    // The state file is rewritten after every command, before its answer goes
    // out: having the last answer means the file is up to date.
    EXPECT_NE(fileText(state).find("power=500\n"), std::string::npos);
    EXPECT_NE(fileText(state).find("command_mode=no\n"), std::string::npos);

    std::string rest;
    EXPECT_EQ(sim.terminate(rest), 0);
    EXPECT_NE(rest.find("power=500\n"), std::string::npos) << rest; // final state on standard output
    EXPECT_EQ(fileText(log), "> SL+++\n< OK\\r\\n\n> SL@P=500\n< OK\\r\\n\n> SL++O\n< OK\\r\\n\n");
    EXPECT_FALSE(exists(link)); // removed on the way out
}

TEST(RadioSimProgramTest, FaultSwitchesAndALogOnStandardOutput) {
    RunningSim sim({"--type", "satel", "--log", "-", "--error-at", "1"});
    const std::string device = sim.line();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    HostLine host(device.substr(0, device.size() - 1));
    host.write("SL+++");
    EXPECT_EQ(host.readUntil("ERROR\r\n"), "ERROR\r\n");
    EXPECT_EQ(sim.line(), "> SL+++\n");
    EXPECT_EQ(sim.line(), "! error injected\n");
    EXPECT_EQ(sim.line(), "< ERROR\\r\\n\n");
    std::string rest;
    EXPECT_EQ(sim.terminate(rest), 0);
    EXPECT_NE(rest.find("command_mode=no\n"), std::string::npos) << rest;
}

TEST(RadioSimProgramTest, RefusesABadCommandLine) {
    const auto radiosim = TestSupport::programPath("radiosim");
    const auto unknown = TestSupport::runProgram(radiosim, {"--type", "nonesuch"}, 10s);
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(unknown.err.find("known: satel"), std::string::npos) << unknown.err;
    EXPECT_EQ(TestSupport::runProgram(radiosim, {}, 10s).exitStatus, 2);
    EXPECT_EQ(TestSupport::runProgram(radiosim, {"--type", "satel", "--error-at", "x"}, 10s).exitStatus, 2);

    // A link is never put over a file that is not a link.
    TempDir dir;
    const std::string file = dir.path + "/precious";
    std::ofstream(file) << "keep";
    const auto refused = TestSupport::runProgram(radiosim, {"--type", "satel", "--link", file}, 10s);
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(fileText(file), "keep");
}
