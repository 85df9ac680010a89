// The receiver manager against the simulated receiver on a pseudo-terminal,
// with the real millisecond tick.
//
// Each test drives GmsProcess itself and, after every call, writes a marker
// byte through the same UART and reads the pty up to it: so it knows exactly
// which bytes each call wrote, and when (the tick before and after the call).
// What the manager wrote is then handed to the simulated receiver, which
// answers on the line when its baud rate matches the one the port is set to.
//
// The link buffer can be claimed once per process (as on the board), so every
// test claims it once; CTest runs each test in its own process.

#include "gnssmon/Gms.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"
#include "gnssmon/Uart.h"
#include "tools/gnssproto/BinEncode.h"
#include "tools/gnssproto/NmeaEncode.h"
#include "tools/gnsssim/Simulator.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kPort = 1;
constexpr char kMarker = '\x01';  // never part of a "$J" command line

struct Call {
    std::uint32_t before;  // tick just before GmsProcess
    std::uint32_t after;   // tick just after it
    std::string written;   // bytes it wrote
    unsigned lineBaud;     // rate the port was set to after it
};

class Bench {
public:
    explicit Bench(GnssSim::ModelConfig model = {}) : sim(config(model)) {}

    _GPS_MGR_SERIAL_SETUP setup(std::uint32_t baud = 57600) const {
        _GPS_MGR_SERIAL_SETUP s{};
        s.iPort = kPort;
        s.pszDevice = sim.devicePath().c_str();
        s.dwBaud = baud;
        s.cParity = 'N';
        s.iDataBits = 8;
        s.iStopBits = 1;
        return s;
    }

    // One GmsProcess call and exactly what it wrote.
    const Call& process() {
        Call c;
        c.before = TimerTick();
        GmsProcess();
        c.after = TimerTick();
        c.written = collect();
        c.lineBaud = sim.lineBaud();
        calls.push_back(c);
        return calls.back();
    }

    // What an operation outside GmsProcess wrote; the receiver hears it
    // unless told otherwise.
    std::string collect(bool receiverHears = true) {
        std::string got;
        const char marker[2] = {kMarker, '\0'};
        if (UartPutString(kPort, marker) == 1) {
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (got.empty() || got.back() != kMarker) {
                if (std::chrono::steady_clock::now() > deadline) {
                    ADD_FAILURE() << "marker did not come through";
                    break;
                }
                pollfd p{sim.masterFd(), POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0) continue;
                char buf[1024];
                const ssize_t n = ::read(sim.masterFd(), buf, sizeof buf);
                if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            }
            if (!got.empty() && got.back() == kMarker) got.pop_back();
        }
        if (receiverHears) {
            sim.receive(got.data(), got.size());
            sim.sendDue();
        }
        return got;
    }

    // Calls GmsProcess (about once a millisecond) until a call writes
    // something that contains `text`. Returns the index of that call.
    std::size_t runUntilWritten(const std::string& text, std::chrono::milliseconds timeout = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (process().written.find(text) != std::string::npos) return calls.size() - 1;
            usleep(1000);
        }
        ADD_FAILURE() << "nothing written containing " << text;
        return calls.size();
    }

    // Calls GmsProcess until `done` holds.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            process();
            if (done()) return true;
            usleep(1000);
        }
        return false;
    }

    // The calls that wrote something, from call `from` on.
    std::vector<Call> writes(std::size_t from = 0) const {
        std::vector<Call> out;
        for (std::size_t i = from; i < calls.size(); ++i)
            if (!calls[i].written.empty()) out.push_back(calls[i]);
        return out;
    }
    std::vector<std::string> writtenTexts(std::size_t from = 0) const {
        std::vector<std::string> out;
        for (const Call& c : writes(from)) out.push_back(c.written);
        return out;
    }

    // Index of the first call from `from` on for which `is` holds; calls.size() if none.
    std::size_t firstCall(std::size_t from, const std::function<bool(const Call&)>& is) const {
        while (from < calls.size() && !is(calls[from])) ++from;
        return from;
    }

    // The call `to` is the first to act after a pause of `pause` ms that the
    // call `from` began: it ends no sooner than the pause after `from` began,
    // and every call in between began before the pause was over (with some
    // room for a step that takes one more call). Both follow from the ticks
    // alone, however slowly the calls come.
    void expectPause(std::size_t from, std::size_t to, std::uint32_t pause, const char* what) const {
        ASSERT_LT(from, to) << what;
        ASSERT_LT(to, calls.size()) << what;
        EXPECT_GE(calls[to].after - calls[from].before, pause) << what;
        EXPECT_LT(calls[to - 1].before - calls[from].after, pause + 150) << what;
    }

    static void waitForTick(std::uint32_t tick) {
        while (static_cast<std::int32_t>(TimerTick() - tick) < 0) usleep(1000);
    }

    GnssSim::Simulator sim;
    std::vector<Call> calls;

