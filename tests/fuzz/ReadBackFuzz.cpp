// Fuzz target: what radiocfg makes of the values it reads from a radio, for
// --query and --verify, and how it prints them as JSON.
//
// Input: byte 0 picks the radio and the command (FuzzCheck::pick: Satel,
// L400, 920A with --query, then the same with --verify); the rest are the
// values read, 32 bits each, little-endian (missing bytes are 0), in the
// order of the driver's read:
//   Satel  transmit frequency, receive frequency, spacing, power
//   L400   S131 and S132 frequencies, S108, S103, S158, then the registers
//          the write always sets (MicrohardL400Fixed::registers)
//   920A   S104, S105, S103, S112, S113, S158, then its fixed registers
//
// Invariants besides "no crash, no sanitizer report":
// With --query:
// - the settings are the command's options, in order, then the values no
//   option names;
// - an option's value is marked not-settable: or taken by the command line:
//   the option parser's number check passes, a mode is one of the command's
//   keywords, and the driver takes the line (marked values replaced by
//   settable ones) as far as its first byte on the wire;
// - the line prints as valid JSON whose "settings" are its values in order;
//   every value there that no option names is marked.
// With --verify of a line the command takes:
// - the JSON "read" is every value read, in order, and each difference's
//   "read" is the value under its name there.

#include "common/DeviceCommInterface.h"
#include "common/Exception.h"
#include "common/TimerInterface.h"
#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardFixedRegisters.h"
#include "radio/microhard/MicrohardL400Radio.h"
#include "radio/satel/SatelRadio.h"
#include "radiocfg/MicrohardModeKeywords.h"
#include "radiocfg/NumericOptions.h"
#include "radiocfg/Outcome.h"
#include "radiocfg/ReadSettings.h"
#include "tests/fuzz/FuzzCheck.h"

#include <iterator>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

using namespace Veltrio::Radio;

