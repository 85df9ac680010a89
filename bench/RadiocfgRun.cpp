// radiocfg's own share of a configuration flow: the wall time of the built
// program against the simulated radio, over the time the protocol itself
// takes.
//
// The engine writes one command at a time and reads until one read of the
// serial device brings nothing; that read returns only at its deadline
// (2500 ms). So every command costs at least one read deadline after its
// answer, and a flow of N commands lasts at least N x 2.5 s plus the pauses
// the flow itself makes. Everything beyond that (start-up, opening the port,
// rendering and parsing, the engine's 50 us sleeps, the simulated radio's
// answer time) is the overhead measured here.
//
// Output: one "flow <name> <wall s> <mandated s> <over %>" line per flow,
// which bench/run reads, after lines of detail; "failed <name>" instead when
// the run was not the protocol's exchange (wrong exit status, another number
// of commands, not the expected result).

#include "bench/Spawned.h"
#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/Simulator.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kReadDeadline = 2.5;  // s, the serial device's read deadline in radiocfg

struct Flow {
    const char* name;
    const char* personality;       // radiosim type
    std::vector<std::string> args; // after the program and the port
    unsigned commands;             // commands the protocol writes for it
    unsigned framed;               // of which the simulated radio frames as separate lines
    double pauses;                 // s the flow waits on its own
    const char* expect;            // in its output when it succeeded ("" for none)
};

const std::vector<Flow>& flows()
{
    static const std::vector<Flow> table = {
        // "SL+++", 434 MHz, spacing, frequency, power, write to flash, "SL++O".
        {"satel", "satel",
         {"--satel", "--satel_freq", "438125000", "--satel_spacing", "12500", "--satel_power", "500"}, 7, 7, 0.0, ""},
        // Start-up "ATA", 1 ms pause, "+++", echo off; AT&F2, S101, S102,
        // S110, S103, S158, S112, S116, the dealer dialogue ("ATP0=", the
        // password, one table entry, ESC), S131, S132, S108, S125, AT&W; echo
        // on, "ATA". The table entry is one command of four CR-ended fields, which
        // the radio takes in as four lines.
        {"l400", "l400",
         {"--l400", "--l400_freq", "450125000", "--l400_power", "2000", "--l400_mode", "VLTR"}, 22, 25, 0.001, ""},
        // Start-up "ATA", 1 ms pause, "+++", echo off, the 14 commands of the
        // 920A's configuration, echo on, "ATA".
        {"920a", "920a",
         {"--920a", "--920a_channel", "3", "--920a_address", "17", "--920a_mode", "FAST"}, 19, 19, 0.001, ""},
        // Microhard probe: leave command mode ("ATA"), 1 ms pause, "+++", echo
        // off, "ATI1", "ATA".
        {"detect-l400", "l400", {"--detect"}, 5, 5, 0.001, "Radio Type: Microhard L400"},
        {"detect-920a", "920a", {"--detect"}, 5, 5, 0.001, "Radio Type: Microhard 920A"},
        // The Microhard probe fails at "+++" (unanswered: one read deadline);
        // then "SL+++", "SL&F?", "SL++O".
        {"detect-satel", "satel", {"--detect"}, 5, 5, 0.001, "Radio Type: Satel"},
    };
    return table;
}

} // namespace

int main(int argc, char** argv)
{
    std::string radiocfg = "build/bin/radiocfg";
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--radiocfg") == 0) radiocfg = argv[i + 1];
        else if (std::strcmp(argv[i], "--flow") == 0) only = argv[i + 1];
    }

    bool ok = true;
    for (const Flow& flow : flows()) {
        if (!only.empty() && only != flow.name) continue;
        auto personality = RadioSim::makePersonality(flow.personality);
        if (!personality) {
            std::printf("%s: radiosim has no %s radio yet\n", flow.name, flow.personality);
            continue;
        }
        RadioSim::Simulator sim(std::move(personality));
        sim.start();
        std::vector<std::string> args = {radiocfg, "-p", sim.slavePath()};
        args.insert(args.end(), flow.args.begin(), flow.args.end());
        const Bench::Finished f = Bench::runToEnd(args);
        const std::size_t written = sim.received().size();
        sim.stop();

        const double mandated = flow.commands * kReadDeadline + flow.pauses;
        const double over = 100.0 * (f.wall / mandated - 1.0);
        std::printf("%s: exit %d, %zu command lines reached the radio (expected %u for the protocol's %u "
                    "commands), wall %.3f s, CPU user %.3f s + system %.3f s, mandated %.3f s\n",
                    flow.name, f.exitStatus, written, flow.framed, flow.commands, f.wall, f.user, f.sys, mandated);
        bool expected = *flow.expect == '\0';
        for (const auto& line : f.lines) {
            std::printf("  | %s\n", line.first.c_str());
            if (line.first == flow.expect) expected = true;
        }
        if (f.exitStatus != 0 || written != flow.framed || !expected) {
            // Not the exchange the protocol lays down: no figure.
            std::printf("failed %s\n", flow.name);
            ok = false;
        } else {
            std::printf("flow %s %.3f %.3f %.2f\n", flow.name, f.wall, mandated, over);
        }
    }
    return ok ? 0 : 1;
}
