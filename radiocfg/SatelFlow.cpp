// radiocfg --satel: writes frequency, channel spacing and power into a Satel
// radio in one exchange and stores them in its flash. Prints nothing on
// success; any failure is one line (the exception's text) and status 1.
// With --verify the three values, and the receive frequency that is set with
// them, are read back in a second exchange.
#include <sstream>
#include <string>

#include "radio/satel/SatelCommands.h"
#include "radio/satel/SatelRadio.h"
#include "radiocfg/Flows.h"
#include "radiocfg/ReadSettings.h"

namespace {

// The value as an option's text, or marked when the setter --satel writes it
// with refuses it.
template <class Set>
std::string optionValue(unsigned int value, Set set) {
    return (accepts([&] { set(value); }) ? "" : notSettable) + std::to_string(value);
}

Outcome satelOutcome(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
                     boost::program_options::variables_map& options,
                     const boost::program_options::options_description& group) {
    Outcome outcome;
    outcome.command = "satel";
    try {
        if (!options.count("satel_freq") || !options.count("satel_spacing") || !options.count("satel_power")) {
            std::ostringstream listing;
            listing << group;
            outcome.fail("Missing param", listing.str());
            return outcome;
        }
        const unsigned int frequency = options["satel_freq"].as<unsigned int>();    // Hz
        const unsigned int spacing = options["satel_spacing"].as<unsigned int>();   // Hz
        const unsigned int power = options["satel_power"].as<unsigned int>();       // mW
        outcome.settings = {{"satel_freq", std::to_string(frequency)},
                            {"satel_spacing", std::to_string(spacing)},
                            {"satel_power", std::to_string(power)}};

        using Veltrio::Radio::SatelRadio;
        writeSettings<SatelRadio>(port, baud, options, outcome,
                                  [&](SatelRadio& radio) { radio.saveConfig(frequency, spacing, power); });
        outcome.radio = Veltrio::Radio::RADIO_TYPE_SATEL; // it took the configuration
    } catch (const std::exception& e) {
        outcome.fail(e.what());
    }
    return outcome;
}

} // namespace

Settings readSettings(Veltrio::Radio::SatelRadio& radio) {
    unsigned int frequency = 0, rxFrequency = 0, spacing = 0, power = 0;
    radio.readConfig(frequency, rxFrequency, spacing, power);
    return satelSettings(frequency, rxFrequency, spacing, power);
}

Settings satelSettings(unsigned int frequency, unsigned int rxFrequency, unsigned int spacing, unsigned int power) {
    using namespace Veltrio::Radio;
    return {{"satel_freq", optionValue(frequency, [](unsigned int v) { SatelRadio::validateFrequency(v); })},
            {"satel_spacing",
             optionValue(spacing, [](unsigned int v) { SatelSetChannelSpacingCommand().setChannelSpacing(v); })},
            {"satel_power", optionValue(power, [](unsigned int v) { SatelSetPowerCommand().setPower(v); })},
            {"RX", std::to_string(rxFrequency), false}};
}

// --satel sets the receive frequency with the transmit one.
Settings writtenAlongside(const Veltrio::Radio::SatelRadio&, const Settings& options) {
    return {{"RX", plainValue(options, "satel_freq"), false}};
}

int satel(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
          boost::program_options::variables_map& options, boost::program_options::options_description group) {
    return report(satelOutcome(port, baud, options, group), options.count("json") > 0);
}
