// The built gnssmon program against the simulated receiver.
//
// A run is 2000 polling passes of at least 5 ms, so each test that lets the
// program run to its end takes a little over 10 seconds.

#include "tests/support/Program.h"
#include "tools/gnsssim/Simulator.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TestSupport::programPath;
using TestSupport::runProgram;

constexpr auto kRunLimit = 120s;

using Child = TestSupport::BackgroundProgram;

struct RunResult {
    int exitStatus;
    std::string out;
};

// Runs gnssmon to its end while the simulated receiver is serviced from this
// thread.
RunResult runAgainst(GnssSim::Simulator& sim, const std::vector<std::string>& args) {
    Child gnssmon(programPath("gnssmon"), args);
    const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
    while (!gnssmon.readAvailable() && std::chrono::steady_clock::now() < deadline) sim.serviceOnce(2);
    const int status = gnssmon.wait();
    return {status, gnssmon.out};
}

std::string echo(int bin1 = 0, int gga = 0, unsigned baud = 57600) {
    std::ostringstream o;
    o << "Configured rates: \n"
      << "\tbin1Rate    = " << bin1 << "\n"
      << "\tbin2Rate    = 0\n"
      << "\tggaRate     = " << gga << "\n"
      << "\tvtgRate     = 0\n"
      << "\tgstRate     = 0\n"
      << "\therotRate   = 0\n"
      << "\thehdgRate   = 0\n"
      << "\talmRate     = 0\n"
      << "\tjomsRate    = 0\n"
      << "\tjdiffRate   = 0\n"
      << "\tbaudRate    = " << baud << "\n";
    return o.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The position lines the program printed, after the echo.
std::vector<std::string> positionLines(const std::string& out) {
    std::vector<std::string> pos;
    for (const std::string& l : lines(out))
        if (l.rfind("LAT: ", 0) == 0) pos.push_back(l);
    return pos;
}

// A sent position as the program prints it: 12 significant digits.
std::string printed(const GnssSim::SentPosition& p) {
    std::ostringstream o;
    o.precision(12);
    o << "LAT: " << p.lat << " LONG: " << p.lon;
    return o.str();
}

TEST(GnssmonE2e, DefaultsEchoAndNoReceiver) {
    // No options: every rate 0, 57600 baud, the default port (absent here or
    // silent): the echo and nothing else, status 0 after the passes.
    const auto r = runProgram(programPath("gnssmon"), {}, kRunLimit);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(echo(), r.out);
}

TEST(GnssmonE2e, PortThatDoesNotExistGivesTheEchoAndStatus0) {
    const auto r = runProgram(programPath("gnssmon"), {"-p", "/nonexistent/ttyGNSS", "--bin1Rate", "1"}, kRunLimit);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(echo(1), r.out);
}

// /dev/zero always has bytes to read: a line that never runs dry must not
// hold the program past the end of its run.
TEST(GnssmonE2e, LineThatNeverRunsDryEndsOnTime) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = runProgram(programPath("gnssmon"), {"-p", "/dev/zero", "--bin1Rate", "1"}, kRunLimit);
    ASSERT_FALSE(r.timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 5s);  // it did run its passes
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(echo(1), r.out);
}

TEST(GnssmonE2e, HelpListsTheOptionsAndExits1) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"},
                                                 std::vector<std::string>{"--ggaRate", "5", "--help"}}) {
        const auto r = runProgram(programPath("gnssmon"), args, 30s);
        EXPECT_EQ(1, r.exitStatus);
        EXPECT_EQ(0u, r.out.rfind("Allowed Options:\n", 0)) << r.out;
        EXPECT_EQ(std::string::npos, r.out.find("Configured rates"));
        std::size_t at = 0;
        // The options, then what a rate of 0 really does, and the baud rates.
        for (const char* o : {"-h [ --help ]", "--bin1Rate arg (=0)", "--ggaRate", "--jdiffRate",
                              "-p [ --port ] arg (=/dev/ttyO1)", "--baud arg (=57600)", "$JOFF", "$JSAVE",
                              "rate is 0 ends up off", "57600 or 115200"}) {
            const std::size_t found = r.out.find(o, at);
            EXPECT_NE(std::string::npos, found) << o;
            at = found == std::string::npos ? at : found;
        }
    }
}

TEST(GnssmonE2e, BadCommandLineGivesOneLineAndStatus1) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"}, {"--ggaRate", "fast"}, {"--baud", "high"}, {"--vtgRate"}, {"-x"},
    };
    for (const auto& args : cases) {
        const auto r = runProgram(programPath("gnssmon"), args, 30s);
        EXPECT_EQ(1, r.exitStatus) << args[0];
        ASSERT_EQ(1u, lines(r.out).size()) << r.out;
        EXPECT_FALSE(lines(r.out)[0].empty());
        EXPECT_EQ(std::string::npos, r.out.find("Configured rates"));
    }
}

