// radiocfg --satel: writes frequency, channel spacing and power into a Satel
// radio in one exchange and stores them in its flash. Prints nothing on
// success; any failure is one line (the exception's text) and status 1.
#include <iostream>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radio/satel/SatelRadio.h"
#include "radiocfg/FailureLine.h"
#include "radiocfg/Flows.h"

int satel(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
          boost::program_options::variables_map& options, boost::program_options::options_description group) {
    using namespace Veltrio::Common;
    try {
        if (!options.count("satel_freq") || !options.count("satel_spacing") || !options.count("satel_power")) {
            std::cout << "Missing param" << std::endl << group << std::endl;
            return 1;
        }
        const unsigned int frequency = options["satel_freq"].as<unsigned int>();    // Hz
        const unsigned int spacing = options["satel_spacing"].as<unsigned int>();   // Hz
        const unsigned int power = options["satel_power"].as<unsigned int>();       // mW

        // 8N1, RTS/CTS, 2.5 s read deadline; commands time out after 2 s. The
        // radio is destroyed before the device, and both before a failure is
        // printed, so the port is closed by then.
        const ExchangeTiming timing = exchangeTiming(options);
        Veltrio::Devices::AsioSerialDevice device(port, baud, BITS_8, PARITY_NONE, STOPBITS_1, timing);
        ::Timer timer;
        Veltrio::Radio::SatelRadio radio(&timer, 2000, &device, nullptr);
        radio.setTiming(timing);
        radio.saveConfig(frequency, spacing, power);
    } catch (const std::exception& e) {
        std::cout << failureLine(e.what()) << std::endl;
        return 1;
    }
    return 0;
}
