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
// setting of its state), if any, and starts with the setting `preset` at the
// value `presetValue`, if any.
std::unique_ptr<Simulator> startRadio(const std::string& type, const std::string& kept = std::string(),
                                      RadioSim::Faults faults = RadioSim::Faults(), const char* preset = nullptr,
                                      const char* presetValue = nullptr) {
    auto personality = RadioSim::makePersonality(type);
    if (!kept.empty()) {
        EXPECT_TRUE(personality->keepOldValue(kept)) << kept;
    }
    if (preset != nullptr) {
        EXPECT_TRUE(personality->preset(preset, presetValue)) << preset;
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
    const char* label;
    const char* type; // radiosim's
    const char* name; // as radiocfg names it
    const char* line; // the command that programs it
    const char* baud; // of the port, for every run
    // A radio that starts with this setting at this value, and what --query
    // prints of it before the write.
    const char* preset = nullptr;
    const char* presetValue = nullptr;
    const char* before = nullptr;
};

constexpr const char* satelLine = "--satel --satel_freq 438125000 --satel_spacing 12500 --satel_power 500";
constexpr const char* l400Line = "--l400 --l400_freq 450125000 --l400_power 2000 --l400_mode VLTR";
constexpr const char* mh920aLine = "--920a --920a_channel 5 --920a_address 10 --920a_mode FAST";

const RadioCase radios[] = {
    {"satel", "satel", "Satel", satelLine, "9600"},
    {"l400", "l400", "Microhard L400", l400Line, "38400"},
    {"920a", "920a", "Microhard 920A", mh920aLine, "115200"},
    // Every value the write sets, also where no option names it: the receive
    // frequency, and the registers it always sets the same way (a factory
    // L400 holds other values in five of them).
    {"satel_rx_apart", "satel", "Satel", satelLine, "9600", "rx_frequency", "438200000",
     "--satel --satel_freq 438000000 --satel_spacing 25000 --satel_power 1000 not-settable:RX=438200000"},
    {"l400_other_s132", "l400", "Microhard L400", l400Line, "38400", "S132", "5",
     "--l400 --l400_freq 450000000 --l400_power 1000 --l400_mode PC1 not-settable:RX=0 not-settable:S102=7 "
     "not-settable:S112=256 not-settable:S116=5 not-settable:S131=0 not-settable:S132=5"},
    {"920a_other_power", "920a", "Microhard 920A", mh920aLine, "115200", "S108", "25",
     "--920a --920a_channel not-settable:S104=1234 --920a_address 2 --920a_mode not-settable:S103=0,S112=256,S113=3,"
     "S158=0 not-settable:S102=7 not-settable:S108=25"},
    // A unit address no write may set (the command refuses 0, 1 and 65535).
    {"920a_address_1", "920a", "Microhard 920A", mh920aLine, "115200", "S105", "1",
     "--920a --920a_channel not-settable:S104=1234 --920a_address not-settable:1 --920a_mode "
     "not-settable:S103=0,S112=256,S113=3,S158=0 not-settable:S102=7"},
};

void PrintTo(const RadioCase& c, std::ostream* out) { *out << c.label; }

class ReadBackTest : public testing::TestWithParam<RadioCase> {};

} // namespace

TEST_P(ReadBackTest, QueryGivesBackTheWrittenLineAndThatLineProgramsTheSame) {
    const RadioCase& c = GetParam();
    const auto run = [&c](const Simulator& radio, Args args) {
        args.insert(args.end(), {"-b", c.baud});
        return radiocfg(radio, args);
    };
    const auto written = startRadio(c.type, "", RadioSim::Faults(), c.preset, c.presetValue);
    if (c.before != nullptr) {
        const auto b = run(*written, {"--query"});
        EXPECT_EQ(b.exitStatus, 0);
        EXPECT_EQ(b.out, std::string(c.before) + "\n");
    }
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

    const auto fresh = startRadio(c.type, "", RadioSim::Faults(), c.preset, c.presetValue);
    const auto again = run(*fresh, words(q.out));
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_EQ(fresh->state(), written->state());
}

INSTANTIATE_TEST_SUITE_P(Radios, ReadBackTest, testing::ValuesIn(radios),
                         [](const testing::TestParamInfo<RadioCase>& info) {
                             return std::string("_") + info.param.label;
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
        {"satel", "power", satelLine, "--satel_power asked 500, read 1000",
         "--satel --satel_freq 438125000 --satel_spacing 12500 --satel_power 1000"},
        // VLTR is air rate 8 with FEC 0; factory setting 2 leaves FEC 1.
        {"l400", "S158", l400Line, "--l400_mode asked VLTR, read not-settable:S103=8,S158=1",
         "--l400 --l400_freq 450125000 --l400_power 2000 --l400_mode not-settable:S103=8,S158=1"},
        // The receive entry stays at factory entry 0, 450 MHz.
        {"l400", "S132", l400Line,
         "RX asked 450125000, read 450000000\nRead back differs: S132 asked 42, read 0",
         "--l400 --l400_freq 450125000 --l400_power 2000 --l400_mode VLTR not-settable:RX=450000000 "
         "not-settable:S132=0"},
        // The factory network address is no channel's.
        {"920a", "S104", mh920aLine, "--920a_channel asked 5, read not-settable:S104=1234",
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
        // The JSON "read" holds what the radio holds, not what was asked.
        write.push_back("--json");
        const auto json = nlohmann::json::parse(radiocfg(*radio, write).out);
        for (const auto& d : json.at("differences")) EXPECT_EQ(json["read"][d["option"].get<std::string>()], d["read"]);

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
