// Fault injection, end to end: the built gnssmon against a receiver that
// misbehaves. Whatever the line does, the monitor must never crash, must exit
// 0 at the end of its run, and must never print a position the receiver did not
// send in a frame with a right checksum; a receiver that is merely slow to
// start, or talks at another rate of the search cycle, must be found and
// configured.
//
// Each case lets the program run its full ten seconds; they wait on the
// clock, not on the processor, so ctest runs them side by side.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Program.h"
#include "tests/support/Pty.h"
#include "tools/gnsssim/Simulator.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kRunLimit = 120s;
const std::vector<std::string> kRates = {"--bin1Rate", "10", "--ggaRate", "1"};

struct MonitorRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
    std::vector<std::string> positions;      // the "LAT: ... LONG: ..." lines
    std::vector<std::string> sent;           // every position the receiver sent, as printed
    std::string heard;                       // the command bytes that got through to the receiver
};

std::string printed(double lat, double lon)
{
    std::ostringstream o;
    o.precision(12);
    o << "LAT: " << lat << " LONG: " << lon;
    return o.str();
}

void collect(MonitorRun& run, const TestSupport::ProgramResult& r)
{
    ASSERT_FALSE(r.timedOut) << "gnssmon still ran after " << kRunLimit.count() << " s";
    run.exitStatus = r.exitStatus;
    run.out = r.out;
    run.err = r.err;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("LAT: ", 0) == 0) run.positions.push_back(line);
}

void takeFrom(MonitorRun& run, const GnssSim::Simulator& sim)
{
    for (const GnssSim::SentPosition& p : sim.sentPositions()) run.sent.push_back(printed(p.lat, p.lon));
    run.heard = sim.receivedBytes();
}

// gnssmon against the simulated receiver, serviced on its own thread.
MonitorRun against(const GnssSim::ModelConfig& model)
{
    GnssSim::SimConfig cfg;
    cfg.model = model;
    GnssSim::Simulator sim(cfg);
    sim.start();
    std::vector<std::string> args = {"-p", sim.devicePath()};
    args.insert(args.end(), kRates.begin(), kRates.end());
    MonitorRun run;
    collect(run, TestSupport::runProgram(TestSupport::programPath("gnssmon"), args, kRunLimit));
    sim.stop();
    takeFrom(run, sim);
    return run;
}

// What every run must show, whatever the fault.
void expectSound(const MonitorRun& run)
{
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Configured rates: \n", 0), 0u);
    // Only positions the receiver sent: nothing from a corrupted frame, nothing
    // made up from noise.
    for (const std::string& p : run.positions) {
        bool wasSent = false;
        for (const std::string& s : run.sent) wasSent = wasSent || s == p;
        EXPECT_TRUE(wasSent) << "printed but never sent: " << p;
    }
}

bool configured(const MonitorRun& run)
{
    return run.heard.find("$JBIN,1,10\r\n") != std::string::npos &&
           run.heard.find("$JASC,GPGGA,1.000000\r\n") != std::string::npos;
}

} // namespace

TEST(GnssmonFaults, SilentReceiver)
{
    GnssSim::ModelConfig model;
    model.silent = true;
    const MonitorRun run = against(model);
    expectSound(run);
    EXPECT_TRUE(run.positions.empty());
    EXPECT_FALSE(configured(run));
}

TEST(GnssmonFaults, CorruptedChecksums)
{
    // The replies to "$J" queries carry no checksum, so the link is found and
    // configured; but no sentence or frame may be believed.
    GnssSim::ModelConfig model;
    model.corruptChecksums = true;
    const MonitorRun run = against(model);
    expectSound(run);
    EXPECT_TRUE(configured(run));
    EXPECT_FALSE(run.sent.empty());
    EXPECT_TRUE(run.positions.empty());
}

TEST(GnssmonFaults, ReceiverThatStopsTalkingMidRun)
{
    GnssSim::ModelConfig model;
    model.stopTalkingAfter = 6.0;
    const MonitorRun run = against(model);
    expectSound(run);
    EXPECT_TRUE(configured(run));
    EXPECT_FALSE(run.positions.empty());
}

TEST(GnssmonFaults, LineThatDisappearsMidRun)
{
    // The device itself goes away (the receiver's pty is closed): reads fail
    // and the port cannot be opened again while the program goes on.
    auto sim = std::make_unique<GnssSim::Simulator>(GnssSim::SimConfig());
    sim->start();
    std::vector<std::string> args = {"-p", sim->devicePath()};
    args.insert(args.end(), kRates.begin(), kRates.end());
    MonitorRun run;
    std::mutex m;
    std::thread unplug([&] {
        std::this_thread::sleep_for(6s);
        std::lock_guard<std::mutex> lock(m);
        sim->stop();
        takeFrom(run, *sim);
        sim.reset();
    });
    const TestSupport::ProgramResult r = TestSupport::runProgram(TestSupport::programPath("gnssmon"), args, kRunLimit);
    unplug.join();
    collect(run, r);
    expectSound(run);
    EXPECT_TRUE(configured(run));
    EXPECT_FALSE(run.positions.empty());
}

TEST(GnssmonFaults, RandomBytes)
{
    // Not a receiver at all: a line of noise (a fixed seed, so that a failure
    // can be replayed), at about the rate a 57600 baud line carries.
    TestSupport::Pty line;
    fcntl(line.master(), F_SETFL, fcntl(line.master(), F_GETFL) | O_NONBLOCK);
    std::atomic<bool> done{false};
    std::thread noise([&] {
        std::mt19937 random(20240601);
        std::string chunk(512, '\0');
        while (!done) {
            for (char& c : chunk) c = static_cast<char>(random() & 0xFF);
            [[maybe_unused]] const ssize_t n = ::write(line.master(), chunk.data(), chunk.size());
            char sink[4096];
            while (::read(line.master(), sink, sizeof sink) > 0) {
            }
            std::this_thread::sleep_for(100ms);
        }
    });
    std::vector<std::string> args = {"-p", line.slavePath()};
    args.insert(args.end(), kRates.begin(), kRates.end());
    MonitorRun run;
    collect(run, TestSupport::runProgram(TestSupport::programPath("gnssmon"), args, kRunLimit));
    done = true;
    noise.join();
    expectSound(run);
    EXPECT_TRUE(run.positions.empty());
}

TEST(GnssmonFaults, ReceiverThatStartsAnsweringLate)
{
    GnssSim::ModelConfig model;
    model.startTalkingAfter = 2.0;
    const MonitorRun run = against(model);
    expectSound(run);
    EXPECT_TRUE(configured(run));
    EXPECT_FALSE(run.positions.empty());
}

// A receiver at each rate of the search cycle is found, moved to the wanted
// rate and configured.
class GnssmonBaudSearch : public ::testing::TestWithParam<unsigned> {};

TEST_P(GnssmonBaudSearch, FindsAndConfiguresTheReceiver)
{
    GnssSim::ModelConfig model;
    model.baud = GetParam();
    const MonitorRun run = against(model);
    expectSound(run);
    EXPECT_TRUE(configured(run));
    EXPECT_FALSE(run.positions.empty());
}

INSTANTIATE_TEST_SUITE_P(GnssmonFaults, GnssmonBaudSearch,
                         ::testing::Values(4800u, 9600u, 19200u, 38400u, 57600u, 115200u),
                         [](const ::testing::TestParamInfo<unsigned>& info) { return std::to_string(info.param); });
