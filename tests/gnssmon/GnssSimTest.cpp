// The simulated receiver: what it says must be what the monitor's own
// parsers decode, and its pty front end must behave like a UART line.

#include "tools/gnsssim/Simulator.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "tools/gnsssim/Messages.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using GnssSim::ModelConfig;
using GnssSim::Output;
using GnssSim::ReceiverModel;

// Feeds the model's output through both parsers of receiver 0, as the
// manager does.
int feed(const std::vector<Output>& out) {
    int frames = 0;
    for (const Output& o : out)
        for (char c : o.bytes) {
            NmeaParseProcessChrIn(0, c);
            frames += QelParseProcessChrIn(0, static_cast<unsigned char>(c));
        }
    return frames;
}

class SimDecode : public ::testing::Test {
protected:
    void SetUp() override {
        GpsDbInit(0, false);
        NmeaParseInit(0);
        QelParseInit(0);
    }
};

TEST_F(SimDecode, RepliesFillTheDatabase) {
    ReceiverModel rx(ModelConfig{});
    feed(rx.onLine("$JBIN,1,10", 0));
    for (const char* q : {"$JI", "$JT", "$JK", "$JAPP", "$JSHOW", "$JOMS"}) {
        const std::vector<Output> out = rx.onLine(q, 0);
        ASSERT_FALSE(out.empty()) << q;
        feed(out);
    }
    EXPECT_STREQ("8120431", szGpsDbGetSerialNumber(0));
    EXPECT_STREQ("1.5Sim", szGpsDbGetApplicationVersion(0));
    EXPECT_STREQ("SIM325", szGpsDbGetReceiverName(0));
    EXPECT_EQ(0x0F, iGpsDbGetSubscriptionMask(0));
    EXPECT_EQ(1, iGpsDbGetThisApp(0));
    EXPECT_STREQ("RTK", szGpsDbGetApp1(0));
    EXPECT_STREQ("OMNISTAR", szGpsDbGetApp2(0));
    EXPECT_EQ(10, wGpsDbGetPosPerSec(0));
    EXPECT_STREQ("WAAS", szGpsDbGetDiffTypeString(0));
    EXPECT_STREQ("31/12/2030", szGpsDbGetVBSexpire(0));
    EXPECT_NE(0u, dwNmeaParseGetGoodMsgTick(0));

    // After a switch to slot 2 the receiver reports it so.
    rx.onLine("$JAPP,OTHER", 0);
    feed(rx.onLine("$JAPP", 0));
    EXPECT_EQ(2, iGpsDbGetThisApp(0));
    EXPECT_STREQ("RTK", szGpsDbGetApp1(0));
}

TEST_F(SimDecode, StreamsDecodeAlongTheDrive) {
    ModelConfig cfg;
    cfg.drive.speed = 5.0;
    cfg.drive.course = 90.0;
    ReceiverModel rx(cfg);
    for (const char* c : {"$JBIN,1,10", "$JBIN,2,1", "$JBIN,99,1", "$JASC,GPVTG,1", "$JASC,GPGSV,1",
                          "$JASC,HEROT,1", "$JASC,HEHDG,1", "$JASC,D1,1"})
        rx.onLine(c, 0.0);
    EXPECT_EQ(3, feed(rx.due(2.0)));
    const GnssSim::Fix fix = GnssSim::Drive(cfg.drive).at(2.0);
    EXPECT_EQ(fix.lat, dGpsDbGetRawLat(0));
    EXPECT_EQ(fix.lon, dGpsDbGetRawLon(0));
    EXPECT_GT(fix.lon, cfg.drive.lon);  // heading east
    EXPECT_EQ(fix.satsUsed, iGpsDbGetNumSats(0));
    EXPECT_NEAR(5.0, dGpsDbGetVelocity(0), 0.01);
    EXPECT_NEAR(90.0, dGpsDbGetCourse(0), 0.1);
    EXPECT_FLOAT_EQ(0.9f, fGpsDbGetHdop(0));
    EXPECT_EQ(122, wGpsDbGetDiffSv1(0));
    EXPECT_EQ(134, wGpsDbGetDiffSv2(0));
    EXPECT_EQ(fix.satellites[0].prn, GpsDbGetGPSChannelDataSV(0, 0));
    EXPECT_NEAR(fix.satellites[0].snr, GpsDbGetGPSChannelDataSNR(0, 0), 0.01);
    EXPECT_FLOAT_EQ(0.0f, GpsDbGetRateOfTurn(0));
    EXPECT_FLOAT_EQ(16.5f, GpsDbGetVariation(0));
    EXPECT_STREQ("0.000000", szGpsDbGetBER(0));

    // The almanac is sent once on request.
    feed(rx.onLine("$JASC,GPALM", 2.0));
    const _GPS_DB_ALMANAC* alm = GpsDbGetAlmanac(0, fix.satellites[0].prn - 1);
    ASSERT_NE(nullptr, alm);
    EXPECT_EQ(fix.week % 1024, alm->wWeek);
}

