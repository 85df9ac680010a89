// radiocfg --l400 and --920a, run as the built program against simulated
// radios. The program's serial reads wait 2.5 s for silence after every
// answer, so a whole configuration takes about a minute; the tests run side
// by side under ctest.
#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Program.h"
#include "tools/radiosim/MicrohardPersonality.h"
#include "tools/radiosim/Simulator.h"

using RadioSim::MicrohardModel;
using RadioSim::MicrohardPersonality;
using RadioSim::Simulator;
using Settings = std::vector<std::pair<std::string, std::string>>;

namespace {

TestSupport::ProgramResult radiocfg(const std::vector<std::string>& args) {
    return TestSupport::runProgram(TestSupport::programPath("radiocfg"), args, std::chrono::seconds(150));
}

std::unique_ptr<MicrohardPersonality> radio(MicrohardModel model) {
    return std::make_unique<MicrohardPersonality>(model);
}

void expectSettings(const Simulator& sim, const Settings& settings) {
    for (const auto& [name, value] : settings) EXPECT_EQ(sim.stateValue(name), value) << name;
}

} // namespace

TEST(MicrohardFlowTest, L400IsConfiguredAndPrintsNothing) {
    Simulator sim(radio(MicrohardModel::L400));
    sim.start();
    const auto r = radiocfg({"--l400", "-p", sim.slavePath(), "--l400_freq", "450125000", "--l400_power", "2000",
                             "--l400_mode", "PC2"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    expectSettings(sim, {{"mode", "data"}, {"echo", "on"}, {"factory_set", "2"}, {"saves", "1"},
                         {"unsaved_changes", "no"}, {"S103", "6"}, {"S158", "1"}, {"S108", "33"}, {"S131", "42"},
                         {"S132", "42"}, {"table_42", "450125000,1,2"}});
}

TEST(MicrohardFlowTest, Microhard920AIsConfiguredAndPrintsNothing) {
    Simulator sim(radio(MicrohardModel::MHX920A));
    sim.start();
    const auto r = radiocfg({"--920a", "-p", sim.slavePath(), "--920a_channel", "99", "--920a_address", "10",
                             "--920a_mode", "SLOW2"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    expectSettings(sim, {{"mode", "data"}, {"echo", "on"}, {"factory_set", "5"}, {"saves", "1"},
                         {"unsaved_changes", "no"}, {"S104", "200"}, {"S103", "0"}, {"S112", "35"}, {"S113", "2"},
                         {"S158", "0"}, {"S105", "10"}});
}

// Refusals that come before the first byte: one message, status 1, and the
// radio has received nothing.
TEST(MicrohardFlowTest, RefusedValuesTouchNothing) {
    struct Case {
        MicrohardModel model;
        std::vector<std::string> args;
        std::string out;
    };
    const std::vector<Case> cases = {
        {MicrohardModel::L400, {"--l400", "--l400_freq", "450125000", "--l400_mode", "PC1"}, ""},
        {MicrohardModel::MHX920A, {"--920a", "--920a_channel", "5", "--920a_mode", "FAST"}, ""},
        {MicrohardModel::L400,
         {"--l400", "--l400_freq", "450125000", "--l400_power", "1000", "--l400_mode", "pc1"},
         "Invalid mode: pc1"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel", "5", "--920a_address", "10", "--920a_mode", "SLOW "},
         "Invalid mode: SLOW "},
        {MicrohardModel::L400,
         {"--l400", "--l400_freq", "450006250", "--l400_power", "1000", "--l400_mode", "VLTR"},
         "Invalid frequency: 450006250\n"},
        // Values that would program the radio otherwise than asked: a power
        // outside the table, a channel or unit address outside its range, a
        // negative number (which the option parser alone takes modulo 2^32).
        {MicrohardModel::L400,
         {"--l400", "--l400_freq", "450125000", "--l400_power", "150", "--l400_mode", "PC1"},
         "Invalid power: 150\n"},
        {MicrohardModel::L400,
         {"--l400", "--l400_freq", "450125000", "--l400_power=-1", "--l400_mode", "PC1"},
         "Invalid --l400_power: -1\n"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel", "100", "--920a_address", "10", "--920a_mode", "FAST"},
         "Invalid --920a_channel: 100 (0 to 99)\n"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel=-1", "--920a_address", "10", "--920a_mode", "FAST"},
         "Invalid --920a_channel: -1 (0 to 99)\n"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel", "5", "--920a_address", "65535", "--920a_mode", "FAST"},
         "Invalid --920a_address: 65535 (2 to 65534)\n"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel", "5", "--920a_address", "65538", "--920a_mode", "FAST"},
         "Invalid --920a_address: 65538 (2 to 65534)\n"},
        {MicrohardModel::MHX920A,
         {"--920a", "--920a_channel", "5", "--920a_address=-4294901750", "--920a_mode", "FAST"},
         "Invalid --920a_address: -4294901750 (2 to 65534)\n"},
    };
    for (const auto& c : cases) {
        Simulator sim(radio(c.model));
        sim.start();
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-p", sim.slavePath()});
        const auto r = radiocfg(args);
        EXPECT_EQ(r.exitStatus, 1) << c.args.back();
        EXPECT_TRUE(sim.received().empty()) << c.args.back();
        if (!c.out.empty()) {
            EXPECT_EQ(r.out, c.out);
            continue;
        }
        // A missing option: "Missing param" and the command's own options.
        const std::string group = c.model == MicrohardModel::L400 ? "Microhard L400 Options:" : "Microhard 920a Options:";
        EXPECT_EQ(r.out.rfind("Missing param\n" + group + "\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(c.model == MicrohardModel::L400 ? "--l400_power" : "--920a_address"), std::string::npos);
        EXPECT_EQ(r.out.find("Satel"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - 2), "\n\n");
    }
}

TEST(MicrohardFlowTest, ASilentRadioTimesOut) {
    RadioSim::Faults faults;
    faults.silent = true;
    Simulator sim(radio(MicrohardModel::L400), faults);
    sim.start();
    TestSupport::BackgroundProgram run(TestSupport::programPath("radiocfg"),
                                       {"--l400", "-p", sim.slavePath(), "--l400_freq", "450125000", "--l400_power",
                                        "1000", "--l400_mode", "PC1"});
    // Each unanswered command is given up once its 2 s timeout has passed, at
    // the end of the 2.5 s read that was waiting then: not before, and not a
    // read later.
    ASSERT_TRUE(sim.waitForCommands(1, std::chrono::seconds(30)));
    const auto ata = std::chrono::steady_clock::now();
    ASSERT_TRUE(sim.waitForCommands(2, std::chrono::seconds(30)));
    const auto escape = std::chrono::steady_clock::now();
    EXPECT_EQ(run.wait(), 1);
    const auto end = std::chrono::steady_clock::now();
    for (const auto waited : {escape - ata, end - escape}) {
        const auto waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(waited).count();
        EXPECT_GE(waitedMs, 2000);
        EXPECT_LT(waitedMs, 4500) << "a read later would be 5 s";
    }
    // The start-up "ATA" may go unanswered; the escape may not.
    EXPECT_EQ(run.out, "Timeout waiting for repsonse: +++\n");
    EXPECT_EQ(sim.received(), (std::vector<std::string>{"ATA", "+++"}));
}

TEST(MicrohardFlowTest, AnErrorAnswerEndsTheConfiguration) {
    // ATA, +++, ATE0, AT&F5, ATS102=1 (the 5th command).
    RadioSim::Faults faults;
    faults.errorAt = 5;
    Simulator sim(radio(MicrohardModel::MHX920A), faults);
    sim.start();
    const auto r = radiocfg({"--920a", "-p", sim.slavePath(), "--920a_channel", "5", "--920a_address", "10",
                             "--920a_mode", "FAST"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "Command error: ATS102=1\\r\\n\n"); // the command's CR LF shown, on one line
    EXPECT_EQ(sim.received().size(), 5u);
    EXPECT_EQ(sim.stateValue("saves"), "0");
}

// --fast against radios slower than a real one in the ways that matter to
// it: answers in pieces, and either left in command mode (so "ATA" is
// answered and the engine itself must keep the line quiet for the guard time
// before "+++") or answering "+++" only after a longer guard time; and a
// radio whose pieces, and whose answers to the four fields of a table entry,
// are further apart than the quiet gap: each answer must still be read as
// its own command's, never as the next one's, and the read-back agrees.
TEST(MicrohardFlowTest, FastRunAgainstSlowRadios) {
    struct Case {
        const char* name;
        bool inCommandMode;
        int pieceGap, processing, escapeGuard; // ms
        bool verify;
    };
    const Case cases[] = {
        {"left in command mode", true, 70, 40, 1000, false},
        {"long escape guard", false, 70, 40, 1800, false},
        {"pieces further apart than the gap", false, 300, 150, 1000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto personality = radio(MicrohardModel::L400);
        if (c.inCommandMode) personality->answer("+++");
        RadioSim::Timing timing = RadioSim::Timing::realistic();
        timing.pieceGap = std::chrono::milliseconds(c.pieceGap);
        timing.processing = std::chrono::milliseconds(c.processing);
        timing.escapeGuard = std::chrono::milliseconds(c.escapeGuard);
        Simulator sim(std::move(personality), RadioSim::Faults(), timing);
        sim.start();
        std::vector<std::string> args = {"--l400", "--fast", "-p", sim.slavePath(), "--l400_freq", "450125000",
                                         "--l400_power", "2000", "--l400_mode", "PC2"};
        if (c.verify) args.push_back("--verify");
        const auto r = radiocfg(args);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, "");
        expectSettings(sim, {{"mode", "data"}, {"saves", "1"}, {"S131", "42"}, {"table_42", "450125000,1,2"}});
    }
}

// The same slow radio found by --fast --detect, and its "ERROR" to the first
// register write and to the save reported on that command: the last prompt
// of the dealer dialogue, which comes after the gap, is not taken for the
// answer to a later command.
TEST(MicrohardFlowTest, FastReadsEachSlowAnswerAsItsOwn) {
    RadioSim::Timing timing = RadioSim::Timing::realistic();
    timing.pieceGap = std::chrono::milliseconds(300);
    timing.processing = std::chrono::milliseconds(150);
    {
        Simulator sim(radio(MicrohardModel::L400), RadioSim::Faults(), timing);
        sim.start();
        const auto r = radiocfg({"--detect", "--fast", "-p", sim.slavePath()});
        EXPECT_EQ(r.out, "Detecting MH..\nGetproductcode: \"L400\"\nRadio Type: Microhard L400\n");
    }
    // Counted as the radio frames them: ATA, +++, ATE0, AT&F2, ATS101=2, ...,
    // the table entry as four lines, ESC, ..., AT&W.
    const struct {
        unsigned errorAt;
        const char* printed;
    } cases[] = {{5, "Command error: ATS101=2\\r\\n\n"}, {23, "Command error: AT&W\\r\\n\n"}};
    for (const auto& c : cases) {
        RadioSim::Faults faults;
        faults.errorAt = c.errorAt;
        Simulator sim(radio(MicrohardModel::L400), faults, timing);
        sim.start();
        const auto r = radiocfg({"--l400", "--fast", "-p", sim.slavePath(), "--l400_freq", "450125000",
                                 "--l400_power", "2000", "--l400_mode", "PC2"});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, c.printed);
        EXPECT_EQ(sim.received().size(), c.errorAt);
    }
}

// Ctrl-C while the L400 is in its dealer dialogue: the step under way is
// finished, the dialogue and command mode are left (ESC, ATE1, ATA), nothing
// else is written and nothing is saved.
TEST(MicrohardFlowTest, ASignalStopsTheRunAndLeavesTheRadioInDataMode) {
    Simulator sim(radio(MicrohardModel::L400));
    sim.start();
    TestSupport::BackgroundProgram run(TestSupport::programPath("radiocfg"),
                                       {"--l400", "-p", sim.slavePath(), "--l400_freq", "450125000", "--l400_power",
                                        "2000", "--l400_mode", "PC2"});
    const auto dealerEntered = [&sim] {
        const auto received = sim.received();
        return !received.empty() && received.back() == "ATP0=";
    };
    for (std::size_t count = 1; !dealerEntered(); ++count)
        ASSERT_TRUE(sim.waitForCommands(count, std::chrono::seconds(60))) << "no ATP0=";
    ASSERT_EQ(kill(run.processId(), SIGINT), 0);
    EXPECT_EQ(run.wait(), 128 + SIGINT);
    EXPECT_EQ(run.out, "Stopped by SIGINT after ATP0=\\r: nothing was saved\n");
    const auto received = sim.received();
    const std::vector<std::string> tail(received.end() - 4, received.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"ATP0=", "\x1b", "ATE1", "ATA"}));
    expectSettings(sim, {{"mode", "data"}, {"echo", "on"}, {"saves", "0"}});
}
