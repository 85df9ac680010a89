// The l400 and 920a commands: three values from the command line, one of them
// a mode keyword, written into the radio with one saveConfig of its driver.
// Nothing is printed on success; a failure prints one line and returns 1.
// With --verify every register the write sets is read back in a second
// exchange.
#include <sstream>
#include <string>

#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardFixedRegisters.h"
#include "radio/microhard/MicrohardL400Radio.h"
#include "radiocfg/Flows.h"
#include "radiocfg/MicrohardModeKeywords.h"
#include "radiocfg/ReadSettings.h"

namespace po = boost::program_options;
using namespace Veltrio::Common;
using namespace Veltrio::Radio;

namespace {

// A value no option of the command can express: the registers as read.
std::string asRead(const std::string& registers) { return notSettable + registers; }

std::string registerName(int number) { return "S" + std::to_string(number); }

// The fixed registers as read, in the order of their table.
template <std::size_t N>
void appendFixed(Settings& settings, const MicrohardFixedRegister (&table)[N], const std::map<int, int>& read) {
    for (const MicrohardFixedRegister& fixed : table)
        settings.push_back({registerName(fixed.number), std::to_string(read.at(fixed.number)), false});
}

// The same registers as the write sets them.
template <std::size_t N>
void appendFixed(Settings& settings, const MicrohardFixedRegister (&table)[N]) {
    for (const MicrohardFixedRegister& fixed : table)
        settings.push_back({registerName(fixed.number), std::to_string(fixed.value), false});
}

// The skeleton both commands share. `configure(first, second, mode, outcome)`
// writes the values with the command's driver (writeSettings, which also
// reads them back with --verify).
template <class Mode, std::size_t N, class Configure>
int microhardFlow(RADIO_TYPE radio, po::variables_map& options, po::options_description& group,
                  const char* firstOption, const char* secondOption, const char* modeOption,
                  const ModeKeyword<Mode> (&modes)[N], Configure configure) {
    Outcome outcome;
    outcome.command = radio == RADIO_TYPE_MICROHARD_L400 ? "l400" : "920a";
    try {
        if (!options.count(firstOption) || !options.count(secondOption) || !options.count(modeOption)) {
            std::ostringstream listing;
            listing << group;
            outcome.fail("Missing param", listing.str());
        } else {
            const unsigned int first = options[firstOption].as<unsigned int>();
            const unsigned int second = options[secondOption].as<unsigned int>();
            const std::string modeText = options[modeOption].as<std::string>();
            outcome.settings = {{firstOption, std::to_string(first)},
                                {secondOption, std::to_string(second)},
                                {modeOption, modeText}};
            Mode mode{};
            if (findMode(modes, modeText, mode)) {
                configure(first, second, mode, outcome);
                outcome.radio = radio; // it took the configuration
            } else {
                outcome.failure = Failure::MessageWithoutLineEnd;
                outcome.error = "Invalid mode: " + modeText;
            }
        }
    } catch (const std::exception& e) {
        outcome.fail(e.what());
    }
    return report(outcome, options.count("json") > 0);
}

} // namespace

Settings readSettings(MicrohardL400Radio& radio) {
    MicrohardL400Registers registers;
    radio.readRegisters(registers);
    return settingsOf(registers);
}

Settings settingsOf(const MicrohardL400Registers& registers) {
    Settings settings;
    std::string frequency = std::to_string(registers.frequency);
    if (!accepts([&] { MicrohardL400Radio::validateFrequency(registers.frequency); })) frequency = asRead(frequency);
    settings.push_back({"l400_freq", frequency});

    unsigned int milliwatts = 0;
    const bool tabled = registers.outputPower >= 0 &&
                        MicrohardRadio::powerToMilliwatts(static_cast<unsigned int>(registers.outputPower), milliwatts);
    settings.push_back({"l400_power", tabled ? std::to_string(milliwatts)
                                             : asRead("S108=" + std::to_string(registers.outputPower))});

    MICROHARD_L400_MODE mode{};
    settings.push_back({"l400_mode", MicrohardL400Radio::modeOf(registers, mode)
                                         ? std::string(keywordOf(l400Modes, mode))
                                         : asRead("S103=" + std::to_string(registers.wirelessRateCode) +
                                                  ",S158=" + std::to_string(registers.fecMode))});

    settings.push_back({"RX", std::to_string(registers.rxFrequency), false});
    appendFixed(settings, MicrohardL400Fixed::registers, registers.fixed);
    return settings;
}

// --l400 points S132 at the entry it writes, so the receive frequency is the
// transmit one.
Settings writtenAlongside(const MicrohardL400Radio&, const Settings& options) {
    Settings written = {{"RX", plainValue(options, "l400_freq"), false}};
    appendFixed(written, MicrohardL400Fixed::registers);
    return written;
}

Settings readSettings(Microhard920ARadio& radio) {
    Microhard920ARegisters registers;
    radio.readRegisters(registers);
    return settingsOf(registers);
}

Settings settingsOf(const Microhard920ARegisters& registers) {
    Settings settings;

    unsigned int channel = 0;
    settings.push_back({"920a_channel", Microhard920ARadio::channelOf(registers, channel)
                                            ? std::to_string(channel)
                                            : asRead("S104=" + std::to_string(registers.networkAddress))});

    // The unit addresses the command takes (S105 holds 16 bits; 0, 1 and 65535 are refused).
    std::string address = std::to_string(registers.unitAddress);
    if (registers.unitAddress < 2 || registers.unitAddress > 65534) address = asRead(address);
    settings.push_back({"920a_address", address});

    MICROHARD_920A_MODE mode{};
    settings.push_back({"920a_mode", Microhard920ARadio::modeOf(registers, mode)
                                         ? std::string(keywordOf(mh920aModes, mode))
                                         : asRead("S103=" + std::to_string(registers.wirelessRateCode) +
                                                  ",S112=" + std::to_string(registers.maxPacketSize) +
                                                  ",S113=" + std::to_string(registers.retransmissions) +
                                                  ",S158=" + std::to_string(registers.fecMode))});
    appendFixed(settings, Microhard920AFixed::registers, registers.fixed);
    return settings;
}

Settings writtenAlongside(const Microhard920ARadio&, const Settings&) {
    Settings written;
    appendFixed(written, Microhard920AFixed::registers);
    return written;
}

int mhl400(const std::string& port, PORT_CONFIG_BAUD baud, po::variables_map& options,
           po::options_description& group) {
    return microhardFlow(RADIO_TYPE_MICROHARD_L400, options, group, "l400_freq", "l400_power", "l400_mode",
                         l400Modes,
                         [&](unsigned int frequency, unsigned int power, MICROHARD_L400_MODE mode,
                             Outcome& outcome) {
                             writeSettings<MicrohardL400Radio>(
                                 port, baud, options, outcome,
                                 [&](MicrohardL400Radio& radio) { radio.saveConfig(frequency, power, mode); });
                         });
}

int mh920a(const std::string& port, PORT_CONFIG_BAUD baud, po::variables_map& options,
           po::options_description& group) {
    return microhardFlow(RADIO_TYPE_MICROHARD_920A, options, group, "920a_channel", "920a_address", "920a_mode",
                         mh920aModes,
                         [&](unsigned int channel, unsigned int address, MICROHARD_920A_MODE mode,
                             Outcome& outcome) {
                             // The 920A takes channel, mode, address in this order.
                             writeSettings<Microhard920ARadio>(
                                 port, baud, options, outcome,
                                 [&](Microhard920ARadio& radio) { radio.saveConfig(channel, mode, address); });
                         });
}