private:
    static GnssSim::SimConfig config(const GnssSim::ModelConfig& model) {
        GnssSim::SimConfig c;
        c.model = model;
        return c;
    }
};

GnssSim::ModelConfig receiverAt(unsigned baud, int appSlot = 1) {
    GnssSim::ModelConfig m;
    m.baud = baud;
    m.appSlot = appSlot;
    return m;
}

const char* const kConfigured = "$JBAUD,57600,PORTD\r\n";

int modeCallbacks = 0;
void countModeCallback() { ++modeCallbacks; }

std::vector<std::string> nmeaLines;
void keepNmeaLine(const char* line) { nmeaLines.emplace_back(line); }

// A receiver at the wanted rate that answers the first probe, with binary
// message 1 and GGA at 1 and no mode.
TEST(GmsSequence, ReceiverAtTheWantedRateGetsTheWholeSequenceInOrder) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    s.iBin1Rate = 1;
    s.fGgaRate = 1.0f;
    ASSERT_EQ(0, iGmsInit(0, &s));
    GmsSetNmeaFoundCallback(keepNmeaLine);
    b.runUntilWritten(kConfigured);

    const std::vector<std::string> expected = {
        "$JI\r\n", "\r\n$JOFF\r\n$JSAVE\r\n", "$JT\r\n", "$JI\r\n$JK\r\n", "$JAPP\r\n", "$JSHOW\r\n",
        "$JBIN,1,1\r\n", "$JASC,GPGGA,1.000000\r\n", kConfigured,
    };
    EXPECT_EQ(expected, b.writtenTexts());
    // The rate already matched: no "$JBAUD" to this port and the port never reopened.
    EXPECT_EQ(std::string::npos, b.sim.receivedBytes().find("$JBAUD,57600\r\n"));
    for (const Call& c : b.calls) EXPECT_EQ(57600u, c.lineBaud);

    // No line goes out before the pause of the step that precedes it.
    const std::uint32_t waits[] = {400, 1200, 100, 100, 100, 100, 100, 100};
    const std::vector<Call> w = b.writes();
    ASSERT_EQ(9u, w.size());
    for (std::size_t i = 0; i + 1 < w.size(); ++i)
        EXPECT_GE(w[i + 1].after - w[i].before, waits[i]) << "before " << w[i + 1].written;
    EXPECT_EQ(GPSMODE_NONE, GmsGetOperatingMode());
    // Every reply line reached the observer.
    EXPECT_NE(nmeaLines.end(), std::find(nmeaLines.begin(), nmeaLines.end(), "$>JT,SIM325"));
    GmsSetNmeaFoundCallback(nullptr);
}

// Steps whose rate is 0 send nothing, set no pause, and take one call each.
TEST(GmsSequence, SkippedRateStepsTakeOneCallEach) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    const std::size_t show = b.runUntilWritten("$JSHOW");
    ASSERT_LT(show, b.calls.size());
    Bench::waitForTick(b.calls[show].after + 100);
    for (int step = 8; step <= 14; ++step) EXPECT_EQ("", b.process().written) << "step " << step;
    EXPECT_EQ(kConfigured, b.process().written);
}