namespace {

class Words {
public:
    Words(const uint8_t* data, std::size_t size) : data(data), size(size) {}
    uint32_t next()
    {
        uint32_t value = 0;
        for (int k = 0; k < 4 && size > 0; ++k, ++data, --size) value |= static_cast<uint32_t>(*data) << (8 * k);
        return value;
    }
    int nextInt() { return static_cast<int>(next()); }

private:
    const uint8_t* data;
    std::size_t size;
};

class Clock : public Veltrio::Common::Timer {
public:
    void reset() override {}
    unsigned int elapsed() override { return 0; }
    void sleep(unsigned int) override {}
};

// A write that got past the driver's checks.
struct OnTheWire {};

class Wire : public Veltrio::Common::DeviceCommInterface {
public:
    void dataIn() override {}
    void dataOut(const char*, unsigned int) override { throw OnTheWire(); }
    using DeviceCommInterface::dataOut;
};

template <class Save>
bool driverTakes(Save save)
{
    try {
        save();
    } catch (const OnTheWire&) {
        return true;
    } catch (const Veltrio::Common::Exception&) {
    }
    return false;
}

bool marked(const std::string& value) { return value.rfind(notSettable, 0) == 0; }

// The settings' option values, each replaced by the one of `settable` where
// it is marked.
Settings settableLine(const Settings& read, const Settings& settable)
{
    Settings line;
    for (std::size_t k = 0; k < settable.size(); ++k)
        line.push_back(marked(read[k].value) ? settable[k] : read[k]);
    return line;
}

unsigned int number(const Setting& s) { return static_cast<unsigned int>(std::stoul(s.value)); }

struct Radios {
    Clock clock;
    Wire wire;
    SatelRadio satel{&clock, 2000, &wire, nullptr};
    MicrohardL400Radio l400{&clock, 2000, &wire, nullptr};
    Microhard920ARadio mh920a{&clock, 2000, &wire, nullptr};
};

Radios& radios()
{
    static Radios once;
    return once;
}

struct Read {
    const char* command;
    RADIO_TYPE type;
    Settings settings;
    Settings settable; // a line the command takes
    Settings (*alongside)(const Settings& options);
    bool (*takes)(const Settings& line);
};

Read satel(Words& in)
{
    const uint32_t frequency = in.next(), rx = in.next(), spacing = in.next(), power = in.next();
    return {"satel", RADIO_TYPE_SATEL, satelSettings(frequency, rx, spacing, power),
            {{"satel_freq", "438125000"}, {"satel_spacing", "12500"}, {"satel_power", "500"}},
            [](const Settings& options) { return writtenAlongside(radios().satel, options); },
            [](const Settings& line) {
                return driverTakes(
                    [&] { radios().satel.saveConfig(number(line[0]), number(line[1]), number(line[2])); });
            }};
}

Read l400(Words& in)
{
    MicrohardL400Registers registers;
    registers.frequency = in.next();
    registers.rxFrequency = in.next();
    registers.outputPower = in.nextInt();
    registers.wirelessRateCode = in.nextInt();
    registers.fecMode = in.nextInt();
    for (const MicrohardFixedRegister& fixed : MicrohardL400Fixed::registers)
        registers.fixed[fixed.number] = in.nextInt();
    return {"l400", RADIO_TYPE_MICROHARD_L400, settingsOf(registers),
            {{"l400_freq", "450125000"}, {"l400_power", "2000"}, {"l400_mode", "VLTR"}},
            [](const Settings& options) { return writtenAlongside(radios().l400, options); },
            [](const Settings& line) {
                MICROHARD_L400_MODE mode{};
                return findMode(l400Modes, line[2].value, mode) &&
                       driverTakes([&] { radios().l400.saveConfig(number(line[0]), number(line[1]), mode); });
            }};
}

Read mh920a(Words& in)
{
    Microhard920ARegisters registers;
    registers.networkAddress = in.next();
    registers.unitAddress = in.next();
    registers.wirelessRateCode = in.nextInt();
    registers.maxPacketSize = in.next();
    registers.retransmissions = in.next();
    registers.fecMode = in.nextInt();
    for (const MicrohardFixedRegister& fixed : Microhard920AFixed::registers)
        registers.fixed[fixed.number] = in.nextInt();
    return {"920a", RADIO_TYPE_MICROHARD_920A, settingsOf(registers),
            {{"920a_channel", "5"}, {"920a_address", "10"}, {"920a_mode", "FAST"}},
            [](const Settings& options) { return writtenAlongside(radios().mh920a, options); },
            [](const Settings& line) {
                MICROHARD_920A_MODE mode{};
                return findMode(mh920aModes, line[2].value, mode) &&
                       driverTakes([&] { radios().mh920a.saveConfig(number(line[0]), mode, number(line[1])); });
            }};
}

Read (*const kinds[])(Words&) = {satel, l400, mh920a};

// The value as the JSON printer gave it, back as text.
std::string text(const nlohmann::ordered_json& value)
{
    FUZZ_CHECK(value.is_string() || value.is_number_unsigned());
    return value.is_string() ? value.get<std::string>() : value.dump();
}

nlohmann::ordered_json printed(const Outcome& outcome)
{
    std::ostringstream out;
    printJson(outcome, out);
    const auto json = nlohmann::ordered_json::parse(out.str(), nullptr, false);
    FUZZ_CHECK(!json.is_discarded() && json.is_object());
    return json;
}

void checkObject(const nlohmann::ordered_json& object, const Settings& settings)
{
    FUZZ_CHECK(object.is_object() && object.size() == settings.size());
    auto s = settings.begin();
    for (const auto& [name, value] : object.items()) {
        FUZZ_CHECK(name == s->option && text(value) == s->value);
        ++s;
    }
}

// What --query prints: the options, in order, each settable or marked, the
// whole line taken; then the values no option names, marked.
void query(const Read& read)
{
    const Settings& settable = read.settable;
    for (std::size_t k = 0; k < read.settings.size(); ++k) {
        const Setting& s = read.settings[k];
        FUZZ_CHECK(s.isOption == (k < settable.size()));
        if (!s.isOption) continue;
        FUZZ_CHECK(s.option == settable[k].option);
        FUZZ_CHECK(marked(s.value) || numberAccepted(s.option, s.value));
    }
    FUZZ_CHECK(read.takes(settableLine(read.settings, settable)));

    Outcome outcome;
    outcome.command = "query";
    outcome.radio = read.type;
    outcome.settings = queryLine(read.settings, read.alongside(read.settings));
    for (const Setting& s : outcome.settings) FUZZ_CHECK(s.isOption || marked(s.value));
    checkObject(printed(outcome).at("settings"), outcome.settings);
}

// --verify of a line the command takes against the values read.
void verify(const Read& read)
{
    Outcome outcome;
    outcome.command = read.command;
    outcome.radio = read.type;
    outcome.settings = read.settable;
    outcome.verify(read.settings, read.alongside(read.settable));
    const auto json = printed(outcome);
    checkObject(json.at("read"), read.settings);
    FUZZ_CHECK(outcome.differences.empty() == (outcome.failure == Failure::None));
    for (const Difference& d : outcome.differences) {
        FUZZ_CHECK(d.asked != d.read);
        FUZZ_CHECK(text(json["read"][d.option]) == d.read);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size)
{
    const FuzzCheck::Picked input = FuzzCheck::pick(2 * std::size(kinds), bytes, size);
    Words words(input.data, input.size);
    const Read read = kinds[input.index % std::size(kinds)](words);
    FUZZ_CHECK(read.settings.size() > read.settable.size());
    if (input.index < std::size(kinds))
        query(read);
    else
        verify(read);
    return 0;
}
