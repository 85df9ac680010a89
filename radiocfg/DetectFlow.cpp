// detect and query: the two commands that first find out which radio modem
// answers on the port.
//
// detect prints the detection's progress lines and then "Radio Type: <name>";
// a radio that answers nothing is reported as "not detected", which is not a
// failure.
//
// query detects the radio the same way, without the progress lines, then
// reads its settings with its driver and prints the command line that would
// program them:
//   --l400 --l400_freq 450125000 --l400_power 2000 --l400_mode VLTR
// followed by a not-settable:NAME=VALUE token for each value that the write
// sets without an option (a fixed register, the receive frequency) and that
// the radio holds otherwise: not-settable:S108=27.
// Here a radio that is not detected is a failure: "Radio Type: not detected",
// at a rate given with -b followed by " at 9600 baud (-b auto tries every
// rate)".
//
// With -b auto both try 9600, 115200, 57600, 38400 and 19200 in turn until a
// radio answers, and print "Baud: N" before the result.
//
// A port that cannot be opened or configured, or a failure of the line, is
// printed as the exception's text on one line and fails with status 1.
#include <exception>
#include <iostream>
#include <iterator>
#include <vector>

#include "radio/RadioBase.h"
#include "radiocfg/Flows.h"
#include "radiocfg/RadioLine.h"
#include "radiocfg/ReadSettings.h"

using namespace Veltrio::Common;
using namespace Veltrio::Radio;

namespace {

// The detection prints its progress on standard output as it goes. Where the
// output is data (query, and every command with --json), it goes nowhere
// while this object lives.
class ProgressSilenced {
public:
    explicit ProgressSilenced(bool silence) : saved(silence ? std::cout.rdbuf(nullptr) : nullptr) {}
    ~ProgressSilenced() {
        if (saved != nullptr) std::cout.rdbuf(saved); // also clears the stream's error state
    }
    ProgressSilenced(const ProgressSilenced&) = delete;
    ProgressSilenced& operator=(const ProgressSilenced&) = delete;

private:
    std::streambuf* const saved;
};

RADIO_TYPE detectRadio(RadioLine& line, bool showProgress) {
    ProgressSilenced silenced(!showProgress);
    return RadioBase::detectType(&line.timer, line.device(), line.getTiming(), line.listener());
}

// The settings of a radio of this kind, read by its own driver on the line,
// as --query prints them.
template <class Radio>
Settings querySettings(RadioLine& line) {
    Radio radio(&line.timer, RadioLine::commandTimeout, line.device(), nullptr);
    const Settings read = readSettings(line.attach(radio));
    return queryLine(read, writtenAlongside(radio, read));
}

Settings readDetected(RADIO_TYPE type, RadioLine& line) {
    switch (type) {
    case RADIO_TYPE_SATEL: return querySettings<SatelRadio>(line);
    case RADIO_TYPE_MICROHARD_L400: return querySettings<MicrohardL400Radio>(line);
    case RADIO_TYPE_MICROHARD_920A: return querySettings<Microhard920ARadio>(line);
    default: return Settings();
    }
}

// The rates -b auto tries, the usual one first.
constexpr PORT_CONFIG_BAUD automaticRates[] = {BAUD_9600, BAUD_115200, BAUD_57600, BAUD_38400, BAUD_19200};

// Both commands: the line is closed before anything is printed. With -b
// auto the detection runs at one rate after the other until a radio answers.
Outcome findRadio(const char* command, const std::string& port, PORT_CONFIG_BAUD baud,
                  const boost::program_options::variables_map& options, bool showProgress) {
    Outcome outcome;
    outcome.command = command;
    const bool query = outcome.command == "query";
    const bool automatic = options["baud"].as<std::string>() == automaticBaud;
    std::vector<PORT_CONFIG_BAUD> rates = {baud};
    if (automatic) rates.assign(std::begin(automaticRates), std::end(automaticRates));
    try {
        for (const PORT_CONFIG_BAUD rate : rates) {
            RadioLine line(port, rate, options);
            outcome.radio = detectRadio(line, showProgress);
            if (*outcome.radio == RADIO_TYPE_UNKNOWN) continue;
            if (automatic) outcome.baud = static_cast<unsigned int>(rate);
            if (query) outcome.settings = readDetected(*outcome.radio, line);
            break;
        }
        // At a rate the user chose, the radio may just listen at another.
        if (query && *outcome.radio == RADIO_TYPE_UNKNOWN)
            outcome.fail(std::string("Radio Type: ") + radioTypeName(RADIO_TYPE_UNKNOWN) +
                         (automatic ? "" : " at " + std::to_string(static_cast<unsigned int>(baud)) +
                                               " baud (-b auto tries every rate)"));
    } catch (const std::exception& e) {
        outcome.fail(e.what());
    }
    return outcome;
}

} // namespace

int detect(const std::string& port, PORT_CONFIG_BAUD baud, boost::program_options::variables_map& options) {
    const bool json = options.count("json") > 0;
    return report(findRadio("detect", port, baud, options, !json), json);
}

int query(const std::string& port, PORT_CONFIG_BAUD baud, boost::program_options::variables_map& options) {
    return report(findRadio("query", port, baud, options, false), options.count("json") > 0);
}
