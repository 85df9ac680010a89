// radiocfg --satel, the built program, against the simulated Satel radio.
// Every radio command waits out the serial device's 2.5 s read deadline, so
// a full configuration takes some 18 s: these cases are few and each shows
// one whole behaviour the field engineer sees.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Program.h"
#include "tests/support/Pty.h"
#include "tools/radiosim/SatelPersonality.h"
#include "tools/radiosim/Simulator.h"

using namespace std::chrono_literals;
using Commands = std::vector<std::string>;

namespace {

struct SatelRadioOnPty {
    explicit SatelRadioOnPty(RadioSim::Faults faults = RadioSim::Faults())
        : sim(std::make_unique<RadioSim::SatelPersonality>(), faults) {
        sim.start();
    }
    std::vector<std::string> args(const std::vector<std::string>& values) const {
        std::vector<std::string> all = {"--satel", "-p", sim.slavePath()};
        all.insert(all.end(), values.begin(), values.end());
        return all;
    }
    TestSupport::ProgramResult configure(const std::vector<std::string>& values) {
        return TestSupport::runProgram(TestSupport::programPath("radiocfg"), args(values), 90s);
    }
    RadioSim::Simulator sim;
};

const std::vector<std::string> goodValues = {"--satel_freq", "438125000", "--satel_spacing", "12500",
                                             "--satel_power", "500"};

} // namespace

TEST(SatelFlowTest, ACooperativeRadioIsConfiguredSilently) {
    SatelRadioOnPty radio;
    const auto r = radio.configure(goodValues);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(radio.sim.received(), (Commands{"SL+++", "SL&F=434.00000", "SL&W=1250", "SL&F=438.12500", "SL@P=500",
                                              "SL**>", "SL++O"}));
    EXPECT_EQ(radio.sim.stateValue("frequency"), "438125000");
    EXPECT_EQ(radio.sim.stateValue("channel_spacing"), "12500");
    EXPECT_EQ(radio.sim.stateValue("power"), "500");
    EXPECT_EQ(radio.sim.stateValue("unsaved_changes"), "no");
}

TEST(SatelFlowTest, AMissingValueListsTheSatelOptionsAndTouchesNothing) {
    SatelRadioOnPty radio;
    for (std::size_t left = 0; left < 3; ++left) {
        std::vector<std::string> values = goodValues;
        values.erase(values.begin() + static_cast<long>(2 * left), values.begin() + static_cast<long>(2 * left + 2));
        const auto r = radio.configure(values);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out.rfind("Missing param\nSatel Options:\n", 0), 0u) << r.out;
        for (const char* option : {"--satel_freq arg", "--satel_spacing arg", "--satel_power arg", "Power (mW)"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
        EXPECT_EQ(r.out.find("Microhard"), std::string::npos);
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
    }
    EXPECT_TRUE(radio.sim.received().empty());
}

TEST(SatelFlowTest, ARejectedValueIsReportedBeforeAnythingIsWritten) {
    SatelRadioOnPty radio;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--satel_freq", "438125000", "--satel_spacing", "12500", "--satel_power", "1"}, "Invalid power: 1\n"},
        {{"--satel_freq", "438125000", "--satel_spacing", "12500", "--satel_power=-1"}, "Invalid --satel_power: -1\n"},
        // Would be written as SL&F=1000.00000.
        {{"--satel_freq", "999999999", "--satel_spacing", "12500", "--satel_power", "500"},
         "Invalid frequency: 999999999\n"},
        // Not on the radio's 10 Hz step: would be written rounded, as SL&F=438.12500.
        {{"--satel_freq", "438125003", "--satel_spacing", "12500", "--satel_power", "500"},
         "Invalid frequency: 438125003\n"},
    };
    for (const auto& [values, message] : cases) {
        const auto r = radio.configure(values);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, message);
    }
    EXPECT_TRUE(radio.sim.received().empty());
}

// The unanswered command fails once its 2 s timeout has passed, at the end of
// the 2.5 s read that was waiting then: not before, and not a read later;
// --fast changes nothing here.
TEST(SatelFlowTest, ASilentRadioIsATimeout) {
    for (const std::string fast : {"", "--fast"}) {
        SCOPED_TRACE(fast);
        RadioSim::Faults faults;
        faults.silent = true;
        SatelRadioOnPty radio(faults);
        std::vector<std::string> args = radio.args(goodValues);
        if (!fast.empty()) args.push_back(fast);
        TestSupport::BackgroundProgram run(TestSupport::programPath("radiocfg"), args);
        ASSERT_TRUE(radio.sim.waitForCommands(1, 30s));
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(run.wait(), 1);
        const auto failedAfterMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
        EXPECT_GE(failedAfterMs, 2000);
        EXPECT_LT(failedAfterMs, 4500) << "a read later would be 5 s";
        EXPECT_EQ(run.out, "Timeout waiting for repsonse: SL+++\n");
        EXPECT_EQ(radio.sim.received(), Commands{"SL+++"});
    }
}

