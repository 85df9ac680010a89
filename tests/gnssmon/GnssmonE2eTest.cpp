// The built gnssmon program against the simulated receiver.
//
// A run lasts 10 seconds unless --duration says otherwise: each test that
// lets the program run to its end without that option takes as long.

#include "tests/support/Program.h"
#include "tools/gnsssim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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
    // No options: every rate 0, 57600 baud, the default port (absent here):
    // the echo, why the port is not used said once, status 0 after the run.
    const auto r = runProgram(programPath("gnssmon"), {}, kRunLimit);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(echo(), r.out);
    EXPECT_EQ("gnssmon: cannot open /dev/ttyO1: No such file or directory (trying again)\n", r.err);
}

// A path that is not a serial line (a file, a FIFO, /dev/null, /dev/zero) is
// refused before anything is written to it, with one line that names it, and
// status 1; it does not run for ever (--duration 0) nor block in a read.
TEST(GnssmonE2e, PathThatIsNotATerminalIsRefusedUntouched) {
    char dir[] = "/tmp/gnssmon-e2e.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string file = std::string(dir) + "/file", fifo = std::string(dir) + "/fifo";
    const std::string content = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\nkeep me\n";
    std::ofstream(file) << content;
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    for (const std::string& path : {file, fifo, std::string("/dev/null"), std::string("/dev/zero")}) {
        for (const bool json : {false, true}) {
            std::vector<std::string> args = {"-p", path, "--bin1Rate", "1", "--duration", "0"};
            if (json) args.push_back("--json");
            const auto r = runProgram(programPath("gnssmon"), args, 30s);
            ASSERT_FALSE(r.timedOut) << path;
            EXPECT_EQ(1, r.exitStatus) << path;
            const std::string message = "refusing " + path + ": not a terminal, so not a serial line";
            if (json) {
                EXPECT_EQ(nlohmann::json({{"class", "ERROR"}, {"message", message}}).dump() + "\n", r.out);
                EXPECT_EQ("", r.err);
            } else {
                EXPECT_EQ("", r.out);
                EXPECT_EQ("gnssmon: " + message + "\n", r.err);
            }
        }
    }
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(content, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    unlink(file.c_str());
    unlink(fifo.c_str());
    rmdir(dir);
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
                              "rate is 0 ends up off", "57600 or 115200", "not a terminal is refused",
                              "SIGHUP", "dropped whole"}) {
            const std::size_t found = r.out.find(o, at);
            EXPECT_NE(std::string::npos, found) << o;
            at = found == std::string::npos ? at : found;
        }
    }
}

