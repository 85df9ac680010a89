// Radio type detection against simulated radios on pseudo-terminals, through
// the real serial device. Each unanswered probe command costs one 2.5 s read
// deadline (the detection's timeouts are fixed), so these run for 10 to 30 s
// each; ctest runs them side by side.
#include "radio/RadioBase.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "tools/radiosim/MicrohardPersonality.h"
#include "tools/radiosim/SatelPersonality.h"
#include "tools/radiosim/Simulator.h"

using namespace Veltrio::Radio;
using namespace Veltrio::Common;
using Veltrio::Devices::AsioSerialDevice;
using RadioSim::MicrohardModel;
using RadioSim::MicrohardPersonality;
using RadioSim::Simulator;

namespace {

// Collects what is printed on standard output while it lives.
class CoutCapture {
public:
    CoutCapture() : saved(std::cout.rdbuf(captured.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(saved); }
    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf* saved;
};

// An engine like the detection's own (1500 ms per command, one device), whose
// lists can be looked at.
class ProbeEngine : public RadioBase {
public:
    ProbeEngine(Veltrio::Common::Timer* timer, DeviceCommInterface* device)
        : RadioBase(timer, 1500, device, device, nullptr) {}
    RADIO_TYPE getType() const override { return RADIO_TYPE_UNKNOWN; }
    Command* getEnterCommandModeCommand() override { return nullptr; }
    Command* getExitCommandModeCommand() override { return nullptr; }
    bool empty() const { return pendingCommands.empty() && processedCommands.empty(); }
};

struct Detected {
    RADIO_TYPE type;
    std::string console;
};

std::unique_ptr<AsioSerialDevice> openPort(const Simulator& radio) {
    return std::make_unique<AsioSerialDevice>(radio.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, 2500);
}

Detected detect(const Simulator& radio) {
    auto device = openPort(radio);
    ::Timer timer;
    CoutCapture capture;
    const RADIO_TYPE type = RadioBase::detectType(&timer, device.get());
    return {type, capture.text()};
}

// The two probes in detection order on an engine of the test's own: both
// must leave its lists empty, whatever the outcome.
void expectProbesLeaveTheEngineEmpty(const Simulator& radio) {
    auto device = openPort(radio);
    ::Timer timer;
    ProbeEngine engine(&timer, device.get());
    CoutCapture quiet;
    RADIO_TYPE type = RADIO_TYPE_UNKNOWN;
    const bool microhard = engine.detectMicrohard(type);
    EXPECT_TRUE(engine.empty()) << "after the Microhard probe";
    if (microhard) return;
    device->removeData();
    engine.detectSatel();
    EXPECT_TRUE(engine.empty()) << "after the Satel probe";
}

std::vector<std::string> received(const Simulator& radio) { return radio.received(); }

const std::string probingMicrohard = "Detecting MH..\n";
const std::string probingSatel = "Detecting Satel..\n";

} // namespace

TEST(DetectionTest, MicrohardL400) {
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::L400));
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_MICROHARD_L400);
    EXPECT_EQ(d.console, probingMicrohard + "Getproductcode: \"L400\"\n");
    // Left in data mode, echo off, never asked in Satel terms.
    EXPECT_EQ(received(radio), (std::vector<std::string>{"ATA", "+++", "ATE0", "ATI1", "ATA"}));
    EXPECT_EQ(radio.stateValue("mode"), "data");
    EXPECT_EQ(radio.stateValue("echo"), "off");
    expectProbesLeaveTheEngineEmpty(radio);
}

TEST(DetectionTest, Microhard920A) {
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::MHX920A));
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_MICROHARD_920A);
    EXPECT_EQ(d.console, probingMicrohard + "Getproductcode: \"MHX920A\"\n");
    EXPECT_EQ(radio.stateValue("mode"), "data");
    expectProbesLeaveTheEngineEmpty(radio);
}

TEST(DetectionTest, MicrohardWithAnotherProductCodeEndsDetection) {
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::MHX920A, "mhx920a"));
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_UNKNOWN);
    EXPECT_EQ(d.console, probingMicrohard + "Getproductcode: \"mhx920a\"\n");
    for (const auto& command : received(radio)) EXPECT_EQ(command.find("SL"), std::string::npos) << command;
    expectProbesLeaveTheEngineEmpty(radio);
}

TEST(DetectionTest, Satel) {
    Simulator radio(std::make_unique<RadioSim::SatelPersonality>());
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_SATEL);
    EXPECT_EQ(d.console, probingMicrohard + probingSatel);
    EXPECT_EQ(received(radio), (std::vector<std::string>{"ATA", "+++", "SL+++", "SL&F?", "SL++O"}));
    EXPECT_EQ(radio.stateValue("command_mode"), "no");
    expectProbesLeaveTheEngineEmpty(radio);
}

// A Satel radio whose frequency answer is garbled is not recognised.
TEST(DetectionTest, SatelWithAnUnusableFrequencyAnswer) {
    RadioSim::Faults faults;
    faults.garbageAt = 4; // ATA, +++, SL+++, SL&F?
    Simulator radio(std::make_unique<RadioSim::SatelPersonality>(), faults);
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_UNKNOWN);
    EXPECT_EQ(d.console, probingMicrohard + probingSatel);
    ASSERT_GE(received(radio).size(), 4u);
    EXPECT_EQ(received(radio)[3], "SL&F?");
}

// "ERROR" to the escape: not a Microhard radio; the bytes it sent are
// dropped before the Satel probe, which then finds nothing.
TEST(DetectionTest, EscapeAnsweredWithErrorIsNotMicrohard) {
    RadioSim::Faults faults;
    faults.errorAt = 2; // ATA, +++
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::L400), faults);
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_UNKNOWN);
    EXPECT_EQ(d.console, probingMicrohard + probingSatel);
    EXPECT_EQ(received(radio), (std::vector<std::string>{"ATA", "+++", "SL+++"}));
}

TEST(DetectionTest, SilentPort) {
    RadioSim::Faults faults;
    faults.silent = true;
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::L400), faults);
    radio.start();
    const Detected d = detect(radio);
    EXPECT_EQ(d.type, RADIO_TYPE_UNKNOWN);
    EXPECT_EQ(d.console, probingMicrohard + probingSatel);
    EXPECT_EQ(received(radio), (std::vector<std::string>{"ATA", "+++", "SL+++"}));
    expectProbesLeaveTheEngineEmpty(radio);
}
