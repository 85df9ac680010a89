// The simulator core on a real pseudo-terminal: answers, wire log, fault
// switches, and that a host which stops reading cannot stall the radio.
#include "tools/radiosim/Simulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/tools/HostLine.h"
#include "tools/radiosim/SatelPersonality.h"

using namespace std::chrono_literals;
using Commands = std::vector<std::string>;

namespace {

std::unique_ptr<RadioSim::Personality> satel() { return std::make_unique<RadioSim::SatelPersonality>(); }

RadioSim::Faults faultsWith(void (*set)(RadioSim::Faults&)) {
    RadioSim::Faults faults;
    set(faults);
    return faults;
}

} // namespace

TEST(SimulatorTest, AnswersOnTheLineAndLogsEveryByte) {
    RadioSim::Simulator radio(satel());
    std::vector<std::string> logged;
    radio.setLogListener([&](const std::string& line) { logged.push_back(line); });
    radio.start();
    HostLine host(radio.slavePath());

    host.write("SL+++");
    EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    host.write("SL@P=500"); // no terminator: taken once the line is quiet
    EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    host.write("SL@P?");
    EXPECT_EQ(host.readUntil("mW\r\n"), "500 mW\r\n");
    radio.stop();

    EXPECT_EQ(radio.received(), (Commands{"SL+++", "SL@P=500", "SL@P?"}));
    const std::string log = "> SL+++\n< OK\\r\\n\n> SL@P=500\n< OK\\r\\n\n> SL@P?\n< 500 mW\\r\\n\n";
    EXPECT_EQ(radio.wireLogText(), log);
    EXPECT_EQ(logged.size(), 6u);
    EXPECT_EQ(radio.stateValue("power"), "500");
    EXPECT_EQ(radio.stateValue("nonesuch"), "");
}

TEST(SimulatorTest, ErrorAtTheNthCommandRefusesItWithoutCarryingItOut) {
    RadioSim::Simulator radio(satel(), faultsWith([](RadioSim::Faults& f) { f.errorAt = 2; }));
    radio.start();
    HostLine host(radio.slavePath());
    host.write("SL+++");
    EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    host.write("SL@P=500\r");
    EXPECT_EQ(host.readUntil("ERROR\r\n"), "ERROR\r\n");
    host.write("SL@P?");
    EXPECT_EQ(host.readUntil("mW\r\n"), "1000 mW\r\n");
    EXPECT_EQ(radio.stateValue("power"), "1000");
    EXPECT_NE(radio.wireLogText().find("> SL@P=500\n! error injected\n< ERROR\\r\\n\n"), std::string::npos);
}

TEST(SimulatorTest, GarbageAtTheNthCommandReplacesItsAnswer) {
    RadioSim::Simulator radio(satel(), faultsWith([](RadioSim::Faults& f) { f.garbageAt = 1; }));
    radio.start();
    HostLine host(radio.slavePath());
    host.write("SL+++");
    EXPECT_EQ(host.readUntil("", 10s, RadioSim::garbageAnswer.size()), RadioSim::garbageAnswer);
    EXPECT_EQ(radio.stateValue("command_mode"), "no");
}

TEST(SimulatorTest, ASilentRadioHearsButNeverAnswers) {
    RadioSim::Simulator radio(satel(), faultsWith([](RadioSim::Faults& f) { f.silent = true; }));
    radio.start();
    HostLine host(radio.slavePath());
    host.write("SL+++");
    host.write("SL@P?");
    ASSERT_TRUE(radio.waitForCommands(2, 10s));
    // An answer is logged before its command counts as handled.
    for (const auto& entry : radio.wireLog()) EXPECT_NE(entry.direction, RadioSim::WireDirection::Sent);
    EXPECT_EQ(radio.stateValue("command_mode"), "no");
}

TEST(SimulatorTest, SilentFromTheNthCommandAnswersTheOnesBeforeOnly) {
    RadioSim::Simulator radio(satel(), faultsWith([](RadioSim::Faults& f) { f.silentFrom = 2; }));
    radio.start();
    HostLine host(radio.slavePath());
    host.write("SL+++");
    EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    host.write("SL@P=500\r");
    ASSERT_TRUE(radio.waitForCommands(2, 10s));
    host.write("SL@P?");
    ASSERT_TRUE(radio.waitForCommands(3, 10s));
    EXPECT_EQ(radio.wireLogText(), "> SL+++\n< OK\\r\\n\n> SL@P=500\n> SL@P?\n");
    EXPECT_EQ(radio.stateValue("power"), "1000");
}

TEST(SimulatorTest, CloseAtTheNthCommandHangsUpTheLine) {
    RadioSim::Simulator radio(satel(), faultsWith([](RadioSim::Faults& f) { f.closeAt = 2; }));
    radio.start();
    HostLine host(radio.slavePath());
    host.write("SL+++");
    EXPECT_EQ(host.readUntil("OK\r\n"), "OK\r\n");
    host.write("SL@P?");
    EXPECT_TRUE(host.hungUp());
    EXPECT_TRUE(radio.lineClosed());
    EXPECT_EQ(radio.received(), (Commands{"SL+++", "SL@P?"}));
    EXPECT_EQ(radio.wireLog().back().bytes, "line closed");
}

TEST(SimulatorTest, AHostThatStopsReadingDoesNotStallTheRadio) {
    RadioSim::Simulator radio(satel());
    radio.start();
    HostLine host(radio.slavePath());
    // Far more answer bytes than a pty holds (some 68 KB), while the host
    // reads nothing: the radio must go on reading commands. Each batch is one
    // small write, taken in by the radio before the next, so that no command
    // is ever cut by a pause on a loaded machine.
    constexpr std::size_t batches = 80, perBatch = 100;
    std::string batch;
    for (std::size_t i = 0; i < perBatch; ++i) batch += "SL%C?";
    ASSERT_TRUE(host.write("SL+++"));
    ASSERT_TRUE(radio.waitForCommands(1, 30s));
    for (std::size_t n = 1; n <= batches; ++n) {
        ASSERT_TRUE(host.write(batch, 30s));
        ASSERT_TRUE(radio.waitForCommands(1 + n * perBatch, 30s)) << "batch " << n;
    }
    const std::string answer = "PN-0417-SIM\r\n";
    const std::size_t expected = 4 + batches * perBatch * answer.size();
    const std::string all = host.readUntil("", 30s, expected);
    EXPECT_EQ(all.size(), expected);
    EXPECT_EQ(all.substr(all.size() - answer.size()), answer);
    radio.stop(); // and it still stops at once
}