TEST(GnssmonE2e, BadCommandLineGivesOneLineAndStatus1) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"}, {"--ggaRate", "fast"}, {"--baud", "high"}, {"--vtgRate"}, {"-x"},
        {"--duration", "-1"}, {"--duration", "nan"},
        {"--listen", "gps"}, {"--listen", "0"}, {"--listen", "65536"}, {"--listen", "1.2.3:2947"}, {"--listen", "localhost:"},
        {"--bin1Rate", "%value%"}, {"-a%original_token%"},
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
// drives due east: a change of longitude alone is a new position. With
// --trace, standard error shows the exchange and standard output is as
// without it.
TEST(GnssmonE2e, AgainstTheGnsssimProgram) {
    char dir[] = "/tmp/gnssmon-e2e.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string link = std::string(dir) + "/rx";
    Child sim(programPath("gnsssim"), {"--link", link, "--baud", "9600", "--show", "--course", "90"});
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (access(link.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline) usleep(10000);
    const auto r = runProgram(programPath("gnssmon"), {"-p", link, "--bin1Rate", "5", "--trace"}, kRunLimit);
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
    std::size_t printedSize = echo(5).size();
    for (const std::string& p : pos) printedSize += p.size() + 1;
    EXPECT_EQ(printedSize, r.out.size()) << "only the echo and positions";

    // Every line of the trace is a write or a read: among the writes the
    // commands the receiver took, among the reads its position messages,
    // shortened to their header.
    std::string written;
    bool readFrame = false;
    for (const std::string& l : lines(r.err)) {
        std::smatch field;
        ASSERT_TRUE(std::regex_match(l, field, std::regex(" *[0-9]+ ([<>]) (.+)"))) << l;
        if (field[1] == ">") written += field[2].str() + "\n";
        readFrame = readFrame || (field[1] == "<" && field[2].str().find("{$BIN1 len 52}") != std::string::npos);
    }
    EXPECT_NE(std::string::npos, written.find("$JBAUD,57600\\r\\n")) << written;
    EXPECT_NE(std::string::npos, written.find("$JBIN,1,5\\r\\n")) << written;
    EXPECT_TRUE(readFrame) << r.err;
    EXPECT_EQ(0, simStatus);
    EXPECT_NE(0, access(link.c_str(), F_OK));  // the simulator removed its link
    rmdir(dir);
}

// A receiver that takes no "$J" command and sends GGA at 4800: found there,
// asked once more, left there. Its positions are printed to the end of the
// run, one notice says why it was not configured, and nothing but the "$JI"
// probes reached it. (A minute of it is GmsTest's, on a jumped tick.)
TEST(GnssmonE2e, ReceiverThatIgnoresJIsMonitoredAsItIs) {
    GnssSim::SimConfig cfg;
    cfg.model.baud = 4800;
    cfg.model.ignoreCommands = true;
    cfg.model.drive.speed = 8.0;
    GnssSim::Simulator sim(cfg);
    sim.start();
    const auto r = runProgram(programPath("gnssmon"), {"-p", sim.devicePath(), "--duration", "8"}, kRunLimit);
    sim.stop();
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ("gnssmon: the receiver on " + sim.devicePath() +
                  " does not take \"$J\" commands: it is monitored as it is, at 4800 baud\n",
              r.err);
    for (const std::string& l : sim.receivedLines()) EXPECT_EQ("$JI", l);
    EXPECT_EQ(4800u, sim.lineBaud());
    // Found in its first 2 s, then 5 positions a second: well over 15.
    const std::vector<std::string> pos = positionLines(r.out);
    ASSERT_GE(pos.size(), 15u) << r.out;
    EXPECT_EQ(pos.size(), lines(r.out).size() - lines(echo()).size());
}

// --duration: the run ends after that many seconds, whatever the line does.
TEST(GnssmonE2e, DurationEndsTheRun) {
    const auto start = std::chrono::steady_clock::now();
    const auto r = runProgram(programPath("gnssmon"), {"-p", "/nonexistent/ttyGNSS", "--duration", "1.5"}, kRunLimit);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(echo(), r.out);
    EXPECT_GE(took, 1.5);
    EXPECT_LT(took, 30.0);
}

// Waits until `done` holds, taking the program's output meanwhile; false
// when the program ended or the time ran out first.
bool waitFor(Child& program, const std::function<bool()>& done, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const bool ended = program.readAvailable();
        if (done()) return true;
        if (ended || std::chrono::steady_clock::now() > deadline) return false;
        program.waitForOutput(100ms);
    }
}

bool hasPosition(const Child& program) { return program.out.find("LAT: ") != std::string::npos; }

// A port that cannot be opened is tried again and again; the user hears why
// once, and again each time the reason changes; the receiver is found once
// it is there. With --json each reason is an ERROR object.
TEST(GnssmonE2e, PortProblemsAreToldOnceEachAndTheSearchGoesOn) {
    char dir[] = "/tmp/gnssmon-e2e.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string path = std::string(dir) + "/ttyGNSS";
    GnssSim::Simulator sim{GnssSim::SimConfig()};
    sim.start();
    Child gnssmon(programPath("gnssmon"), {"-p", path, "--json", "--bin1Rate", "5", "--duration", "0"});
    const auto errors = [&] {
        std::vector<std::string> out;
        for (const std::string& l : lines(gnssmon.out))
            if (nlohmann::json::parse(l)["class"] == "ERROR") out.push_back(nlohmann::json::parse(l)["message"]);
        return out;
    };
    ASSERT_TRUE(waitFor(gnssmon, [&] { return errors().size() == 1; }, 30s)) << gnssmon.out;
    std::ofstream(path) << "a file";
    ASSERT_TRUE(waitFor(gnssmon, [&] { return errors().size() == 2; }, 30s)) << gnssmon.out;
    ASSERT_EQ(0, unlink(path.c_str()));
    ASSERT_EQ(0, symlink(sim.ptyPath().c_str(), path.c_str()));
    ASSERT_TRUE(waitFor(gnssmon, [&] { return gnssmon.out.find("\"TPV\"") != std::string::npos; })) << gnssmon.out;
    EXPECT_EQ(0, gnssmon.wait(SIGTERM));
    EXPECT_EQ((std::vector<std::string>{"cannot open " + path + ": No such file or directory (trying again)",
                                        "refusing " + path + ": not a terminal, so not a serial line (trying again)"}),
              errors());
    unlink(path.c_str());
    rmdir(dir);
}