// A rate the receiver or the UART does not run at is refused before any
// byte reaches the receiver: "$JBAUD,1234" would leave it where no search
// looks.
TEST(GnssmonE2e, BaudRateOutsideTheListIsRefusedBeforeAnyByte) {
    GnssSim::Simulator sim{GnssSim::SimConfig()};
    for (const char* baud : {"1234", "0", "-1", "115201", "4294967295", "57600.0"}) {
        const auto r = runProgram(programPath("gnssmon"),
                                  {"-p", sim.devicePath(), "--bin1Rate", "1", std::string("--baud=") + baud}, 30s);
        EXPECT_EQ(1, r.exitStatus) << baud;
        EXPECT_EQ(std::string("Invalid baudrate: ") + baud + "\n", r.out);
    }
    sim.serviceOnce(50);
    EXPECT_EQ("", sim.receivedBytes());
    EXPECT_EQ(0u, sim.bytesLost());
}

// The receiver talks at 19200: found there, moved to 115200, configured, and
// every position it sends is printed as it moves. It drives due north: a
// change of latitude alone is a new position.
TEST(GnssmonE2e, MovingReceiverPositionsArePrintedAsSent) {
    GnssSim::SimConfig cfg;
    cfg.model.baud = 19200;
    cfg.model.drive.speed = 8.0;
    cfg.model.drive.course = 0.0;
    GnssSim::Simulator sim(cfg);
    const RunResult r =
        runAgainst(sim, {"-p", sim.devicePath(), "--bin1Rate", "10", "--ggaRate", "5", "--baud", "115200"});
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(0u, r.out.find(echo(10, 5, 115200)));
    const std::string received = sim.receivedBytes();
    EXPECT_NE(std::string::npos, received.find("$JASC,GPGGA,5.000000\r\n"));
    EXPECT_NE(std::string::npos, received.find("$JBIN,1,10\r\n"));
    EXPECT_EQ(115200u, sim.baud());

    // Every line is a position the receiver sent, in the order sent, and no
    // line repeats the one before.
    const std::vector<std::string> pos = positionLines(r.out);
    const std::vector<GnssSim::SentPosition> sent = sim.sentPositions();
    ASSERT_GE(sent.size(), 10u);
    EXPECT_EQ(sent.front().lon, sent.back().lon);
    // A line per position sent, short of the odd one that a pass held up by a
    // busy machine took together with the next, or that was still on the line
    // at the end of the run.
    EXPECT_GE(pos.size(), sent.size() - sent.size() / 10);
    std::size_t next = 0;
    for (std::size_t i = 0; i < pos.size(); ++i) {
        while (next < sent.size() && printed(sent[next]) != pos[i]) ++next;
        ASSERT_LT(next, sent.size()) << "not sent, or out of order: " << pos[i];
        ++next;
        if (i > 0) {
            EXPECT_NE(pos[i - 1], pos[i]);
        }
    }
    EXPECT_EQ(echo(10, 5, 115200).size() + [&] {
        std::size_t n = 0;
        for (const std::string& p : pos) n += p.size() + 1;
        return n;
    }(), r.out.size()) << "only the echo and position lines";
}

// A receiver at rest sends the same position again and again: it is printed once.
TEST(GnssmonE2e, PositionThatDoesNotChangeIsPrintedOnce) {
    GnssSim::SimConfig cfg;
    cfg.model.drive.speed = 0.0;
    GnssSim::Simulator sim(cfg);
    const RunResult r = runAgainst(sim, {"-p", sim.devicePath(), "--bin1Rate", "10"});
    EXPECT_EQ(0, r.exitStatus);
    const std::vector<GnssSim::SentPosition> sent = sim.sentPositions();
    ASSERT_GE(sent.size(), 10u);
    const std::vector<std::string> pos = positionLines(r.out);
    ASSERT_EQ(1u, pos.size());
    EXPECT_EQ(printed(sent.front()), pos[0]);
}

// The gnsssim program as the demo runs it: linked at a path, at 9600 baud,
// printing what it receives; gnssmon finds it and prints positions. It
// drives due east: a change of longitude alone is a new position.
TEST(GnssmonE2e, AgainstTheGnsssimProgram) {
    char dir[] = "/tmp/gnssmon-e2e.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string link = std::string(dir) + "/rx";
    Child sim(programPath("gnsssim"), {"--link", link, "--baud", "9600", "--show", "--course", "90"});
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (access(link.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline) usleep(10000);
    const auto r = runProgram(programPath("gnssmon"), {"-p", link, "--bin1Rate", "5"}, kRunLimit);
    const int simStatus = sim.wait(SIGTERM);
    const std::string& simOut = sim.out;
    EXPECT_EQ(0, r.exitStatus);
    const std::vector<std::string> pos = positionLines(r.out);
    ASSERT_GE(pos.size(), 5u) << r.out;
    for (std::size_t i = 1; i < pos.size(); ++i) {
        EXPECT_EQ(pos[0].substr(0, pos[0].find(" LONG: ")), pos[i].substr(0, pos[i].find(" LONG: ")));
        EXPECT_NE(pos[i - 1], pos[i]);
    }
    EXPECT_NE(std::string::npos, simOut.find("< $JBAUD,57600\n")) << simOut;
    EXPECT_NE(std::string::npos, simOut.find("< $JBIN,1,5\n")) << simOut;
    EXPECT_EQ(0, simStatus);
    EXPECT_NE(0, access(link.c_str(), F_OK));  // the simulator removed its link
    rmdir(dir);
}

} // namespace
