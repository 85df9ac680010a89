// The Microhard drivers on the real serial device against simulated L400 and
// 920A radios on pseudo-terminals. Short device deadlines keep each command
// at a fraction of a second. A simulated radio in data mode does not answer
// the start-up "\r\nATA\r\n" (as a real one need not), so every fresh driver
// pays one command timeout before its first exchange.
#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardL400Radio.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radio/RadioExceptions.h"
#include "tests/support/Thrown.h"
#include "tools/radiosim/MicrohardPersonality.h"
#include "tools/radiosim/Simulator.h"

using namespace Veltrio::Radio;
using namespace Veltrio::Common;
using RadioSim::MicrohardModel;
using RadioSim::MicrohardPersonality;

namespace {

using TestSupport::thrownText;

constexpr unsigned int ReadDeadline = 50;     // ms, one dataIn()
constexpr unsigned int CommandTimeout = 1500; // ms

// Every byte the host wrote, exactly as written, in order. The personality
// sees the simulator's input buffer grow at its end and shrink only by what
// it frames itself, so what is new since its last look is what arrived.
struct RawWire {
    mutable std::mutex mutex;
    std::string bytes;
    std::string text() const {
        std::lock_guard<std::mutex> lock(mutex);
        return bytes;
    }
};

class TappedPersonality : public RadioSim::Personality {
public:
    TappedPersonality(std::unique_ptr<RadioSim::Personality> radio, RawWire& wire)
        : inner(std::move(radio)), raw(wire) {}
    std::vector<std::string> takeCommands(std::string& input, bool idle) override {
        {
            std::lock_guard<std::mutex> lock(raw.mutex);
            raw.bytes += input.substr(kept);
        }
        auto commands = inner->takeCommands(input, idle);
        kept = input.size();
        return commands;
    }
    std::string answer(const std::string& command) override { return inner->answer(command); }
    std::string errorAnswer() const override { return inner->errorAnswer(); }
    RadioSim::State state() const override { return inner->state(); }

private:
    std::unique_ptr<RadioSim::Personality> inner;
    RawWire& raw;
    std::size_t kept = 0;
};

// A radio whose registers were set by hand (through its own command mode)
// before it is put on the line.
std::unique_ptr<MicrohardPersonality> programmedRadio(MicrohardModel model, const std::vector<std::string>& lines) {
    auto radio = std::make_unique<MicrohardPersonality>(model);
    radio->answer("+++");
    for (const auto& line : lines) radio->answer(line);
    radio->answer("ATA");
    return radio;
}

// The drivers with their engine's lists in view.
template <class Radio>
class Inspectable : public Radio {
public:
    using Radio::Radio;
    bool engineIsClear() const { return this->pendingCommands.empty() && this->processedCommands.empty(); }
};

// A simulated radio and a driver talking to it over its own pty.
template <class Radio>
struct Line {
    explicit Line(std::unique_ptr<MicrohardPersonality> personality, RadioSim::Faults faults = RadioSim::Faults())
        : radioSim(std::make_unique<TappedPersonality>(std::move(personality), wire), faults),
          device(radioSim.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, ReadDeadline),
          radio(&timer, CommandTimeout, &device, nullptr) {
        radioSim.start();
    }
    std::string written() const { return wire.text(); }
    std::vector<std::string> received() const { return radioSim.received(); }
    std::string setting(const std::string& name) const { return radioSim.stateValue(name); }

    RawWire wire;
    RadioSim::Simulator radioSim;
    Veltrio::Devices::AsioSerialDevice device;
    ::Timer timer;
    Inspectable<Radio> radio;
};
using L400Line = Line<MicrohardL400Radio>;
using MH920ALine = Line<Microhard920ARadio>;

std::unique_ptr<MicrohardPersonality> l400() { return std::make_unique<MicrohardPersonality>(MicrohardModel::L400); }
std::unique_ptr<MicrohardPersonality> mh920a() {
    return std::make_unique<MicrohardPersonality>(MicrohardModel::MHX920A);
}

// What every exchange puts around its commands, and what a fresh driver sends
// once before its first exchange.
const std::string startUp = "\r\nATA\r\n";
std::string exchange(const std::string& commands) { return "+++ATE0\r\n" + commands + "ATE1\r\n\r\nATA\r\n"; }

} // namespace

// ---- L400 ----