// The link search probes with "$JI" and steps through the rate cycle; the
// receiver found at 9600 is moved to the wanted 57600.
TEST(GmsSearch, ReceiverAt9600IsFoundAndMovedTo57600) {
    Bench b(receiverAt(9600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    b.runUntilWritten(kConfigured);

    const std::vector<Call> w = b.writes();
    ASSERT_GE(w.size(), 6u);
    // Probes at 57600 (the wanted rate), 115200, 4800, then 9600 where it answers.
    const unsigned probeRates[] = {57600, 115200, 4800, 9600};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ("$JI\r\n", w[i].written);
        EXPECT_EQ(probeRates[i], w[i].lineBaud);
    }
    EXPECT_EQ("\r\n$JBAUD,57600\r\n", w[4].written);
    EXPECT_EQ(9600u, w[4].lineBaud);
    EXPECT_EQ("\r\n$JOFF\r\n$JSAVE\r\n", w[5].written);
    EXPECT_EQ(57600u, w[5].lineBaud);

    // 50 ms for the "$JBAUD" line to go out before the port is reopened at
    // the new rate, and 50 ms more before the next line.
    const std::size_t jbaud = b.firstCall(0, [](const Call& c) { return c.written == "\r\n$JBAUD,57600\r\n"; });
    const std::size_t reopened = b.firstCall(jbaud, [](const Call& c) { return c.lineBaud == 57600; });
    const std::size_t joff = b.firstCall(reopened, [](const Call& c) { return !c.written.empty(); });
    b.expectPause(jbaud, reopened, 50, "reopened at 57600");
    b.expectPause(reopened, joff, 50, "$JOFF");

    // What reached the receiver: the one probe at its rate, then everything at the new one.
    const std::vector<std::string> received = {"$JI", "$JBAUD,57600", "$JOFF", "$JSAVE", "$JT", "$JI",
                                               "$JK", "$JAPP", "$JSHOW", "$JBAUD,57600,PORTD"};
    EXPECT_EQ(received, b.sim.receivedLines());
    EXPECT_EQ(57600u, b.sim.baud());
    EXPECT_EQ(std::string("SIM325"), szGpsDbGetReceiverName(0));
}

// 115200 is a rate of the UART and of the cycle: the port probes there
// first, the search wraps from it to 4800, where the receiver answers, and
// the receiver is moved to 115200 and configured there.
TEST(GmsSearch, ReceiverAt4800IsMovedTo115200) {
    Bench b(receiverAt(4800));
    _GPS_MGR_SERIAL_SETUP s = b.setup(115200);
    ASSERT_EQ(0, iGmsInit(0, &s));
    b.runUntilWritten(kConfigured);
    const std::vector<Call> w = b.writes();
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ("$JI\r\n", w[0].written);
    EXPECT_EQ(115200u, w[0].lineBaud);
    EXPECT_EQ("$JI\r\n", w[1].written);
    EXPECT_EQ(4800u, w[1].lineBaud);
    EXPECT_EQ("\r\n$JBAUD,115200\r\n", w[2].written);
    EXPECT_EQ("\r\n$JOFF\r\n$JSAVE\r\n", w[3].written);
    EXPECT_EQ(115200u, w[3].lineBaud);
    EXPECT_EQ(115200u, b.sim.baud());
    EXPECT_EQ(std::string("SIM325"), szGpsDbGetReceiverName(0));
}

// A device that is missing at start-up: iGmsInit fails but keeps the link,
// and the search opens the device once it is there.
TEST(GmsSearch, DeviceThatAppearsLaterIsFoundByTheSearch) {
    Bench b(receiverAt(9600));
    char dir[] = "/tmp/gmstest.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    const std::string path = std::string(dir) + "/ttyGNSS";
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    s.pszDevice = path.c_str();
    EXPECT_EQ(1, iGmsInit(0, &s));
    for (int i = 0; i < 3; ++i) b.process();
    ASSERT_EQ(0, symlink(b.sim.ptyPath().c_str(), path.c_str()));
    b.runUntilWritten(kConfigured);
    EXPECT_EQ(57600u, b.sim.baud());
    unlink(path.c_str());
    rmdir(dir);
}

// A receiver that talks (GGA at 4800) but takes no "$J" command: once heard,
// it gets one more "$JI" and, unanswered, is left at 4800 and decoded as it
// is; a minute of its sentences later it is still there and nothing more
// has been sent to it.
TEST(GmsSearch, ReceiverThatIgnoresJIsMonitoredWhereItWasHeard) {
    GnssSim::ModelConfig m = receiverAt(4800);
    m.ignoreCommands = true;
    Bench b(m);
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    s.iBin1Rate = 1;
    ASSERT_EQ(0, iGmsInit(0, &s));
    ASSERT_TRUE(b.runUntil([] { return bGmsReceiverIgnoresCommands(0); }, 60s));
    const std::vector<Call> w = b.writes();
    ASSERT_FALSE(w.empty());
    for (const Call& c : w) EXPECT_EQ("$JI\r\n", c.written);
    // Heard at 4800, where the last "$JI" went unanswered.
    EXPECT_EQ(4800u, w.back().lineBaud);
    EXPECT_GE(b.calls.back().after - w.back().before, 400u);
    EXPECT_EQ(4800u, dwGmsGetLineBaud(0));

    const std::size_t from = b.calls.size();
    const std::uint32_t start = TimerTick();
    for (std::uint32_t second = 1; second <= 60; ++second) {
        const std::uint32_t tick = start + second * 1000;
        TimerForTestOnlyFreeze(tick);
        const std::string gga = GnssProto::nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
        ASSERT_EQ(static_cast<ssize_t>(gga.size()), ::write(b.sim.masterFd(), gga.data(), gga.size()));
        ASSERT_TRUE(b.runUntil([&] { return dwNmeaParseGetGoodMsgTick(0) == tick; })) << second;
    }
    TimerForTestOnlyThaw();
    EXPECT_TRUE(b.writes(from).empty());
    EXPECT_TRUE(bGmsReceiverIgnoresCommands(0));
    EXPECT_EQ(4800u, b.sim.lineBaud());
    EXPECT_EQ(4800u, b.sim.baud());
}

struct ModeCase {
    const char* name;
    int mode;            // as handed to GmsSetOperatingMode
    bool autoseed;
    gpsmode_t stored;
    const char* appLine;
    std::string lines;   // sent at step 15, before the closing "$JBAUD,57600,PORTD"
};

void PrintTo(const ModeCase& m, std::ostream* os) { *os << m.name; }

class GmsMode : public ::testing::TestWithParam<ModeCase> {};

// Setting a mode switches the application slot and restarts the sequence
// (nothing for 3 s, then the search); step 15 sends the mode's lines and
// calls the callback once.
TEST_P(GmsMode, ModeLinesGoOutAtStep15AfterTheRestart) {
    const ModeCase& m = GetParam();
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    modeCallbacks = 0;
    GmsSetOperatingModeCallback(countModeCallback);
    if (m.autoseed) {
        GmsSetOmnistarAutoseed(true);
        EXPECT_EQ("$JHP,MODE,AUTOSEED,YES\r\n", b.collect());
    }
    const std::uint32_t set = TimerTick();
    EXPECT_TRUE(GmsSetOperatingMode(static_cast<gpsmode_t>(m.mode)));
    EXPECT_EQ(m.stored, GmsGetOperatingMode());
    // The receiver has not reported its application yet: the slot is always asked for.
    EXPECT_EQ(m.appLine, b.collect());

    const std::size_t done = b.runUntilWritten(kConfigured);
    ASSERT_LT(done, b.calls.size());
    EXPECT_EQ(m.lines + kConfigured, b.calls[done].written);
    EXPECT_EQ(1, modeCallbacks);
    const std::vector<Call> w = b.writes();
    ASSERT_FALSE(w.empty());
    EXPECT_EQ("$JI\r\n", w[0].written);
    EXPECT_GE(w[0].after - set, 3000u);
}

const std::string kRtk =
    "$JDIFFX,EXCLUDE,SBAS,OMNIVBS,OMNIHP,ZARN\r\n$JDIFFX,INCLUDE,RTCM2,KTV,CMR,RTCM3,QUB\r\n$JDIFF,RTK\r\n"
    "$JASC,QUB,0,PORTD\r\n$JDIFF,QUB,0,PORTD\r\n$JBAUD,57600,PORTD\r\n";
const std::string kLband =
    "$JDIFFX,EXCLUDE,SBAS,RTCM2,KTV,CMR,RTCM3,QUB,ZARN\r\n$JDIFFX,INCLUDE,OMNIVBS,OMNIHP\r\n$JDIFF,LBAND\r\n"
    "$JASC,QUB,0,PORTD\r\n$JDIFF,QUB,0,PORTD\r\n$JASC,D1,1\r\n";
const std::string kWaas =
    "$JDIFFX,EXCLUDE,OMNIVBS,OMNIHP,RTCM2,KTV,CMR,RTCM3,QUB,ZARN\r\n$JDIFFX,INCLUDE,SBAS\r\n$JDIFF,WAAS\r\n"
    "$JASC,QUB,0,PORTD\r\n$JDIFF,QUB,0,PORTD\r\n";

INSTANTIATE_TEST_SUITE_P(
    Modes, GmsMode,
    ::testing::Values(ModeCase{"Rtk", GPSMODE_RTK, false, GPSMODE_RTK, "$JAPP,1\r\n", kRtk},
                      ModeCase{"Lband", GPSMODE_LBAND, false, GPSMODE_LBAND, "$JAPP,2\r\n",
                               kLband + "$JHP,MODE,AUTOSEED,NO\r\n"},
                      ModeCase{"LbandAutoseed", GPSMODE_LBAND, true, GPSMODE_LBAND, "$JAPP,2\r\n",
                               kLband + "$JHP,MODE,AUTOSEED,YES\r\n"},
                      ModeCase{"Waas", GPSMODE_WAAS, false, GPSMODE_WAAS, "$JAPP,2\r\n", kWaas},
                      ModeCase{"SevenIsWaas", 7, false, GPSMODE_WAAS, "$JAPP,2\r\n", kWaas}),
    [](const ::testing::TestParamInfo<ModeCase>& i) { return std::string(i.param.name); });

// Configures against a receiver running application slot 1.
void configure(Bench& b) {
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    b.runUntilWritten(kConfigured);
    ASSERT_EQ(1, iGpsDbGetThisApp(0));
}

// GmsCallPeriodicPolls sends only once configured, so it tells whether the
// sequence is finished. A receiver that hears the poll answers it.
bool configured(Bench& b, bool receiverHears = true) {
    GmsCallPeriodicPolls();
    return !b.collect(receiverHears).empty();
}

TEST(GmsModeChange, RestartRules) {
    Bench b(receiverAt(57600, 1));
    configure(b);

    // Slot 0 and 3 do not exist: nothing sent, no restart.
    EXPECT_FALSE(GmsChangeApplicationBySlot(0));
    EXPECT_FALSE(GmsChangeApplicationBySlot(3));
    EXPECT_EQ("", b.collect());
    EXPECT_TRUE(configured(b));

    // No mode: nothing to switch to, nothing sent, no restart.
    EXPECT_FALSE(GmsSetOperatingMode(GPSMODE_NONE));
    EXPECT_EQ(GPSMODE_NONE, GmsGetOperatingMode());
    EXPECT_EQ("", b.collect());
    EXPECT_TRUE(configured(b));

    // RTK while the receiver already runs slot 1: no "$JAPP", but a restart
    // that ends with the RTK lines.
    const std::uint32_t set = TimerTick();
    EXPECT_TRUE(GmsSetOperatingMode(GPSMODE_RTK));
    EXPECT_EQ("", b.collect());
    EXPECT_FALSE(configured(b));
    const std::size_t from = b.calls.size();
    const std::size_t done = b.runUntilWritten(kConfigured);
    ASSERT_LT(done, b.calls.size());
    EXPECT_EQ(kRtk + kConfigured, b.calls[done].written);
    // Nothing for 3 s; then the sequence from the start (the probe is skipped
    // when the last reply before the restart is still recent).
    const std::vector<Call> w = b.writes(from);
    ASSERT_GE(w.size(), 2u);
    EXPECT_GE(w[0].after - set, 3000u);
    EXPECT_NE(w.end(), std::find_if(w.begin(), w.end(), [](const Call& c) { return c.written == "\r\n$JOFF\r\n$JSAVE\r\n"; }));
}

TEST(GmsPolls, RotationOnlyOnceConfiguredAndInOrder) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    GmsCallPeriodicPolls();
    EXPECT_EQ("", b.collect());
    b.runUntilWritten(kConfigured);

    const char* const polls[] = {"$JASC,GPALM\r\n", "$JOMS\r\n", "$JGEO\r\n", "$JDIFF\r\n",
                                 "$JAPP\r\n", "$JI\r\n", "$JNMEA,GGAALLGNSS\r\n", "$JASC,GPALM\r\n"};
    for (const char* p : polls) {
        GmsCallPeriodicPolls();
        EXPECT_EQ(p, b.collect());
    }
    // The receiver answered them in the shapes the parser decodes.
    EXPECT_TRUE(b.runUntil([] { return std::string(szGpsDbGetVBSexpire(0)) == "31/12/2030"; }));
}

