// Fault injection, end to end: the built radiocfg against the simulated radio,
// which misbehaves at one position k of the flow's command sequence:
//
//   SilentFrom  the radio goes dead at command k (answers nothing from it on)
//   ErrorAt     command k gets the radio's error answer
//   GarbageAt   command k gets garbage bytes instead of its answer
//   CloseAt     the line is hung up when command k arrives
//
// What the field engineer must see (configuration flows): exit status 1 and
// exactly one line, the failure's message; no command written after the one
// that failed (the radio's wire log); no wait beyond the command timeouts the
// sequence allows. Under the sanitizer build a leak fails the run too (the
// exit status is then not 1).
//
// Not every fault at every position is a failure: by design some answers are
// not examined (the echo command completes on any answer, the write-to-flash
// command on any answer but "ERROR", the dealer-mode prompts on any line
// without "ERROR" in it, and the line clean-up before a Microhard exchange
// may go unanswered). There the flow completes: exit 0, nothing printed,
// every command written.
//
// Every scenario runs twice, the second time with --fast, against a radio
// with a real radio's timing: the bytes on the line, the output and the exit
// status must be the same. Each flow also runs against radios with the habits
// of real ones: one that echoes every command before answering (injected
// answers too), and an L400 that answers each dealer-mode command with one
// line.
//
// The detect flow reports rather than fails: it always exits 0 with its
// progress lines and "Radio Type: ...", the radio's type when the fault did
// not touch an answer the probe depends on, else "not detected". A fault at
// the echo switch leaves the radio's echo on, which changes nothing: an
// echoed line is never an answer.
//
// Each scenario is its own test, so that ctest runs many at once: they wait
// on the radio's deadlines (2.5 s per command), not on the processor. The
// build registers the first, a middle and the last position of each flow;
// tools/fault-matrix --full runs every position.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Program.h"
#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/Simulator.h"

using namespace std::chrono_literals;