TEST_F(SimDecode, CorruptedChecksumsAreRejected) {
    ModelConfig cfg;
    cfg.corruptChecksums = true;
    ReceiverModel rx(cfg);
    rx.onLine("$JBIN,1,1", 0);
    rx.onLine("$JASC,HEROT,1", 0);
    EXPECT_EQ(0, feed(rx.due(0.0)));
    EXPECT_EQ(0u, dwQelParseGetGoodMsgTick(0));
    EXPECT_EQ(0.0, dGpsDbGetRawLat(0));
    EXPECT_FLOAT_EQ(100.0f, GpsDbGetRateOfTurn(0));  // the parser's mark for a rejected value
}

TEST(SimModel, OutputsFollowTheirRatesAndPorts) {
    ReceiverModel rx(ModelConfig{});
    rx.onLine("$JBIN,1,10", 1.0);
    EXPECT_EQ(1u, rx.due(1.0).size());
    EXPECT_EQ(0u, rx.due(1.05).size());
    EXPECT_EQ(1u, rx.due(1.1).size());
    EXPECT_DOUBLE_EQ(10.0, rx.rate("1"));

    // Commands for another port leave this one alone.
    rx.onLine("$JOFF,PORTT", 1.2);
    rx.onLine("$JBIN,2,1,PORTT", 1.2);
    rx.onLine("$JBAUD,9600,PORTD", 1.2);
    EXPECT_DOUBLE_EQ(10.0, rx.rate("1"));
    EXPECT_DOUBLE_EQ(0.0, rx.rate("2"));
    EXPECT_EQ(57600u, rx.baud());

    rx.onLine("$JBAUD,9600", 1.2);
    EXPECT_EQ(9600u, rx.baud());
    rx.onLine("$JBAUD,12345", 1.2);  // not a rate the receiver has
    EXPECT_EQ(9600u, rx.baud());
    rx.onLine("$JOFF", 1.3);
    EXPECT_EQ(0u, rx.due(5.0).size());
}

TEST(SimModel, FaultSwitches) {
    ModelConfig silent;
    silent.silent = true;
    EXPECT_FALSE(ReceiverModel(silent).talking(0.0));

    ModelConfig stops;
    stops.stopTalkingAfter = 2.0;
    ReceiverModel rx(stops);
    EXPECT_TRUE(rx.talking(1.9));
    EXPECT_FALSE(rx.talking(2.1));

    ModelConfig late;
    late.startTalkingAfter = 3.0;
    ReceiverModel starter(late);
    EXPECT_FALSE(starter.talking(2.9));
    EXPECT_TRUE(starter.talking(3.1));
}