TEST(GmsInit, SecondInitFailsButResetsModeAndCallback) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    EXPECT_EQ(1, iGmsInit(4, &s));   // no such receiver: nothing claimed
    EXPECT_EQ(1, iGmsInit(-1, &s));
    EXPECT_EQ(1, iGmsInit(0, nullptr));
    ASSERT_EQ(0, iGmsInit(0, &s));

    GmsSetOperatingMode(GPSMODE_RTK);
    modeCallbacks = 0;
    GmsSetOperatingModeCallback(countModeCallback);
    EXPECT_EQ(1, iGmsInit(0, &s));   // the one link buffer is taken
    EXPECT_EQ(1, iGmsInit(1, &s));
    EXPECT_EQ(GPSMODE_NONE, GmsGetOperatingMode());

    // The callback is gone: a mode applied later runs without it.
    b.collect();
    EXPECT_TRUE(GmsSetOperatingMode(GPSMODE_RTK));
    const std::size_t done = b.runUntilWritten(kConfigured);
    ASSERT_LT(done, b.calls.size());
    EXPECT_EQ(kRtk + kConfigured, b.calls[done].written);
    EXPECT_EQ(0, modeCallbacks);
}

// Once configured, 30 s without an accepted message starts over with a probe
// at the current rate. The clock is frozen to get there without waiting.
TEST(GmsWatchdog, ThirtySecondsOfSilenceRestartsTheSearch) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    const std::size_t show = b.runUntilWritten("$JSHOW");
    ASSERT_LT(show, b.calls.size());
    b.runUntilWritten(kConfigured);
    // The last accepted message is a reply to "$JSHOW", so it is no older
    // than that call.
    TimerForTestOnlyFreeze(b.calls[show].before + GMS_WATCHDOG_MS - 1);
    EXPECT_EQ("", b.process().written);
    EXPECT_TRUE(configured(b, false));  // kept from the receiver, which stays silent
    TimerForTestOnlyThaw();
    TimerForTestOnlyFreeze(TimerTick() + GMS_WATCHDOG_MS + 1);
    EXPECT_EQ("$JI\r\n", b.process().written);
    EXPECT_FALSE(configured(b));
    TimerForTestOnlyThaw();
}

