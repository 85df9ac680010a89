// Detection probes on an in-memory line, for what a simulator cannot make a
// serial port do.
#include "radio/RadioBase.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "common/DeviceCommInterface.h"
#include "common/TimerInterface.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using Veltrio::Common::DeviceCommInterface;

namespace {

// A line whose writes fail with an exception from outside the system's own
// hierarchy, as a device layer's library might throw.
class FailingLine : public DeviceCommInterface {
public:
    using DeviceCommInterface::dataOut;
    void dataIn() override {}
    void dataOut(const char*, unsigned int) override { throw std::runtime_error("line gone"); }
};

// Every reading is a second later than the one before: waits run out at once.
class HastyTimer : public Veltrio::Common::Timer {
public:
    void reset() override { now = 0; }
    unsigned int elapsed() override { return now += 1000; }
    void sleep(unsigned int) override {}

private:
    unsigned int now = 0;
};

class ProbeEngine : public RadioBase {
public:
    ProbeEngine(Veltrio::Common::Timer* timer, DeviceCommInterface* device)
        : RadioBase(timer, 1500, device, device, nullptr) {}
    RADIO_TYPE getType() const override { return RADIO_TYPE_UNKNOWN; }
    Command* getEnterCommandModeCommand() override { return nullptr; }
    Command* getExitCommandModeCommand() override { return nullptr; }
    bool empty() const { return pendingCommands.empty() && processedCommands.empty(); }
};

} // namespace

// Such an exception leaves the probe, but the engine must not keep pointers
// to the probe's commands, which no longer exist once it has left.
TEST(DetectionFaultTest, ForeignExceptionLeavesTheEngineEmpty) {
    FailingLine line;
    HastyTimer timer;
    ProbeEngine engine(&timer, &line);
    RADIO_TYPE type = RADIO_TYPE_MICROHARD_L400;
    EXPECT_THROW(engine.detectMicrohard(type), std::runtime_error);
    EXPECT_TRUE(engine.empty());
    EXPECT_EQ(type, RADIO_TYPE_UNKNOWN);
    EXPECT_FALSE(engine.detectSatel()) << "the Satel probe takes every failure as 'not Satel'";
    EXPECT_TRUE(engine.empty());
}

TEST(DetectionFaultTest, ForeignExceptionLeavesDetectType) {
    FailingLine line;
    HastyTimer timer;
    std::ostringstream console;
    std::streambuf* saved = std::cout.rdbuf(console.rdbuf());
    EXPECT_THROW(RadioBase::detectType(&timer, &line), std::runtime_error);
    std::cout.rdbuf(saved);
    EXPECT_EQ(console.str(), "Detecting MH..\n");
}
