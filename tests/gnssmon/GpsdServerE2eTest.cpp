// gnssmon --listen against Debian's own gpsd clients (gpspipe from
// gpsd-clients, the gps module of python3-gps), with the simulated receiver
// streaming positions.

#include "tests/support/Program.h"
#include "tools/gnsssim/Simulator.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TestSupport::programPath;
using TestSupport::runProgram;
using Child = TestSupport::BackgroundProgram;

sockaddr_in loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A listening socket on a port the system picked; its port in `port`.
int listenAnywhere(unsigned short& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 1);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
    return fd;
}

unsigned short freePort() {
    unsigned short port = 0;
    close(listenAnywhere(port));
    return port;
}

// A client that has asked for the stream.
int watcher(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    const std::string watch = "?WATCH={\"enable\":true,\"json\":true};\n";
    send(fd, watch.data(), watch.size(), MSG_NOSIGNAL);
    return fd;
}

// Reads `fd` until `text` has come; false at its end or after 30 s.
bool readUntil(int fd, const std::string& text) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got.find(text) != std::string::npos;
}

bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!done() && std::chrono::steady_clock::now() < deadline) poll(nullptr, 0, 20);
    return done();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
    return out;
}

std::size_t openDescriptors(pid_t pid) {
    std::size_t n = 0;
    if (DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (readdir(d) != nullptr) ++n;
        closedir(d);
    }
    return n;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// gnssmon with --json and --listen on a streaming receiver, once it prints.
class GnssmonListen : public ::testing::Test {
protected:
    void SetUp() override {
        GnssSim::SimConfig cfg;
        cfg.model.drive.speed = 8.0;
        sim = std::make_unique<GnssSim::Simulator>(cfg);
        sim->start();
        gnssmon = std::make_unique<Child>(programPath("gnssmon"), std::vector<std::string>{
            "-p", sim->devicePath(), "--bin1Rate", "10", "--json", "--duration", "0", "--listen", std::to_string(port)});
        ASSERT_TRUE(waitUntil([&] { return gnssmon->readAvailable() || !gnssmon->out.empty(); })) << "no fix printed";
    }

    const unsigned short port = freePort();
    std::unique_ptr<GnssSim::Simulator> sim;
    std::unique_ptr<Child> gnssmon;
};

// gpspipe prints the TPVs that gnssmon decodes (those of its own --json, as
// every report it serves), and the Python client gets a fix, while a watcher
// that never reads is connected beside them.
TEST_F(GnssmonListen, GpspipeAndPythonGetTheFixesBesideAClientThatNeverReads) {
    const int stalled = watcher(port);
    ASSERT_GE(stalled, 0);

    const auto piped = runProgram("/usr/bin/gpspipe", {"-w", "-n", "10", "127.0.0.1:" + std::to_string(port)}, 60s);
    ASSERT_EQ(0, piped.exitStatus) << piped.err;
    const std::vector<std::string> got = lines(piped.out);
    ASSERT_EQ(10u, got.size()) << piped.out;
    std::vector<std::string> classes;
    for (const std::string& l : got) classes.push_back(nlohmann::json::parse(l).at("class"));
    EXPECT_EQ((std::vector<std::string>{"VERSION", "DEVICES", "WATCH"}), std::vector<std::string>(classes.begin(), classes.begin() + 3));
    for (std::size_t i = 3; i < got.size(); ++i) {
        EXPECT_TRUE(classes[i] == "TPV" || classes[i] == "SKY") << got[i];
        EXPECT_TRUE(waitUntil([&] { gnssmon->readAvailable(); return gnssmon->out.find(got[i] + "\n") != std::string::npos; }))
            << "not printed by gnssmon: " << got[i];
    }

    const char* script =
        "import gps, sys\n"
        "s = gps.gps(host='127.0.0.1', port=sys.argv[1], mode=gps.WATCH_ENABLE | gps.WATCH_NEWSTYLE)\n"
        "for r in s:\n"
        "    if r['class'] == 'TPV' and r.get('mode', 0) >= 2:\n"
        "        print(s.fix.mode, repr(s.fix.latitude), repr(s.fix.longitude))\n"
        "        break\n";
    const auto python = runProgram("/usr/bin/python3", {"-c", script, std::to_string(port)}, 60s);
    ASSERT_EQ(0, python.exitStatus) << python.err;
    std::istringstream fix(python.out);
    int mode = 0;
    double lat = 0, lon = 0;
    fix >> mode >> lat >> lon;
    EXPECT_EQ(3, mode) << python.out;
    bool printed = false;
    gnssmon->readAvailable();
    for (const std::string& l : lines(gnssmon->out)) {
        const auto tpv = nlohmann::json::parse(l, nullptr, false);  // the last line may not be whole
        printed = printed || (tpv.is_object() && tpv.value("lat", 0.0) == lat && tpv.value("lon", 0.0) == lon);
    }
    EXPECT_TRUE(printed) << python.out;

    EXPECT_EQ(0, gnssmon->wait(SIGTERM));
    close(stalled);
}

// 100 clients at a time connect, take a fix and leave, three times: every
// descriptor is closed again, and memory does not grow after the first time
// (under AddressSanitizer, which holds freed memory back, its leak check at
// the program's end says so instead).
TEST_F(GnssmonListen, HundredClientsComingAndGoingLeaveNothingBehind) {
    const pid_t pid = gnssmon->processId();
    const std::size_t descriptors = openDescriptors(pid);
    long afterFirst = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<int> clients;
        for (int i = 0; i < 100; ++i) clients.push_back(watcher(port));
        for (const int fd : clients) {
            ASSERT_GE(fd, 0);
            EXPECT_TRUE(readUntil(fd, "\"class\":\"TPV\""));
            close(fd);
        }
        EXPECT_TRUE(waitUntil([&] { return openDescriptors(pid) == descriptors; }))
            << openDescriptors(pid) << " descriptors open, " << descriptors << " before";
        if (round == 0) afterFirst = residentKiB(pid);
    }
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LE(residentKiB(pid), afterFirst + 64) << "KiB resident after two more rounds";
#else
    (void)afterFirst;
#endif
    EXPECT_EQ(0, gnssmon->wait(SIGTERM));
}

TEST(GnssmonListenE2e, PortInUseIsOneLineAndStatus1) {
    unsigned short port = 0;
    const int taken = listenAnywhere(port);
    const auto r = runProgram(programPath("gnssmon"), {"--listen", std::to_string(port), "--duration", "1"}, 30s);
    close(taken);
    EXPECT_EQ(1, r.exitStatus);
    EXPECT_EQ("Cannot listen on " + std::to_string(port) + ": Address already in use\n", r.out);
}

} // namespace