// What a caller that sleeps between calls is told: nothing before a link is
// claimed; then the end of each pause; once configured, the first tick at
// which the watchdog fires, and not one tick earlier.
TEST(GmsSchedule, NextActionTickIsThePauseThenTheWatchdog) {
    Bench b(receiverAt(57600));
    uint32_t due = 0;
    EXPECT_FALSE(bGmsGetNextActionTick(&due));
    EXPECT_EQ(-1, iGmsGetUartFd(0));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    EXPECT_GE(iGmsGetUartFd(0), 0);
    EXPECT_EQ(-1, iGmsGetUartFd(1));
    ASSERT_TRUE(bGmsGetNextActionTick(&due));
    EXPECT_LE(static_cast<int32_t>(due - TimerTick()), 0);  // the search starts at once

    const Call probe = b.process();
    ASSERT_EQ("$JI\r\n", probe.written);
    ASSERT_TRUE(bGmsGetNextActionTick(&due));
    EXPECT_GE(due - probe.before, 400u);
    EXPECT_LE(due - probe.after, 400u);

    b.runUntilWritten(kConfigured);
    ASSERT_TRUE(bGmsGetNextActionTick(&due));
    const uint32_t lastGood = std::max(dwNmeaParseGetGoodMsgTick(0), dwQelParseGetGoodMsgTick(0));
    EXPECT_EQ(lastGood + GMS_WATCHDOG_MS + 1, due);
    TimerForTestOnlyFreeze(due - 1);
    EXPECT_EQ("", b.process().written);
    TimerForTestOnlyFreeze(due);
    EXPECT_EQ("$JI\r\n", b.process().written);
    TimerForTestOnlyThaw();
}