TEST(MicrohardL400RadioTest, SaveConfigWritesTheWholeSequenceAndGetConfigReadsItBack) {
    L400Line line(l400());
    line.radio.saveConfig(450125000, 2000, MICROHARD_L400_MODE_VLTR);
    const std::string save = startUp + exchange("AT&F2\r\nATS101=2\r\nATS102=1\r\nATS110=1\r\nATS103=8\r\n"
                                                "ATS158=0\r\nATS112=1580\r\nATS116=100\r\n"
                                                "ATP0=\rkest%al\r42\r450125000\r1\r2\r\x1b"
                                                "ATS131=42\r\nATS132=42\r\nATS108=33\r\nATS125=1\r\nAT&W\r\n");
    EXPECT_EQ(line.written(), save);
    EXPECT_TRUE(line.radio.engineIsClear());
    EXPECT_TRUE(line.radio.isInitialised());
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"mode", "data"}, {"echo", "on"}, {"factory_set", "2"}, {"saves", "1"}, {"unsaved_changes", "no"},
             {"S101", "2"}, {"S102", "1"}, {"S110", "1"}, {"S103", "8"}, {"S158", "0"}, {"S112", "1580"},
             {"S116", "100"}, {"S131", "42"}, {"S132", "42"}, {"S108", "33"}, {"S125", "1"},
             {"table_42", "450125000,1,2"}})
        EXPECT_EQ(line.setting(name), value) << name;

    unsigned int frequency = 0, power = 0;
    MICROHARD_L400_MODE mode = MICROHARD_L400_MODE_PC1;
    line.radio.getConfig(frequency, power, mode);
    EXPECT_EQ(frequency, 450125000u);
    EXPECT_EQ(power, 2000u);
    EXPECT_EQ(mode, MICROHARD_L400_MODE_VLTR);
    // The start-up exchange is not repeated.
    EXPECT_EQ(line.written(), save + exchange("ATS103?\r\nATS158?\r\nATS108?\r\nATS131?\r\n"));
    EXPECT_TRUE(line.radio.engineIsClear());
}

// Each mode is written as its own pair of air rate and FEC mode, and read
// back as the same mode; the power goes through the table.
struct L400ModeCase {
    MICROHARD_L400_MODE mode;
    unsigned int power;
    const char* s103;
    const char* s158;
    const char* s108;
    unsigned int powerReadBack;
};
class MicrohardL400ModeTest : public testing::TestWithParam<L400ModeCase> {};

TEST_P(MicrohardL400ModeTest, EachModeIsWrittenAndReadBack) {
    const L400ModeCase& c = GetParam();
    L400Line line(l400());
    line.radio.saveConfig(473000000, c.power, c.mode);
    const std::string written = line.written();
    EXPECT_NE(written.find(std::string("ATS103=") + c.s103 + "\r\nATS158=" + c.s158 + "\r\n"), std::string::npos)
        << written;
    EXPECT_NE(written.find(std::string("ATS108=") + c.s108 + "\r\n"), std::string::npos) << written;
    EXPECT_EQ(line.setting("S103"), c.s103);
    EXPECT_EQ(line.setting("S158"), c.s158);
    EXPECT_EQ(line.setting("S108"), c.s108);

    unsigned int frequency = 0, power = 0;
    MICROHARD_L400_MODE mode = c.mode == MICROHARD_L400_MODE_PC1 ? MICROHARD_L400_MODE_VLTR : MICROHARD_L400_MODE_PC1;
    line.radio.getConfig(frequency, power, mode);
    EXPECT_EQ(mode, c.mode);
    EXPECT_EQ(frequency, 473000000u);
    EXPECT_EQ(power, c.powerReadBack);
}

INSTANTIATE_TEST_SUITE_P(Modes, MicrohardL400ModeTest,
                         testing::Values(L400ModeCase{MICROHARD_L400_MODE_PC1, 1000, "5", "1", "30", 1000},
                                         L400ModeCase{MICROHARD_L400_MODE_PC2, 100, "6", "1", "20", 100},
                                         L400ModeCase{MICROHARD_L400_MODE_PC3, 5000, "5", "0", "37", 5000},
                                         L400ModeCase{MICROHARD_L400_MODE_PC4, 630, "6", "0", "28", 630},
                                         L400ModeCase{MICROHARD_L400_MODE_VLTR, 3000, "8", "0", "35", 3000}));

TEST(MicrohardL400RadioTest, GetConfigOfAHandSetRadio) {
    // Air rate 9600, FEC 1, 26 dBm, entry 42 at 450.1250 MHz.
    L400Line line(programmedRadio(MicrohardModel::L400,
                                  {"ATS103=5", "ATS158=1", "ATS108=26", "ATP0=", "kest%al", "42", "450125000", "1",
                                   "2", "\x1b", "ATS131=42"}));
    unsigned int frequency = 0, power = 0;
    MICROHARD_L400_MODE mode = MICROHARD_L400_MODE_VLTR;
    line.radio.getConfig(frequency, power, mode);
    EXPECT_EQ(mode, MICROHARD_L400_MODE_PC1);
    EXPECT_EQ(power, 400u);
    EXPECT_EQ(frequency, 450125000u);
}