namespace {

enum class Fault { SilentFrom, ErrorAt, GarbageAt, CloseAt };
const char* const faultNames[] = {"SilentFrom", "ErrorAt", "GarbageAt", "CloseAt"};

// How the flow treats the answer to one command.
enum class Answer {
    Token,       // a token or a first line must arrive: error and garbage fail it
    FirstLine,   // any first line completes it, but "ERROR" fails it; garbage (no line end) does not complete it
    AnyAnswer,   // any byte completes it (the echo command)
    AnyButError, // any byte completes it, but "ERROR" fails it (Satel write to flash)
    Optional,    // its failure is dropped (the line clean-up before a Microhard exchange)
    Part,        // a further piece of the command before it, which an earlier answer completed;
                 // its answer still arrives with that command's, so "ERROR" fails that command
    Unanswered,  // a piece of a command that the radio takes without a word: the command's
                 // answer follows its last piece, so any fault here fails the command
};

struct Step {
    Step(std::string framed, Answer kind, std::string bytes = std::string())
        : text(std::move(framed)), answer(kind), written(std::move(bytes)) {}
    std::string text;    // the command as the radio frames it
    Answer answer;
    std::string written; // the bytes radiocfg writes, when they differ (line ends)
    const std::string& wire() const { return written.empty() ? text : written; }
};

// A Microhard register write or fixed command: written with CR LF, framed
// without, answered with a token.
Step microhard(const std::string& text) { return Step(text, Answer::Token, text + "\r\n"); }

// A failure message as radiocfg prints it: the control bytes of the command
// text written out, so that it stays on one line.
std::string printed(const std::string& message)
{
    std::string line;
    for (const char c : message) {
        if (c == '\r') line += "\\r";
        else if (c == '\n') line += "\\n";
        else if (c == '\x1b') line += "\\x1b";
        else line += c;
    }
    return line;
}

// Habits of the radio a flow runs against (radiosim's modes).
enum class Habit { Plain, Echo, OneLineDealer };

struct Flow {
    std::string name;
    std::string personality;
    std::vector<std::string> args; // after -p PORT
    std::vector<Step> steps;       // the whole sequence of a clean run
    std::string detected;          // detect flow: the type printed for a clean run; empty otherwise
    Habit habit = Habit::Plain;
};

// The same flow against a radio with another habit.
Flow against(Flow flow, Habit habit, const std::string& name)
{
    flow.name += name;
    flow.habit = habit;
    if (habit == Habit::OneLineDealer)
        // The table entry is answered once, after its last field.
        for (std::size_t i = 0; i + 1 < flow.steps.size(); ++i)
            if (flow.steps[i + 1].answer == Answer::Part) {
                flow.steps[i].answer = Answer::Unanswered;
                flow.steps[i + 1].answer = Answer::FirstLine;
            }
    return flow;
}

// The first and one past the last step of the command that step i (0-based)
// belongs to.
std::size_t commandStart(const std::vector<Step>& steps, std::size_t i)
{
    while (i > 0 && (steps[i].answer == Answer::Part || steps[i - 1].answer == Answer::Unanswered)) --i;
    return i;
}
std::size_t commandEnd(const std::vector<Step>& steps, std::size_t i)
{
    ++i;
    while (i < steps.size() && (steps[i].answer == Answer::Part || steps[i - 1].answer == Answer::Unanswered)) ++i;
    return i;
}

const std::vector<Flow>& flows()
{
    static const std::vector<Flow> table = {
        {"Satel", "satel",
         {"--satel", "--satel_freq", "438125000", "--satel_spacing", "12500", "--satel_power", "500"},
         {{"SL+++", Answer::Token},
          {"SL&F=434.00000", Answer::Token},
          {"SL&W=1250", Answer::Token},
          {"SL&F=438.12500", Answer::Token},
          {"SL@P=500", Answer::Token},
          {"SL**>", Answer::AnyButError},
          {"SL++O", Answer::Token}},
         ""},
        {"L400", "l400",
         {"--l400", "--l400_freq", "450125000", "--l400_power", "2000", "--l400_mode", "PC2"},
         {{"ATA", Answer::Optional, "\r\nATA\r\n"},
          {"+++", Answer::Token},
          {"ATE0", Answer::AnyAnswer, "ATE0\r\n"},
          microhard("AT&F2"),
          microhard("ATS101=2"),
          microhard("ATS102=1"),
          microhard("ATS110=1"),
          microhard("ATS103=6"),
          microhard("ATS158=1"),
          microhard("ATS112=1580"),
          microhard("ATS116=100"),
          {"ATP0=", Answer::FirstLine, "ATP0=\r"},
          {"kest%al", Answer::FirstLine, "kest%al\r"},
          // One command, the four fields of the frequency table entry; the
          // radio prompts after each, and the first prompt completes it.
          {"42", Answer::FirstLine, "42\r450125000\r1\r2\r"},
          {"450125000", Answer::Part},
          {"1", Answer::Part},
          {"2", Answer::Part},
          {"\x1b", Answer::FirstLine},
          microhard("ATS131=42"),
          microhard("ATS132=42"),
          microhard("ATS108=33"),
          microhard("ATS125=1"),
          microhard("AT&W"),
          {"ATE1", Answer::AnyAnswer, "ATE1\r\n"},
          {"ATA", Answer::Token, "\r\nATA\r\n"}},
         ""},
        {"Microhard920A", "920a",
         {"--920a", "--920a_channel", "99", "--920a_address", "10", "--920a_mode", "SLOW2"},
         {{"ATA", Answer::Optional, "\r\nATA\r\n"},
          {"+++", Answer::Token},
          {"ATE0", Answer::AnyAnswer, "ATE0\r\n"},
          microhard("AT&F5"),
          microhard("ATS102=1"),
          microhard("ATS101=2"),
          microhard("ATS108=30"),
          microhard("ATS110=1"),
          microhard("ATS118=65535"),
          microhard("ATS140=1"),
          microhard("ATS104=200"),
          microhard("ATS103=0"),
          microhard("ATS112=35"),
          microhard("ATS113=2"),
          microhard("ATS158=0"),
          microhard("ATS105=10"),
          microhard("AT&W"),
          {"ATE1", Answer::AnyAnswer, "ATE1\r\n"},
          {"ATA", Answer::Token, "\r\nATA\r\n"}},
         ""},
        {"DetectSatel", "satel",
         {"--detect"},
         {{"ATA", Answer::Optional, "\r\nATA\r\n"}, // a Satel radio does not answer the Microhard probe anyway
          {"+++", Answer::Optional},
          {"SL+++", Answer::Token},
          {"SL&F?", Answer::Token},
          {"SL++O", Answer::Token}},
         "Satel"},
        {"DetectL400", "l400",
         {"--detect"},
         {{"ATA", Answer::Optional, "\r\nATA\r\n"},
          {"+++", Answer::Token},
          {"ATE0", Answer::AnyAnswer, "ATE0\r\n"},
          {"ATI1", Answer::FirstLine, "ATI1\r\n"},
          {"ATA", Answer::Token, "\r\nATA\r\n"}},
         "Microhard L400"},
    };
    static const std::vector<Flow> withHabits = [] {
        std::vector<Flow> all = table;
        for (const Flow& flow : table) all.push_back(against(flow, Habit::Echo, "Echo"));
        all.push_back(against(table[1], Habit::OneLineDealer, "OneLineDealer"));
        return all;
    }();
    return withHabits;
}

struct Scenario {
    const Flow* flow;
    Fault fault;
    std::size_t position; // 1-based command number
};

std::vector<Scenario> scenarios()
{
    std::vector<Scenario> list;
    for (const Flow& flow : flows()) {
        const std::size_t n = flow.steps.size();
        std::vector<std::size_t> positions;
#if VELTRIO_FAULT_MATRIX_FULL
        for (std::size_t k = 1; k <= n; ++k) positions.push_back(k);
#else
        positions = {1, (n + 1) / 2, n};
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
#endif
        for (Fault fault : {Fault::SilentFrom, Fault::ErrorAt, Fault::GarbageAt, Fault::CloseAt})
            for (std::size_t k : positions) list.push_back({&flow, fault, k});
    }
    return list;
}

// What the run must show: the number of the command that fails (0: none
// does, the flow completes) and how it fails.
struct Expectation {
    std::size_t failing = 0;
    std::string message;      // whole message, or a prefix when `prefixOnly`
    bool prefixOnly = false;
};

Expectation expect(const Scenario& s)
{
    Expectation e;
    for (std::size_t i = 1; i <= s.flow->steps.size(); ++i) {
        const Step& step = s.flow->steps[i - 1];
        switch (s.fault) {
        case Fault::SilentFrom: {
            if (i < s.position) continue;
            if (step.answer == Answer::Optional || step.answer == Answer::Part) continue;
            e.failing = commandStart(s.flow->steps, i - 1) + 1;
            e.message = printed("Timeout waiting for repsonse: " + s.flow->steps[e.failing - 1].wire());
            return e;
        }
        case Fault::ErrorAt:
        case Fault::GarbageAt: {
            if (i != s.position) continue;
            const bool error = s.fault == Fault::ErrorAt;
            const bool fails = step.answer == Answer::Token || step.answer == Answer::FirstLine ||
                               step.answer == Answer::Unanswered || (step.answer == Answer::AnyButError && error) ||
                               (step.answer == Answer::Part && error);
            if (!fails) return e;
            // A fault at a piece fails the command it belongs to.
            e.failing = commandStart(s.flow->steps, i - 1) + 1;
            const std::string& wire = s.flow->steps[e.failing - 1].wire();
            e.message = printed((error ? "Command error: " : "Timeout waiting for repsonse: ") + wire);
            return e;
        }
        case Fault::CloseAt:
            if (i != s.position) continue;
            // A hung-up line fails the read of this command, or, where that
            // failure is dropped, the write of the next one.
            e.failing = i;
            e.message = "Line lost while ";
            e.prefixOnly = true;
            return e;
        }
    }
    return e;
}

RadioSim::Faults faultsOf(const Scenario& s)
{
    RadioSim::Faults f;
    const auto k = static_cast<unsigned>(s.position);
    switch (s.fault) {
    case Fault::SilentFrom: f.silentFrom = k; break;
    case Fault::ErrorAt: f.errorAt = k; break;
    case Fault::GarbageAt: f.garbageAt = k; break;
    case Fault::CloseAt: f.closeAt = k; break;
    }
    return f;
}

std::vector<std::string> linesOf(const std::string& out)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < out.size()) {
        const std::size_t end = out.find('\n', from);
        if (end == std::string::npos) {
            lines.push_back(out.substr(from));
            break;
        }
        lines.push_back(out.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

// Commands as the radio framed them, compared with the flow's sequence.
std::vector<std::string> sequence(const Flow& flow, std::size_t count)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < count && i < flow.steps.size(); ++i) texts.push_back(flow.steps[i].text);
    return texts;
}