// Two positions that arrive together are taken one per call, so that a caller
// that looks after each call sees both; the second is due at once, also once
// the receiver is configured and nothing else is due before the watchdog.
TEST(GmsProcess, EachCallEndsWithABinaryFrame) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));
    b.runUntilWritten(kConfigured);
    GnssProto::Bin1 first;
    first.week = 2300;
    first.lat = 49.25;
    first.lon = -123.5;
    GnssProto::Bin1 second = first;
    second.lat = 49.5;
    const std::string both = GnssProto::encodeBin1(first) + GnssProto::encodeBin1(second);
    ASSERT_EQ(static_cast<ssize_t>(both.size()), ::write(b.sim.masterFd(), both.data(), both.size()));
    int queued = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (ioctl(iGmsGetUartFd(0), FIONREAD, &queued) == 0 && queued < static_cast<int>(both.size()) &&
           std::chrono::steady_clock::now() < deadline)
        usleep(1000);
    ASSERT_EQ(static_cast<int>(both.size()), queued);

    b.process();
    EXPECT_EQ(49.25, dGpsDbGetRawLat(0));
    uint32_t due = 0;
    ASSERT_TRUE(bGmsGetNextActionTick(&due));
    EXPECT_LE(static_cast<int32_t>(due - TimerTick()), 0);
    b.process();
    EXPECT_EQ(49.5, dGpsDbGetRawLat(0));
}

