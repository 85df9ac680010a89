// radiocfg --detect, run as the built program against simulated radios.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Program.h"
#include "tools/radiosim/MicrohardPersonality.h"
#include "tools/radiosim/SatelPersonality.h"
#include "tools/radiosim/Simulator.h"

using RadioSim::MicrohardModel;
using RadioSim::MicrohardPersonality;
using RadioSim::Simulator;

namespace {

TestSupport::ProgramResult detectOn(const std::string& port) {
    return TestSupport::runProgram(TestSupport::programPath("radiocfg"), {"--detect", "-p", port},
                                   std::chrono::seconds(90));
}

const std::string probingMicrohard = "Detecting MH..\n";
const std::string probingSatel = "Detecting Satel..\n";

} // namespace

TEST(DetectCommandTest, L400) {
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::L400));
    radio.start();
    const auto r = detectOn(radio.slavePath());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, probingMicrohard + "Getproductcode: \"L400\"\nRadio Type: Microhard L400\n");
    EXPECT_EQ(r.err, "");
}

TEST(DetectCommandTest, Microhard920A) {
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::MHX920A));
    radio.start();
    const auto r = detectOn(radio.slavePath());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, probingMicrohard + "Getproductcode: \"MHX920A\"\nRadio Type: Microhard 920A\n");
}

TEST(DetectCommandTest, Satel) {
    Simulator radio(std::make_unique<RadioSim::SatelPersonality>());
    radio.start();
    const auto r = detectOn(radio.slavePath());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, probingMicrohard + probingSatel + "Radio Type: Satel\n");
}

TEST(DetectCommandTest, NothingAnsweringIsNotAFailure) {
    RadioSim::Faults faults;
    faults.silent = true;
    Simulator radio(std::make_unique<RadioSim::SatelPersonality>(), faults);
    radio.start();
    const auto r = detectOn(radio.slavePath());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, probingMicrohard + probingSatel + "Radio Type: not detected\n");
}

// A path that exists but is no serial port: the reason on one line, status 1.
TEST(DetectCommandTest, PortThatIsNoSerialPort) {
    char path[] = "/tmp/radiocfg-detect-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const auto r = detectOn(path);
    std::remove(path);
    EXPECT_EQ(r.exitStatus, 1);
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    EXPECT_EQ(r.out.find("Radio Type"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

// A radio that hears only at 115200: -b auto finds it after 9600 and says
// at which rate; at the default rate the query's failure suggests -b auto.
TEST(DetectCommandTest, AutomaticBaudRateFindsARadioAtAnotherRate) {
    RadioSim::Faults faults;
    faults.lineBaud = 115200;
    Simulator radio(std::make_unique<MicrohardPersonality>(MicrohardModel::L400), faults);
    radio.start();
    const auto run = [&radio](std::vector<std::string> args) {
        args.insert(args.end(), {"--fast", "-p", radio.slavePath()});
        return TestSupport::runProgram(TestSupport::programPath("radiocfg"), args, std::chrono::seconds(90));
    };
    const auto d = run({"--detect", "-b", "auto"});
    EXPECT_EQ(d.exitStatus, 0);
    EXPECT_EQ(d.out, probingMicrohard + probingSatel + probingMicrohard +
                         "Getproductcode: \"L400\"\nBaud: 115200\nRadio Type: Microhard L400\n");

    const auto q = run({"--query", "-b", "auto", "--json"});
    EXPECT_EQ(q.exitStatus, 0);
    EXPECT_NE(q.out.find("{\"command\":\"query\",\"baud\":115200,\"radio\":\"Microhard L400\""), std::string::npos)
        << q.out;

    const auto fixed = run({"--query"});
    EXPECT_EQ(fixed.exitStatus, 1);
    EXPECT_EQ(fixed.out, "Radio Type: not detected at 9600 baud (-b auto tries every rate)\n");
}