// Names in the test list rather than bytes.
void PrintTo(const Scenario& s, std::ostream* out)
{
    *out << s.flow->name << ", " << faultNames[static_cast<int>(s.fault)] << " " << s.position;
}
void PrintTo(const Flow* flow, std::ostream* out) { *out << flow->name; }

// One run of radiocfg against a radio with a real radio's timing.
struct FlowRun {
    TestSupport::ProgramResult result;
    std::vector<std::string> received;
    std::string wire;
};

FlowRun runFlow(const Flow& flow, const RadioSim::Faults& faults, bool fast)
{
    auto personality = RadioSim::makePersonality(flow.personality);
    if (flow.habit == Habit::Echo) personality->echoEveryCommand();
    if (flow.habit == Habit::OneLineDealer) personality->answerDealerInOneLine();
    RadioSim::Simulator radio(std::move(personality), faults, RadioSim::Timing::realistic());
    radio.start();
    std::vector<std::string> args = {"-p", radio.slavePath()};
    args.insert(args.end(), flow.args.begin(), flow.args.end());
    if (fast) args.push_back("--fast");
    // Every command costs at most its answer plus one read deadline of
    // 2.5 s, a failing one at most two; the detect flow may add the Satel
    // probe's three. Far more than that is a hang.
    const auto limit = std::chrono::seconds(10 * (flow.steps.size() + 4));
    FlowRun run{TestSupport::runProgram(TestSupport::programPath("radiocfg"), args, limit), {}, {}};
    radio.stop();
    run.received = radio.received();
    run.wire = radio.wireLogText();
    return run;
}