TEST(MicrohardL400RadioTest, GetConfigOfAPairThatIsNoModeKeepsTheMode) {
    // 16000 bit/s with FEC 1 is none of the five modes.
    L400Line line(programmedRadio(MicrohardModel::L400, {"ATS103=8", "ATS158=1"}));
    unsigned int frequency = 0, power = 0;
    MICROHARD_L400_MODE mode = MICROHARD_L400_MODE_PC3;
    line.radio.getConfig(frequency, power, mode);
    EXPECT_EQ(mode, MICROHARD_L400_MODE_PC3);
    EXPECT_EQ(power, 1000u);
    EXPECT_EQ(frequency, 450000000u); // the factory table entry 0
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(MicrohardL400RadioTest, RejectedValuesWriteNothingAndLeaveNothingQueued) {
    L400Line line(l400());
    auto& radio = line.radio;
    const std::vector<std::pair<std::function<void()>, std::string>> rejected = {
        {[&] { radio.saveConfig(406099999, 1000, MICROHARD_L400_MODE_PC1); }, "Invalid frequency: 406099999"},
        {[&] { radio.saveConfig(473012500, 1000, MICROHARD_L400_MODE_PC1); }, "Invalid frequency: 473012500"},
        {[&] { radio.saveConfig(450006250, 1000, MICROHARD_L400_MODE_PC1); }, "Invalid frequency: 450006250"},
        // A mode outside the enumeration is refused before anything is sent.
        {[&] { radio.saveConfig(450125000, 1000, static_cast<MICROHARD_L400_MODE>(5)); }, "Invalid address: 5"},
        {[&] { radio.saveConfig(450125000, 1000, static_cast<MICROHARD_L400_MODE>(-1)); }, "Invalid address: -1"},
        {[&] { radio.validateOutputPower(4000); }, "Invalid power: 4000"},
        // Not in the power table: refused, not programmed as some other power.
        {[&] { radio.saveConfig(450125000, 150, MICROHARD_L400_MODE_PC1); }, "Invalid power: 150"},
        {[&] { radio.setHopInterval(static_cast<MICROHARD_HOP_INTERVAL>(20)); }, "Invalid Hop Interval"},
        {[&] { radio.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(31)); },
         "Invalid power: MicrohardSetOutputPowerCommand"},
        {[&] { radio.setUnitAddress(65535); }, "Invalid Unit Address"},
    };
    for (const auto& [call, text] : rejected) {
        EXPECT_EQ(thrownText<Exception>(call), text);
        EXPECT_TRUE(radio.engineIsClear()) << text;
    }
    EXPECT_NO_THROW(radio.validateFrequency(406100000));
    EXPECT_NO_THROW(radio.validateFrequency(473000000));
    EXPECT_NO_THROW(radio.validateOutputPower(5000));
    EXPECT_FALSE(radio.isInitialised());

    // The next operation writes the start-up exchange and its own commands,
    // nothing left over from the refused ones. Its power is dBm; 33 dBm is
    // 2000 mW, which the L400 takes.
    radio.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(33));
    EXPECT_EQ(line.written(), startUp + exchange("ATS108=33\r\n"));
    EXPECT_EQ(line.setting("S108"), "33");
}

TEST(MicrohardL400RadioTest, AnErrorAnswerStopsTheSequence) {
    // Commands count from 1: ATA, +++, ATE0, AT&F2, ATS101=2, ATS102=1, ...
    RadioSim::Faults faults;
    faults.errorAt = 6;
    L400Line line(l400(), faults);
    EXPECT_EQ(thrownText<CommandException>([&] { line.radio.saveConfig(450125000, 1000, MICROHARD_L400_MODE_PC1); }),
              "Command error: ATS102=1\r\n");
    EXPECT_TRUE(line.radio.engineIsClear());
    EXPECT_EQ(line.received(), (std::vector<std::string>{"ATA", "+++", "ATE0", "AT&F2", "ATS101=2", "ATS102=1"}));
    // Left in command mode with echo off; the next exchange starts afresh.
    EXPECT_EQ(line.setting("mode"), "command");
    unsigned int frequency = 0, power = 0;
    MICROHARD_L400_MODE mode = MICROHARD_L400_MODE_VLTR;
    line.radio.getConfig(frequency, power, mode);
    EXPECT_EQ(mode, MICROHARD_L400_MODE_PC1); // factory set 2: 9600 bit/s, FEC 1
    const std::vector<std::string> all = line.received();
    EXPECT_EQ(std::vector<std::string>(all.begin() + 6, all.end()),
              (std::vector<std::string>{"+++", "ATE0", "ATS103?", "ATS158?", "ATS108?", "ATS131?", "ATE1", "ATA"}));
}