// Any sentence whose checksum is right keeps a configured link alive: a
// receiver asked for nothing but GGA, HEROT or HEHDG is not searched again
// (with "$JOFF" and "$JSAVE") while it talks.
class GmsWatchdogFedBy : public ::testing::TestWithParam<const char*> {};

TEST_P(GmsWatchdogFedBy, SentenceWithARightChecksum) {
    const std::string name = GetParam();
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    if (name == "GPGGA") s.fGgaRate = 1.0f;
    if (name == "HEROT") s.iHerotRate = 1;
    if (name == "HEHDG") s.iHehdgRate = 1;
    ASSERT_EQ(0, iGmsInit(0, &s));
    GmsSetNmeaFoundCallback(keepNmeaLine);
    b.runUntilWritten(kConfigured);
    // The next sentence, once a second, comes well after the last reply, and
    // is accepted at or after the start of the call that sees it.
    nmeaLines.clear();
    ASSERT_TRUE(b.runUntil([&] {
        return std::any_of(nmeaLines.begin(), nmeaLines.end(),
                           [&](const std::string& l) { return l.rfind("$" + name + ",", 0) == 0; });
    }));
    TimerForTestOnlyFreeze(b.calls.back().before + GMS_WATCHDOG_MS);
    EXPECT_EQ("", b.process().written);
    EXPECT_TRUE(configured(b));
    TimerForTestOnlyThaw();
    GmsSetNmeaFoundCallback(nullptr);
}

