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
//
// Then --fast: each flow against a radio with a real radio's timing
// (RadioSim::Timing::realistic()), once without and once with --fast, and
// one "fast <name> <wall s> <wall without s> <speed-up> <floor s> <ratio>"
// line. The floor is the sum of the waits the protocol cannot avoid, taken
// from the fast run's wire log: a read deadline for each command the radio
// does not answer, and for each answered one the radio's own time (its
// processing, a flash write, the escape guard after "+++", the framing pause
// of a command without terminator), its answer's bytes at the line rate and
// the pause between the answer's pieces. The --fast rows also run against
// radios with the habits of real ones: one that echoes every command before
// answering it ("-echo"), and an L400 that answers each dealer-mode command
// with one line ("-one-line-dealer").

#include "bench/Spawned.h"
#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/Simulator.h"

#include <chrono>
#include <cstdio>
#include <memory>
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
    const char* habit = "";        // radiosim mode: "", "echo" or "one-line-dealer"
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

// The flows again against radios with other habits, for the --fast rows.
const std::vector<Flow>& fastFlows()
{
    static const std::vector<Flow> table = [] {
        std::vector<Flow> all = flows();
        static const std::vector<std::string> names = [] {
            std::vector<std::string> n;
            for (const Flow& flow : flows()) n.push_back(std::string(flow.name) + "-echo");
            n.push_back("l400-one-line-dealer");
            return n;
        }();
        for (std::size_t i = 0; i < flows().size(); ++i) {
            Flow flow = flows()[i];
            flow.name = names[i].c_str();
            flow.habit = "echo";
            all.push_back(flow);
        }
        Flow oneLine = flows()[1];
        oneLine.name = names.back().c_str();
        oneLine.habit = "one-line-dealer";
        all.push_back(oneLine);
        return all;
    }();
    return table;
}

std::unique_ptr<RadioSim::Personality> radioFor(const Flow& flow)
{
    auto personality = RadioSim::makePersonality(flow.personality);
    if (std::strcmp(flow.habit, "echo") == 0) personality->echoEveryCommand();
    if (std::strcmp(flow.habit, "one-line-dealer") == 0) personality->answerDealerInOneLine();
    return personality;
}

// A field of an L400 table entry (digits alone): a piece of the entry, which
// is written whole; a radio that answers the entry only after its last field
// leaves the others unanswered at no cost.
bool tableField(const std::string& command)
{
    return !command.empty() && command.find_first_not_of("0123456789") == std::string::npos;
}

// The floor of a run whose wire log is `log`, against a radio with `timing`.
double floorOf(const std::vector<RadioSim::WireEntry>& log, const RadioSim::Timing& timing)
{
    using RadioSim::WireDirection;
    const auto s = [](std::chrono::milliseconds ms) { return ms.count() / 1000.0; };
    double floor = 0.0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].direction != WireDirection::Received) continue;
        const std::string& command = log[i].bytes;
        if (i + 1 == log.size() || log[i + 1].direction != WireDirection::Sent) {
            if (!tableField(command)) floor += kReadDeadline;
            continue;
        }
        const std::string& answer = log[i + 1].bytes;
        floor += s(timing.processing) + static_cast<double>(answer.size()) / timing.byteRate;
        const std::size_t text = answer.find_first_not_of("\r\n");
        const std::size_t end = text == std::string::npos ? text : answer.find('\n', text);
        if (end != std::string::npos && end + 1 < answer.size()) floor += s(timing.pieceGap);
        if (command == "AT&W" || command == "SL**>") floor += s(timing.flashWrite);
        if (command == "+++") floor += s(timing.escapeGuard);
        if (command.compare(0, 2, "SL") == 0 && command.find('=') != std::string::npos)
            floor += s(RadioSim::framingGap); // no terminator: the radio waits for the line to pause
    }
    return floor;
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
    // --fast against a radio with real timing, beside the same flow without it.
    const RadioSim::Timing timing = RadioSim::Timing::realistic();
    for (const Flow& flow : fastFlows()) {
        if (!only.empty() && only != flow.name) continue;
        Bench::Finished runs[2];
        std::vector<RadioSim::WireEntry> logs[2];
        for (int fast = 0; fast < 2; ++fast) {
            RadioSim::Simulator sim(radioFor(flow), RadioSim::Faults(), timing);
            sim.start();
            std::vector<std::string> args = {radiocfg, "-p", sim.slavePath()};
            args.insert(args.end(), flow.args.begin(), flow.args.end());
            if (fast) args.push_back("--fast");
            runs[fast] = Bench::runToEnd(args);
            sim.stop();
            logs[fast] = sim.wireLog();
        }
        const double floor = floorOf(logs[1], timing);
        const auto text = [](const std::vector<RadioSim::WireEntry>& log) {
            std::string all;
            for (const auto& entry : log) all += RadioSim::formatWireEntry(entry) + "\n";
            return all;
        };
        const auto output = [](const Bench::Finished& run) {
            std::string all;
            for (const auto& line : run.lines) all += line.first + "\n";
            return all;
        };
        const bool same = text(logs[0]) == text(logs[1]) && output(runs[0]) == output(runs[1]);
        std::printf("%s: without --fast %.3f s (exit %d), with --fast %.3f s (exit %d), floor %.3f s, "
                    "the same wire log and output: %s\n",
                    flow.name, runs[0].wall, runs[0].exitStatus, runs[1].wall, runs[1].exitStatus, floor,
                    same ? "yes" : "no");
        if (runs[0].exitStatus != 0 || runs[1].exitStatus != 0 || !same) {
            std::printf("failed fast-%s\n", flow.name);
            ok = false;
            continue;
        }
        std::printf("fast %s %.3f %.3f %.2f %.3f %.2f\n", flow.name, runs[1].wall, runs[0].wall,
                    runs[0].wall / runs[1].wall, floor, runs[1].wall / floor);
    }
    return ok ? 0 : 1;
}