// The host side of the line, set up like the monitor's UART. The simulator
// is serviced from the test's own thread while it waits.
class HostPort {
public:
    HostPort(GnssSim::Simulator& s) : sim(s), fd(open(s.devicePath().c_str(), O_RDWR | O_NOCTTY)) {}
    ~HostPort() {
        if (fd >= 0) close(fd);
    }
    void setBaud(speed_t speed) {
        termios t{};
        t.c_iflag = IGNPAR;
        t.c_cflag = speed | CS8 | CREAD | CLOCAL;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcflush(fd, TCIFLUSH);
        tcsetattr(fd, TCSANOW, &t);
    }
    void write(const std::string& s) { ASSERT_EQ(static_cast<ssize_t>(s.size()), ::write(fd, s.data(), s.size())); }
    bool pending() {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }
    template <typename F>
    bool serviceUntil(F done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            sim.serviceOnce(1);
        }
        return true;
    }
    std::string readUntil(const std::string& needle, std::chrono::milliseconds timeout = 5s) {
        std::string got;
        serviceUntil([&] {
            char buf[512];
            if (pending()) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            }
            return got.find(needle) != std::string::npos;
        }, timeout);
        return got;
    }
    GnssSim::Simulator& sim;
    int fd;
};

bool hasLine(const GnssSim::Simulator& sim, const std::string& line) {
    for (const std::string& l : sim.receivedLines())
        if (l == line) return true;
    return false;
}

TEST(SimLine, NothingGetsThroughAtTheWrongRate) {
    GnssSim::SimConfig cfg;
    cfg.model.baud = 57600;
    GnssSim::Simulator sim(cfg);
    HostPort host(sim);
    ASSERT_GE(host.fd, 0);

    host.setBaud(B9600);
    host.write("$JI\r\n");
    ASSERT_TRUE(host.serviceUntil([&] { return sim.bytesLost() >= 5; }));
    EXPECT_TRUE(sim.receivedLines().empty());
    EXPECT_FALSE(host.pending());

    host.setBaud(B57600);
    host.write("$JI\r\n");
    EXPECT_NE(std::string::npos, host.readUntil("$>JI,").find("$>JI,8120431"));

    // "$JBAUD" moves the receiver: the old rate goes dead, the new one works.
    host.write("$JBAUD,19200\r\n");
    ASSERT_TRUE(host.serviceUntil([&] { return hasLine(sim, "$JBAUD,19200"); }));
    EXPECT_EQ(19200u, sim.baud());
    const std::size_t lost = sim.bytesLost();
    host.write("$JT\r\n");
    ASSERT_TRUE(host.serviceUntil([&] { return sim.bytesLost() >= lost + 5; }));
    host.setBaud(B19200);
    host.write("$JT\r\n");
    EXPECT_NE(std::string::npos, host.readUntil("$>JT,SIM325\r\n").find("$>JT,SIM325\r\n"));
}

TEST(SimLine, HostThatDoesNotReadNeverBlocksTheReceiver) {
    GnssSim::SimConfig cfg;
    GnssSim::Simulator sim(cfg);
    HostPort host(sim);
    ASSERT_GE(host.fd, 0);
    host.setBaud(B57600);
    host.write("$JBIN,99,100\r\n");  // about 31 kB/s nobody reads
    ASSERT_TRUE(host.serviceUntil([&] { return sim.bytesDropped() > 0; }, 20s));
    host.write("$JOFF\r\n");
    EXPECT_TRUE(host.serviceUntil([&] { return hasLine(sim, "$JOFF"); }));
}

// The service thread.
TEST(SimLine, ServiceThreadAnswers) {
    GnssSim::SimConfig cfg;
    GnssSim::Simulator sim(cfg);
    sim.start();
    HostPort host(sim);
    host.setBaud(B57600);
    host.write("$JT\r\n");
    EXPECT_TRUE(sim.waitForLine("$JT", 5s));
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (got.find("\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{host.fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[256];
        const ssize_t n = ::read(host.fd, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_EQ("$>JT,SIM325\r\n", got);
    sim.stop();
}

TEST(SimLine, LinkPointsAtTheDeviceAndGoesAway) {
    char dir[] = "/tmp/gnsssim.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string link = std::string(dir) + "/rx";
    {
        GnssSim::SimConfig cfg;
        cfg.linkPath = link;
        GnssSim::Simulator sim(cfg);
        EXPECT_EQ(link, sim.devicePath());
        char target[256] = {0};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(sim.ptyPath(), target);
    }
    EXPECT_NE(0, access(link.c_str(), F_OK));
    rmdir(dir);
}

} // namespace