INSTANTIATE_TEST_SUITE_P(GmsWatchdog, GmsWatchdogFedBy, ::testing::Values("GPGGA", "HEROT", "HEHDG"),
                         [](const ::testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

// A pause that straddles the wrap of the 32-bit tick still ends on time.
TEST(GmsTick, PauseAcrossTheTickWrapEnds) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    TimerForTestOnlyFreeze(0xFFFFFE00u);
    ASSERT_EQ(0, iGmsInit(0, &s));
    EXPECT_EQ("$JI\r\n", b.process().written);  // next action at 0xFFFFFF90
    ASSERT_TRUE(b.runUntil([] { return dwNmeaParseGetGoodMsgTick(0) != 0; }));
    TimerForTestOnlyFreeze(0x10u);              // 528 ms later, past the wrap
    EXPECT_EQ("", b.process().written);         // step 0: the receiver answered
    EXPECT_EQ("", b.process().written);         // step 1: rate matches
    EXPECT_EQ("\r\n$JOFF\r\n$JSAVE\r\n", b.process().written);
    TimerForTestOnlyThaw();
}

// Operations that write straight to the receiver.
TEST(GmsCommands, DirectCommandLines) {
    Bench b(receiverAt(57600));
    _GPS_MGR_SERIAL_SETUP s = b.setup(57600);
    ASSERT_EQ(0, iGmsInit(0, &s));

    // The SBAS selection is composed in 52 bytes: 37 characters of PRNs fit
    // with "$JWAASPRN,", two commas, CR LF and the NUL; one more does not.
    const std::string fit(37 - 6, '1');
    const std::string over(38 - 6, '1');
    struct Row {
        const char* name;
        std::function<void()> op;
        std::string expected;
    } rows[] = {
        {"query PRN", [] { GmsSendQueryWAASPRN(); }, "$JWAASPRN\r\n"},
        {"update PRN", [] { GmsSendUpdateWAASPRN("122", "134", "0"); }, "$JWAASPRN,122,134,0\r\n"},
        {"longest PRN line", [&] { GmsSendUpdateWAASPRN(fit.c_str(), "122", "134"); },
         "$JWAASPRN," + fit + ",122,134\r\n"},
        {"PRN line too long", [&] { GmsSendUpdateWAASPRN(over.c_str(), "122", "134"); }, ""},
        {"null PRN", [] { GmsSendUpdateWAASPRN("122", nullptr, "134"); }, ""},
        {"GLONASS on", [] { GmsReportGlonassSatellitesInGGA(true); }, "$JNMEA,GGAALLGNSS,YES\r\n"},
        {"GLONASS off", [] { GmsReportGlonassSatellitesInGGA(false); }, "$JNMEA,GGAALLGNSS,NO\r\n"},
        {"autoseed off", [] { GmsSetOmnistarAutoseed(false); }, "$JHP,MODE,AUTOSEED,NO\r\n"},
        {"string", [] { GmsSendCmdString(0, "$JSHOW\n"); }, "$JSHOW\r\n"},
        {"string, bad receiver", [] { GmsSendCmdString(7, "$JSHOW\n"); }, ""},
        {"logging on", [] { GmsEnableHSLogging(0); },
         "$JOFF,PORTT\r\n$JFLASH,FILE,OPEN\r\n$JBIN,1,1,PORTT\r\n$JASC,QUB,1\r\n$JBIN,95,1,PORTT\r\n"
         "$JBIN,65,1,PORTT\r\n$JBIN,61,1,PORTT\r\n$JBIN,80,1,PORTT\r\n$JBIN,91,1,PORTT\r\n"},
        {"logging off", [] { GmsDisableHSLogging(0); }, "$JOFF,PORTT\r\n$JFLASH,FILE,CLOSE\r\n"},
        {"other application", [] { GmsChangeQelApp(0); }, "$JAPP,OTHER\r\n"},
    };
    for (Row& r : rows) {
        r.op();
        EXPECT_EQ(r.expected, b.collect()) << r.name;
    }
}

} // namespace