TEST(SatelFlowTest, AnErrorAnswerNamesTheRefusedCommand) {
    RadioSim::Faults faults;
    faults.errorAt = 3;
    SatelRadioOnPty radio(faults);
    const auto r = radio.configure(goodValues);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Command error: SL&W=1250\n");
    EXPECT_EQ(radio.sim.received(), (Commands{"SL+++", "SL&F=434.00000", "SL&W=1250"}));
    EXPECT_EQ(radio.sim.stateValue("flash_writes"), "0");
}

// --trace: a line on standard error for every write and every read, the bytes
// exactly as the radio logged them, in order; standard output as without it.
TEST(SatelFlowTest, TheTraceHoldsEveryByteOnTheWireAndLeavesStandardOutputAlone) {
    RadioSim::Faults faults;
    faults.errorAt = 3;
    SatelRadioOnPty radio(faults);
    std::vector<std::string> values = goodValues;
    values.insert(values.end(), {"--fast", "--trace"});
    const auto r = radio.configure(values);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Command error: SL&W=1250\n"); // as in AnErrorAnswerNamesTheRefusedCommand

    std::vector<std::string> written;
    std::string read;
    unsigned long lastMs = 0;
    const std::regex shape(R"( *(\d+) ([<>]) (.+))");
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);) {
        std::smatch field;
        ASSERT_TRUE(std::regex_match(line, field, shape)) << line;
        EXPECT_GE(std::stoul(field[1]), lastMs) << line;
        lastMs = std::stoul(field[1]);
        if (field[2] == ">") written.push_back(field[3]);
        else read += field[3];
    }
    std::vector<std::string> received;
    std::string answered;
    for (const RadioSim::WireEntry& entry : radio.sim.wireLog()) {
        if (entry.direction == RadioSim::WireDirection::Received) received.push_back(RadioSim::escapeBytes(entry.bytes));
        if (entry.direction == RadioSim::WireDirection::Sent) answered += RadioSim::escapeBytes(entry.bytes);
    }
    EXPECT_EQ(written, (Commands{"SL+++", "SL&F=434.00000", "SL&W=1250"}));
    EXPECT_EQ(written, received);
    EXPECT_EQ(read, answered);
}

// On a terminal, standard error shows one line rewritten in place while the
// run waits on the radio: the step, how many, the command, the time. Nothing
// of it is left at the end.
TEST(SatelFlowTest, OnATerminalAProgressLineFollowsTheRunAndIsClearedAtItsEnd) {
    RadioSim::Faults faults;
    faults.errorAt = 2;
    SatelRadioOnPty radio(faults);
    TestSupport::Pty terminal;
    const int stderrFd = open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(stderrFd, 0);
    std::vector<std::string> values = goodValues;
    values.push_back("--fast");
    const auto r = TestSupport::runProgram(TestSupport::programPath("radiocfg"), radio.args(values), 90s, stderrFd);
    close(stderrFd);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Command error: SL&F=434.00000\n");

    const std::string shown = terminal.read(1 << 16, 1s);
    // Drawn before each read of the radio, cleared after it.
    const std::regex progress("(\r\x1b\\[Kradiocfg: 1/7 SL\\+\\+\\+ [0-9]+\\.[0-9] s\r\x1b\\[K)+"
                              "(\r\x1b\\[Kradiocfg: 2/7 SL&F=434\\.00000 [0-9]+\\.[0-9] s\r\x1b\\[K)+");
    EXPECT_TRUE(std::regex_match(shown, progress)) << RadioSim::escapeBytes(shown);
}

// The port goes away while the radio is awaited: the command and the lost
// line on one line.
TEST(SatelFlowTest, ALostLineNamesTheCommandItWasWaitingFor) {
    TestSupport::Pty line;
    TestSupport::BackgroundProgram run(TestSupport::programPath("radiocfg"),
                                       {"--satel", "-p", line.slavePath(), "--satel_freq", "438125000",
                                        "--satel_spacing", "12500", "--satel_power", "500"});
    ASSERT_EQ(line.readUntil("SL+++", 30s), "SL+++");
    line.closeSlave();
    line.closeMaster();
    EXPECT_EQ(run.wait(), 1);
    EXPECT_EQ(run.out, "Line lost while waiting for the answer to: SL+++\n");
}

TEST(SatelFlowTest, APortThatIsNotASerialLineFailsOnOneLine) {
    const auto r = TestSupport::runProgram(TestSupport::programPath("radiocfg"),
                                           {"--satel", "-p", "/dev/null", "--satel_freq", "438125000",
                                            "--satel_spacing", "12500", "--satel_power", "500"},
                                           30s);
    EXPECT_EQ(r.exitStatus, 1);
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.err, "");
}
