// radiocfg --query, --verify and --json, run as the built program against
// simulated radios with a real radio's timing, one case per radio type: what
// a write leaves in a radio reads back as the command line that wrote it, and
// that line programs a fresh radio the same way. The runs use --fast; one
// query runs with the patient default.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/Program.h"
#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/Simulator.h"

using Args = std::vector<std::string>;
using RadioSim::Simulator;

namespace {

TestSupport::ProgramResult radiocfg(const Simulator& radio, Args args, bool fast = true) {
    args.insert(args.end(), {"-p", radio.slavePath()});
    if (fast) args.push_back("--fast");
    return TestSupport::runProgram(TestSupport::programPath("radiocfg"), args, std::chrono::seconds(200));
}

// A radio of radiosim's type `type` that keeps its old value of `kept` (a
// setting of its state), if any.
std::unique_ptr<Simulator> startRadio(const std::string& type, const std::string& kept = std::string(),
                                      RadioSim::Faults faults = RadioSim::Faults()) {
    auto personality = RadioSim::makePersonality(type);
    if (!kept.empty()) {
        EXPECT_TRUE(personality->keepOldValue(kept)) << kept;
    }
    auto radio = std::make_unique<Simulator>(std::move(personality), faults, RadioSim::Timing::realistic());
    radio->start();
    return radio;
}

Args words(const std::string& line) {
    std::istringstream in(line);
    Args result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

struct RadioCase {
    const char* type; // radiosim's
    const char* name; // as radiocfg names it
    const char* line; // the command that programs it
    const char* baud; // of the port, for every run
};

const RadioCase radios[] = {
    {"satel", "Satel", "--satel --satel_freq 438125000 --satel_spacing 12500 --satel_power 500", "9600"},
    {"l400", "Microhard L400", "--l400 --l400_freq 450125000 --l400_power 2000 --l400_mode VLTR", "38400"},
    {"920a", "Microhard 920A", "--920a --920a_channel 5 --920a_address 10 --920a_mode FAST", "115200"},
};

void PrintTo(const RadioCase& c, std::ostream* out) { *out << c.type; }

class ReadBackTest : public testing::TestWithParam<RadioCase> {};

} // namespace

TEST_P(ReadBackTest, QueryGivesBackTheWrittenLineAndThatLineProgramsTheSame) {
    const RadioCase& c = GetParam();
    const auto run = [&c](const Simulator& radio, Args args) {
        args.insert(args.end(), {"-b", c.baud});
        return radiocfg(radio, args);
    };
    const auto written = startRadio(c.type);
    Args write = words(c.line);
    write.push_back("--verify");
    const auto w = run(*written, write);
    EXPECT_EQ(w.exitStatus, 0);
    EXPECT_EQ(w.out, "");

    const auto q = run(*written, {"--query"});
    EXPECT_EQ(q.exitStatus, 0);
    EXPECT_EQ(q.out, std::string(c.line) + "\n");
    EXPECT_EQ(q.err, "");

    // The same values as one JSON object, in the same order.
    const auto j = run(*written, {"--query", "--json"});
    EXPECT_EQ(j.exitStatus, 0);
    const auto json = nlohmann::ordered_json::parse(j.out);
    EXPECT_EQ(json["command"], "query");
    EXPECT_EQ(json["radio"], c.name);
    EXPECT_FALSE(json.contains("error"));
    Args fromJson = {words(c.line).front()};
    for (const auto& [option, value] : json["settings"].items())
        fromJson.insert(fromJson.end(), {"--" + option, value.get<std::string>()});
    EXPECT_EQ(fromJson, words(c.line));

    const auto fresh = startRadio(c.type);
    const auto again = run(*fresh, words(q.out));
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_EQ(fresh->state(), written->state());
}

INSTANTIATE_TEST_SUITE_P(Radios, ReadBackTest, testing::ValuesIn(radios),
                         [](const testing::TestParamInfo<RadioCase>& info) {
                             return std::string("_") + info.param.type;
                         });

// A radio that acknowledges a write but keeps its old value: --verify names
// the value on one line and fails; --query shows what the radio holds, and a
// value that no option can express is marked, not guessed.
TEST(ReadBackFaultTest, VerifyCatchesARadioThatKeepsAnOldValue) {
    struct Case {
        const char* type;
        const char* kept;
        const char* line;
        const char* difference;
        const char* query;
    };
    const Case cases[] = {
        {"satel", "power", radios[0].line, "--satel_power asked 500, read 1000",
         "--satel --satel_freq 438125000 --satel_spacing 12500 --satel_power 1000"},
        // VLTR is air rate 8 with FEC 0; factory setting 2 leaves FEC 1.
        {"l400", "S158", radios[1].line, "--l400_mode asked VLTR, read not-settable:S103=8,S158=1",
         "--l400 --l400_freq 450125000 --l400_power 2000 --l400_mode not-settable:S103=8,S158=1"},
        // The factory network address is no channel's.
        {"920a", "S104", radios[2].line, "--920a_channel asked 5, read not-settable:S104=1234",
         "--920a --920a_channel not-settable:S104=1234 --920a_address 10 --920a_mode FAST"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const auto radio = startRadio(c.type, c.kept);
        Args write = words(c.line);
        write.push_back("--verify");
        const auto w = radiocfg(*radio, write);
        EXPECT_EQ(w.exitStatus, 1);
        EXPECT_EQ(w.out, std::string("Read back differs: ") + c.difference + "\n");

        const auto q = radiocfg(*radio, {"--query"});
        EXPECT_EQ(q.exitStatus, 0);
        EXPECT_EQ(q.out, std::string(c.query) + "\n");
    }
}

// No radio, or one that misbehaves: one line (or one JSON object), status 1.
TEST(ReadBackFaultTest, QueryFailsOnOneLine) {
    RadioSim::Faults silent;
    silent.silent = true;
    const auto nothing = startRadio("satel", "", silent);
    const auto q = radiocfg(*nothing, {"--query"}, false); // the patient default
    EXPECT_EQ(q.exitStatus, 1);
    EXPECT_EQ(q.out, "Radio Type: not detected at 9600 baud (-b auto tries every rate)\n");

    const auto j = radiocfg(*nothing, {"--query", "--json"});
    EXPECT_EQ(j.exitStatus, 1);
    EXPECT_EQ(nlohmann::json::parse(j.out), nlohmann::json::parse(R"j({"command":"query","radio":"not detected",
                                                                       "error":"Radio Type: not detected at 9600 baud (-b auto tries every rate)"})j"));

    // --detect --json: the result alone, without the progress lines.
    const auto d = radiocfg(*nothing, {"--detect", "--json"});
    EXPECT_EQ(d.exitStatus, 0);
    EXPECT_EQ(nlohmann::json::parse(d.out), nlohmann::json::parse(R"({"command":"detect","radio":"not detected"})"));

    // Detection takes ATA, +++, ATE0, ATI1, ATA; the driver ATA, +++, ATE0,
    // then reads S104, which is answered "ERROR".
    RadioSim::Faults error;
    error.errorAt = 9;
    const auto misbehaving = startRadio("920a", "", error);
    const auto m = radiocfg(*misbehaving, {"--query"});
    EXPECT_EQ(m.exitStatus, 1);
    EXPECT_EQ(m.out, "Command error: ATS104?\\r\\n\n");
    EXPECT_EQ(misbehaving->received().at(8), "ATS104?");
}