// One field of /proc/PID/status ("voluntary_ctxt_switches"), or -1.
long procStatus(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// CPU time the process has used, s.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // after the command name
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 13) return -1.0;
    return static_cast<double>(std::stoul(f[11]) + std::stoul(f[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// SIGINT, SIGTERM and SIGHUP end a run that would otherwise never end, at once and
// cleanly: status 0, and every line printed whole.
class GnssmonStop : public ::testing::TestWithParam<int> {};

TEST_P(GnssmonStop, SignalEndsTheRunCleanly) {
    GnssSim::SimConfig cfg;
    cfg.model.drive.speed = 8.0;
    GnssSim::Simulator sim(cfg);
    sim.start();
    Child gnssmon(programPath("gnssmon"), {"-p", sim.devicePath(), "--bin1Rate", "20", "--duration", "0"});
    ASSERT_TRUE(waitFor(gnssmon, [&] { return hasPosition(gnssmon); })) << gnssmon.out;

    kill(gnssmon.processId(), GetParam());
    EXPECT_TRUE(waitFor(gnssmon, [&] { return gnssmon.readAvailable(); }, 10s)) << "still running after the signal";
    EXPECT_EQ(0, gnssmon.wait());
    ASSERT_EQ(0u, gnssmon.out.find(echo(20)));
    EXPECT_EQ('\n', gnssmon.out.back());
    const std::vector<std::string> all = lines(gnssmon.out.substr(echo(20).size()));
    EXPECT_EQ(all, positionLines(gnssmon.out));
    for (const std::string& l : all) EXPECT_NE(std::string::npos, l.find(" LONG: ")) << l;
}

INSTANTIATE_TEST_SUITE_P(GnssmonE2e, GnssmonStop, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return i.param == SIGINT ? "SIGINT" : i.param == SIGTERM ? "SIGTERM" : "SIGHUP";
                         });

// A reader of the output that stops for 10 s (a pipe nobody reads, made as
// small as a pipe can be) holds neither the reading of the receiver nor the
// end of the run: SIGTERM ends it at once, with whole lines printed.
TEST(GnssmonE2e, ReaderThatStopsHoldsNeitherTheReceiverNorTheEnd) {
    GnssSim::SimConfig cfg;
    cfg.model.drive.speed = 8.0;
    GnssSim::Simulator sim(cfg);
    sim.start();
    int out[2];
    ASSERT_EQ(0, pipe2(out, O_CLOEXEC));
    fcntl(out[0], F_SETPIPE_SZ, 4096);
    const std::string program = programPath("gnssmon");
    std::vector<std::string> args = {program, "-p", sim.devicePath(), "--json", "--bin1Rate", "50", "--duration", "0"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    ASSERT_EQ(0, posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    ASSERT_TRUE(sim.waitForPositions(50, 60s));
    std::this_thread::sleep_for(10s);  // the reader's stop: not a wait for anything
    kill(pid, SIGTERM);
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) usleep(10000);
    if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "still running 10 s after SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The receiver was read all along: nothing it sent was refused by the line.
    EXPECT_EQ(0u, sim.bytesDropped());
    char buf[4096];
    // Whatever was printed is whole lines, one object each.
    std::string outText;
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) outText.append(buf, static_cast<std::size_t>(n));
    close(out[0]);
    ASSERT_FALSE(outText.empty());
    EXPECT_EQ('\n', outText.back());
    for (const std::string& l : lines(outText)) EXPECT_NO_THROW(nlohmann::json::parse(l)) << l;
}

// Once the receiver is configured and says nothing, the next thing the manager
// has to do is its watchdog, 30 s on: the program sleeps until then, or until
// the end of its --duration.
TEST(GnssmonE2e, NoWakeUpsWhileTheLineIsQuiet) {
    for (const char* duration : {"0", "60"}) {
        SCOPED_TRACE(duration);
        GnssSim::Simulator sim{GnssSim::SimConfig()};
        sim.start();
        Child gnssmon(programPath("gnssmon"), {"-p", sim.devicePath(), "--duration", duration});
        ASSERT_TRUE(sim.waitForLine("$JBAUD,57600,PORTD", 60s));  // the last line of the sequence
        const long before = procStatus(gnssmon.processId(), "voluntary_ctxt_switches");
        std::this_thread::sleep_for(2s);  // the window measured
        const long after = procStatus(gnssmon.processId(), "voluntary_ctxt_switches");
        ASSERT_GE(before, 0);
        EXPECT_LT(after - before, 5) << "wake-ups in 2 s of a quiet line (a 5 ms polling loop makes 400)";
        EXPECT_EQ(0, gnssmon.wait(SIGTERM));
    }
}

// A device that goes away stays "readable" with nothing to read: the program
// must not spin on it while it waits for the manager to find a line again.
TEST(GnssmonE2e, VanishedDeviceDoesNotSpin) {
    auto sim = std::make_unique<GnssSim::Simulator>(GnssSim::SimConfig());
    sim->start();
    Child gnssmon(programPath("gnssmon"), {"-p", sim->devicePath(), "--bin1Rate", "10", "--duration", "0"});
    ASSERT_TRUE(waitFor(gnssmon, [&] { return hasPosition(gnssmon); })) << gnssmon.out;
    sim.reset();
    const double before = cpuSeconds(gnssmon.processId());
    std::this_thread::sleep_for(2s);  // the window measured
    const double used = cpuSeconds(gnssmon.processId()) - before;
    ASSERT_GE(before, 0.0);
    EXPECT_LT(used, 0.2) << "CPU seconds in 2 s after the device went away";
    EXPECT_EQ(0, gnssmon.wait(SIGTERM));
}

// --json: one TPV object per line for every new fix, with the values of the
// binary message 1 that carried it (a receiver at rest reports too: its time
// moves on).
struct JsonCase {
    const char* name;
    double speed;
};

void PrintTo(const JsonCase& c, std::ostream* os) { *os << c.name; }

class GnssmonJson : public ::testing::TestWithParam<JsonCase> {};

TEST_P(GnssmonJson, EveryFixAsATpvObject) {
    GnssSim::SimConfig cfg;
    cfg.model.drive.speed = GetParam().speed;
    cfg.model.drive.turnRate = 3.0;
    cfg.model.navMode = 4;  // 3D with differential corrections
    GnssSim::Simulator sim(cfg);
    sim.start();
    const auto r = runProgram(programPath("gnssmon"),
                              {"-p", sim.devicePath(), "--json", "--duration", "5", "--bin1Rate", "10"}, kRunLimit);
    sim.stop();
    EXPECT_EQ(0, r.exitStatus);
    const std::vector<std::string> printed = lines(r.out);
    const std::vector<GnssSim::SentPosition> sent = sim.sentPositions();
    ASSERT_GE(printed.size(), 5u) << r.out;

    std::size_t next = 0;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        nlohmann::json j;
        ASSERT_NO_THROW(j = nlohmann::json::parse(printed[i])) << printed[i];
        // Matched to the frame by its time; the lines follow the frames one by one.
        const std::size_t first = next;
        while (next < sent.size() && GnssSim::utcText(sent[next].fix) != j.value("time", "")) ++next;
        ASSERT_LT(next, sent.size()) << "not sent, or out of order: " << printed[i];
        if (i > 0) {
            EXPECT_EQ(first, next) << "positions sent but not printed before " << printed[i];
        }
        const GnssSim::Fix& f = sent[next++].fix;

        EXPECT_EQ("TPV", j["class"]);
        EXPECT_EQ(sim.devicePath(), j["device"]);
        EXPECT_EQ(3, j["mode"]);
        EXPECT_EQ(2, j["status"]);
        EXPECT_NEAR(f.lat, j["lat"].get<double>(), 1e-9);
        EXPECT_NEAR(f.lon, j["lon"].get<double>(), 1e-9);
        EXPECT_NEAR(f.height, j["alt"].get<double>(), 1e-3);
        EXPECT_NEAR(f.speed, j["speed"].get<double>(), 1e-3);
        if (f.speed > 0.0) {
            EXPECT_NEAR(f.course, j["track"].get<double>(), 1e-3);
        } else {
            EXPECT_FALSE(j.contains("track"));
        }
        EXPECT_NEAR(f.velUp, j["climb"].get<double>(), 1e-3);
        EXPECT_EQ(2, j["dgpsAge"]);  // gnsssim's corrections are always 2 s old
        EXPECT_FALSE(j.contains("uSat"));  // the SKY object's
    }
}

INSTANTIATE_TEST_SUITE_P(GnssmonE2e, GnssmonJson, ::testing::Values(JsonCase{"Moving", 8.0}, JsonCase{"AtRest", 0.0}),
                         [](const ::testing::TestParamInfo<JsonCase>& i) { return std::string(i.param.name); });

} // namespace
