// The l400 and 920a commands: three values from the command line, one of them
// a mode keyword, written into the radio with one saveConfig of its driver.
// Nothing is printed on success; a failure prints one line and returns 1.
#include <iostream>
#include <string>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardL400Radio.h"
#include "radiocfg/FailureLine.h"
#include "radiocfg/Flows.h"

namespace po = boost::program_options;
using namespace Veltrio::Common;
using namespace Veltrio::Radio;
using Veltrio::Devices::AsioSerialDevice;

namespace {

// The radios' command timeout, in milliseconds.
constexpr unsigned int commandTimeout = 2000;

template <class Mode>
struct Keyword {
    const char* text;
    Mode mode;
};

constexpr Keyword<MICROHARD_L400_MODE> l400Modes[] = {
    {"PC1", MICROHARD_L400_MODE_PC1}, {"PC2", MICROHARD_L400_MODE_PC2}, {"PC3", MICROHARD_L400_MODE_PC3},
    {"PC4", MICROHARD_L400_MODE_PC4}, {"VLTR", MICROHARD_L400_MODE_VLTR},
};
constexpr Keyword<MICROHARD_920A_MODE> mh920aModes[] = {
    {"SLOW", MICROHARD_920A_MODE_SLOW}, {"SLOW2", MICROHARD_920A_MODE_SLOW2}, {"FAST", MICROHARD_920A_MODE_FAST},
};

// Whole, case-sensitive keywords, in table order.
template <class Mode, std::size_t N>
bool findMode(const Keyword<Mode> (&table)[N], const std::string& text, Mode& mode) {
    for (const auto& k : table)
        if (text == k.text) {
            mode = k.mode;
            return true;
        }
    return false;
}

// The skeleton both commands share. `configure(first, second, mode)` builds
// the device, the timer and the driver on its own stack and runs saveConfig;
// they are gone, and the port closed, before a failure is printed.
template <class Mode, std::size_t N, class Configure>
int microhardFlow(po::variables_map& options, po::options_description& group, const char* firstOption,
                  const char* secondOption, const char* modeOption, const Keyword<Mode> (&modes)[N],
                  Configure configure) {
    try {
        if (!options.count(firstOption) || !options.count(secondOption) || !options.count(modeOption)) {
            std::cout << "Missing param" << std::endl << group << std::endl;
            return 1;
        }
        const unsigned int first = options[firstOption].as<unsigned int>();
        const unsigned int second = options[secondOption].as<unsigned int>();
        const std::string modeText = options[modeOption].as<std::string>();
        Mode mode{};
        if (!findMode(modes, modeText, mode)) {
            std::cout << "Invalid mode: " << modeText << std::flush;
            return 1;
        }
        configure(first, second, mode);
        return 0;
    } catch (const std::exception& e) {
        std::cout << failureLine(e.what()) << std::endl;
        return 1;
    }
}

} // namespace

int mhl400(const std::string& port, PORT_CONFIG_BAUD baud, po::variables_map& options,
           po::options_description& group) {
    return microhardFlow(options, group, "l400_freq", "l400_power", "l400_mode", l400Modes,
                         [&](unsigned int frequency, unsigned int power, MICROHARD_L400_MODE mode) {
                             const ExchangeTiming timing = exchangeTiming(options);
                             AsioSerialDevice device(port, baud, BITS_8, PARITY_NONE, STOPBITS_1, timing);
                             ::Timer timer;
                             MicrohardL400Radio radio(&timer, commandTimeout, &device, nullptr);
                             radio.setTiming(timing);
                             radio.saveConfig(frequency, power, mode);
                         });
}

int mh920a(const std::string& port, PORT_CONFIG_BAUD baud, po::variables_map& options,
           po::options_description& group) {
    return microhardFlow(options, group, "920a_channel", "920a_address", "920a_mode", mh920aModes,
                         [&](unsigned int channel, unsigned int address, MICROHARD_920A_MODE mode) {
                             const ExchangeTiming timing = exchangeTiming(options);
                             AsioSerialDevice device(port, baud, BITS_8, PARITY_NONE, STOPBITS_1, timing);
                             ::Timer timer;
                             Microhard920ARadio radio(&timer, commandTimeout, &device, nullptr);
                             radio.setTiming(timing);
                             radio.saveConfig(channel, mode, address);
                         });
}
