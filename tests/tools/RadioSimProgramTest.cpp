// The radiosim program: its command line, the link, the wire log and state
// files, and a clean end on SIGTERM.
#include <signal.h>
#include <sys/stat.h>
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

// radiosim running in the background, its standard output read line by line.
class RunningSim {
public:
    explicit RunningSim(const std::vector<std::string>& args)
        : program(TestSupport::programPath("radiosim"), args) {}

    // Standard output up to and including the next line end.
    std::string line(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (program.out.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !program.waitForOutput(left)) break;
        }
        const std::size_t end = program.out.find('\n');
        const std::string first = end == std::string::npos ? program.out : program.out.substr(0, end + 1);
        program.out.erase(0, first.size());
        return first;
    }

    // Sends SIGTERM; returns the exit status and the rest of standard output.
    int terminate(std::string& rest) {
        const int status = program.wait(SIGTERM);
        rest = program.out;
        return status;
    }

private:
    TestSupport::BackgroundProgram program;
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
    RunningSim sim(
        {"--type", "satel", "--link", link, "--log", log, "--state", state, "--set", "rx_frequency=438200000"});
    ASSERT_EQ(sim.line(), link + "\n");
    EXPECT_NE(fileText(state).find("power=1000\n"), std::string::npos); // written at start
    EXPECT_NE(fileText(state).find("rx_frequency=438200000\n"), std::string::npos);

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
    EXPECT_EQ(TestSupport::runProgram(radiosim, {"--type", "satel", "--set", "S108=25"}, 10s).exitStatus, 2);

    // A link is never put over a file that is not a link.
    TempDir dir;
    const std::string file = dir.path + "/precious";
    std::ofstream(file) << "keep";
    const auto refused = TestSupport::runProgram(radiosim, {"--type", "satel", "--link", file}, 10s);
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(fileText(file), "keep");
}
