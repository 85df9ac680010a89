// detect: which radio modem answers on the port. Prints the detection's
// progress lines and then "Radio Type: <name>"; a radio that answers nothing
// is reported as "not detected", which is not a failure. A port that cannot be
// opened or configured, or a failure of the line during detection, is printed
// as the exception's text on one line and fails with status 1.
#include <exception>
#include <iostream>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radio/RadioBase.h"
#include "radiocfg/FailureLine.h"
#include "radiocfg/Flows.h"

using namespace Veltrio::Common;
using namespace Veltrio::Radio;

namespace {

const char* radioTypeName(RADIO_TYPE type) {
    switch (type) {
    case RADIO_TYPE_SATEL: return "Satel";
    case RADIO_TYPE_MICROHARD_920A: return "Microhard 920A";
    case RADIO_TYPE_MICROHARD_L400: return "Microhard L400";
    default: return "not detected";
    }
}

} // namespace

int detect(const std::string& port, PORT_CONFIG_BAUD baud, boost::program_options::variables_map& options) {
    try {
        const ExchangeTiming timing = exchangeTiming(options);
        Veltrio::Devices::AsioSerialDevice device(port, baud, BITS_8, PARITY_NONE, STOPBITS_1, timing);
        ::Timer timer;
        const RADIO_TYPE type = RadioBase::detectType(&timer, &device, timing);
        std::cout << "Radio Type: " << radioTypeName(type) << std::endl;
    } catch (const std::exception& e) {
        std::cout << failureLine(e.what()) << std::endl;
        return 1;
    }
    return 0;
}