// ---- 920A ----

TEST(Microhard920ARadioTest, SaveConfigWritesTheWholeSequence) {
    MH920ALine line(mh920a());
    line.radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 10);
    EXPECT_EQ(line.written(), startUp + exchange("AT&F5\r\nATS102=1\r\nATS101=2\r\nATS108=30\r\nATS110=1\r\n"
                                                 "ATS118=65535\r\nATS140=1\r\nATS104=106\r\nATS103=1\r\n"
                                                 "ATS112=25\r\nATS113=5\r\nATS158=0\r\nATS105=10\r\nAT&W\r\n"));
    EXPECT_TRUE(line.radio.engineIsClear());
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"mode", "data"}, {"echo", "on"}, {"factory_set", "5"}, {"saves", "1"}, {"unsaved_changes", "no"},
             {"S104", "106"}, {"S103", "1"}, {"S112", "25"}, {"S113", "5"}, {"S158", "0"}, {"S105", "10"},
             {"S118", "65535"}, {"S140", "1"}})
        EXPECT_EQ(line.setting(name), value) << name;
}

// Channel 99 is the last network address, 200; channel 0 the first, 101.
struct MH920AModeCase {
    MICROHARD_920A_MODE mode;
    unsigned int channel;
    const char* networkAddress;
    unsigned int channelReadBack;
    const char* s103;
    const char* s112;
    const char* s113;
    const char* s158;
};
class Microhard920AModeTest : public testing::TestWithParam<MH920AModeCase> {};

TEST_P(Microhard920AModeTest, EachModeAndChannelIsWrittenAndReadBack) {
    const MH920AModeCase& c = GetParam();
    MH920ALine line(mh920a());
    line.radio.saveConfig(c.channel, c.mode, 65534);
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"S104", c.networkAddress}, {"S103", c.s103}, {"S112", c.s112}, {"S113", c.s113}, {"S158", c.s158},
             {"S105", "65534"}})
        EXPECT_EQ(line.setting(name), value) << name;

    unsigned int channel = 12345;
    MICROHARD_920A_MODE mode = c.mode == MICROHARD_920A_MODE_SLOW ? MICROHARD_920A_MODE_FAST : MICROHARD_920A_MODE_SLOW;
    line.radio.getConfig(channel, mode);
    EXPECT_EQ(channel, c.channelReadBack);
    EXPECT_EQ(mode, c.mode);
}

INSTANTIATE_TEST_SUITE_P(Modes, Microhard920AModeTest,
                         testing::Values(MH920AModeCase{MICROHARD_920A_MODE_SLOW, 99, "200", 99, "0", "30", "0", "7"},
                                         MH920AModeCase{MICROHARD_920A_MODE_SLOW2, 49, "150", 49, "0", "35", "2", "0"},
                                         MH920AModeCase{MICROHARD_920A_MODE_FAST, 0, "101", 0, "1", "25", "5", "0"}));

TEST(Microhard920ARadioTest, GetConfigMapsAddressesAndPairs) {
    MH920ALine line(programmedRadio(MicrohardModel::MHX920A, {"ATS104=150", "ATS103=0", "ATS112=35"}));
    auto& radio = line.radio;
    unsigned int channel = 0;
    MICROHARD_920A_MODE mode = MICROHARD_920A_MODE_FAST;
    radio.getConfig(channel, mode);
    EXPECT_EQ(channel, 49u);
    EXPECT_EQ(mode, MICROHARD_920A_MODE_SLOW2);

    // Addresses below 101 and above 200 read as channel 0; a pair that is no
    // mode leaves the mode alone.
    radio.setNetworkAddress(100);
    radio.setMaxPacketSize(40);
    channel = 7;
    radio.getConfig(channel, mode);
    EXPECT_EQ(channel, 0u);
    EXPECT_EQ(mode, MICROHARD_920A_MODE_SLOW2);
    radio.setNetworkAddress(201);
    channel = 7;
    radio.getConfig(channel, mode);
    EXPECT_EQ(channel, 0u);
    EXPECT_TRUE(radio.engineIsClear());
}