// With --fast the run ends sooner, and nothing else changes: the same bytes
// both ways on the line, the same output, the same exit status.
void expectSameAsFast(const Flow& flow, const RadioSim::Faults& faults, const FlowRun& patient)
{
    const FlowRun fast = runFlow(flow, faults, true);
    SCOPED_TRACE("with --fast, output:\n" + fast.result.out + "wire log:\n" + fast.wire);
    ASSERT_FALSE(fast.result.timedOut);
    EXPECT_EQ(fast.wire, patient.wire);
    EXPECT_EQ(fast.result.out, patient.result.out);
    EXPECT_EQ(fast.result.exitStatus, patient.result.exitStatus);
}

class RadiocfgFaults : public ::testing::TestWithParam<Scenario> {};

TEST_P(RadiocfgFaults, FailsOnOneLineAndWritesNothingAfter)
{
    const Scenario& s = GetParam();
    const Flow& flow = *s.flow;
    const Expectation e = expect(s);

    const auto started = std::chrono::steady_clock::now();
    const FlowRun run = runFlow(flow, faultsOf(s), false);
    const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    const TestSupport::ProgramResult& r = run.result;
    const std::vector<std::string>& received = run.received;
    const std::vector<std::string> lines = linesOf(r.out);
    SCOPED_TRACE("took " + std::to_string(took.count()) + " s; output:\n" + r.out + "wire log:\n" + run.wire +
                 "stderr:\n" + r.err);

    ASSERT_FALSE(r.timedOut) << "radiocfg still ran after " << took.count() << " s";
    expectSameAsFast(flow, faultsOf(s), run);
    EXPECT_EQ(r.err, "");
    // Whatever is printed is whole lines, without a stray line end inside.
    if (!r.out.empty()) {
        EXPECT_EQ(r.out.back(), '\n');
    }
    EXPECT_EQ(r.out.find('\r'), std::string::npos);

    if (!flow.detected.empty()) {
        EXPECT_EQ(r.exitStatus, 0);
        ASSERT_FALSE(lines.empty());
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_TRUE(lines[i] == "Detecting MH.." || lines[i] == "Detecting Satel.." ||
                        lines[i].rfind("Getproductcode: \"", 0) == 0)
                << lines[i];
        const bool detected = e.failing == 0;
        EXPECT_EQ(lines.back(), "Radio Type: " + (detected ? flow.detected : std::string("not detected")));
        return;
    }

    if (e.failing == 0) {
        // A fault the flow passes over by design: it completes.
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(received, sequence(flow, flow.steps.size()));
        return;
    }

    EXPECT_EQ(r.exitStatus, 1);
    ASSERT_EQ(lines.size(), 1u);
    if (e.prefixOnly)
        EXPECT_EQ(lines[0].rfind(e.message, 0), 0u) << lines[0];
    else
        EXPECT_EQ(lines[0], e.message);
    // Nothing written after the failing command (which the radio may have
    // framed as several pieces, unless the line was hung up on one of them).
    const std::size_t written = s.fault == Fault::CloseAt ? e.failing : commandEnd(flow.steps, e.failing - 1);
    EXPECT_EQ(received, sequence(flow, written));
}

// The sequence tables above are what the flows write: a clean run of each
// writes exactly its steps (so that position k means command k).
class RadiocfgCleanRun : public ::testing::TestWithParam<const Flow*> {};

TEST_P(RadiocfgCleanRun, WritesTheSequenceOfTheTable)
{
    const Flow& flow = *GetParam();
    const FlowRun run = runFlow(flow, RadioSim::Faults(), false);
    const TestSupport::ProgramResult& r = run.result;
    SCOPED_TRACE("output:\n" + r.out + "wire log:\n" + run.wire);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(run.received, sequence(flow, flow.steps.size()));
    expectSameAsFast(flow, RadioSim::Faults(), run);
    if (flow.detected.empty())
        EXPECT_EQ(r.out, "");
    else
        EXPECT_EQ(linesOf(r.out).back(), "Radio Type: " + flow.detected);
}

std::vector<const Flow*> allFlows()
{
    std::vector<const Flow*> list;
    for (const Flow& flow : flows()) list.push_back(&flow);
    return list;
}

INSTANTIATE_TEST_SUITE_P(Flows, RadiocfgCleanRun, ::testing::ValuesIn(allFlows()),
                         [](const ::testing::TestParamInfo<const Flow*>& info) { return info.param->name; });

std::string scenarioName(const ::testing::TestParamInfo<Scenario>& info)
{
    return info.param.flow->name + faultNames[static_cast<int>(info.param.fault)] +
           std::to_string(info.param.position);
}

INSTANTIATE_TEST_SUITE_P(Matrix, RadiocfgFaults, ::testing::ValuesIn(scenarios()), scenarioName);

} // namespace