TEST(Microhard920ARadioTest, RejectedValuesWriteNothingAndLeaveNothingQueued) {
    MH920ALine line(mh920a());
    auto& radio = line.radio;
    const std::vector<std::pair<std::function<void()>, std::string>> rejected = {
        // Refused, not cut to 16 bits (65538 would be 2).
        {[&] { radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 1); }, "Invalid Unit Address"},
        {[&] { radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 0); }, "Invalid Unit Address"},
        {[&] { radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 65535); }, "Invalid Unit Address"},
        {[&] { radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 65538); }, "Invalid Unit Address"},
        {[&] { radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 4294901770u); }, "Invalid Unit Address"},
        {[&] { radio.setUnitAddress(65538); }, "Invalid Unit Address"},
        // Refused, not programmed as channel 0.
        {[&] { radio.saveConfig(100, MICROHARD_920A_MODE_FAST, 10); }, "Invalid Network Address"},
        {[&] { radio.saveConfig(4294967295u, MICROHARD_920A_MODE_FAST, 10); }, "Invalid Network Address"},
        {[&] { radio.saveConfig(5, static_cast<MICROHARD_920A_MODE>(3), 10); }, "Invalid address: 3"},
        {[&] { radio.saveConfig(5, static_cast<MICROHARD_920A_MODE>(1000), 10); }, "Invalid address: 1000"},
        {[&] { radio.validateOutputPower(2000); }, "Invalid power: 2000"},
        // 33 dBm is 2000 mW, more than the 920A gives.
        {[&] { radio.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(33)); }, "Invalid power: 2000"},
        {[&] { radio.setStaticMask(std::string(17, 'F')); }, "Invalid Static Mask"},
    };
    for (const auto& [call, text] : rejected) {
        EXPECT_EQ(thrownText<Exception>(call), text);
        EXPECT_TRUE(radio.engineIsClear()) << text;
    }
    EXPECT_NO_THROW(radio.validateOutputPower(1000));
    EXPECT_NO_THROW(radio.validateOutputPower(100));

    // 30 dBm is 1000 mW: accepted.
    radio.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(30));
    radio.setUnitAddress(65534);
    EXPECT_EQ(line.written(), startUp + exchange("ATS108=30\r\n") + exchange("ATS105=65534\r\n"));
}

TEST(Microhard920ARadioTest, AnErrorAnswerInTheMiddleStopsTheSequence) {
    // ATA, +++, ATE0, AT&F5, ATS102=1, ATS101=2, ATS108=30, ATS110=1,
    // ATS118=65535, ATS140=1, ATS104=106 (the 11th) ...
    RadioSim::Faults faults;
    faults.errorAt = 11;
    MH920ALine line(mh920a(), faults);
    EXPECT_EQ(thrownText<CommandException>([&] { line.radio.saveConfig(5, MICROHARD_920A_MODE_FAST, 10); }),
              "Command error: ATS104=106\r\n");
    EXPECT_TRUE(line.radio.engineIsClear());
    const std::vector<std::string> received = line.received();
    ASSERT_EQ(received.size(), 11u);
    EXPECT_EQ(received.back(), "ATS104=106");
    EXPECT_EQ(line.setting("saves"), "0");
}

TEST(Microhard920ARadioTest, TwoReadsOnAFreshDriverSendTheStartUpExchangeOnce) {
    MH920ALine line(programmedRadio(MicrohardModel::MHX920A, {"ATS104=4000000000"}));
    EXPECT_FALSE(line.radio.isInitialised());
    unsigned int address = 0;
    line.radio.getNetworkAddress(address);
    EXPECT_EQ(address, 4000000000u);
    EXPECT_TRUE(line.radio.isInitialised());
    std::string code;
    line.radio.getProductCode(code);
    EXPECT_EQ(code, "MHX920A");
    EXPECT_EQ(line.written(), startUp + exchange("ATS104?\r\n") + exchange("ATI1\r\n"));
    EXPECT_EQ(line.setting("mode"), "data");
    EXPECT_EQ(line.setting("echo"), "on");
}

TEST(MicrohardL400RadioTest, GetConfigOfARadioWithoutL400RegistersIsACommandError) {
    // A 920A has no S131: it answers that read "ERROR", a refusal like any other.
    L400Line line(mh920a());
    unsigned int frequency = 1, power = 2;
    MICROHARD_L400_MODE mode = MICROHARD_L400_MODE_PC4;
    EXPECT_EQ(thrownText<CommandException>([&] { line.radio.getConfig(frequency, power, mode); }),
              "Command error: ATS131?\r\n");
    EXPECT_EQ(mode, MICROHARD_L400_MODE_PC4);
    EXPECT_EQ(frequency, 1u);
    EXPECT_EQ(power, 2u);
    EXPECT_TRUE(line.radio.engineIsClear());
}
