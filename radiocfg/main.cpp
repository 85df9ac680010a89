// radiocfg: finds out which radio modem is on a serial port, or writes a
// configuration into it. Everything is printed on standard output; the exit
// status is 0 on success and 1 on any reported failure.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <boost/program_options.hpp>

#include "common/PortConfig.h"
#include "radiocfg/Flows.h"

namespace po = boost::program_options;
using namespace Veltrio::Common;

int main(int argc, char** argv) {
    std::string port = "/dev/ttyO1";
    unsigned int baudRate = 9600;

    po::options_description base("Base Options");
    base.add_options()
        ("help,h", "help!")
        ("baud,b", po::value<unsigned int>(&baudRate)->default_value(9600), "baudrate")
        ("port,p", po::value<std::string>(&port)->default_value("/dev/ttyO1"), "port (/dev/ttyO1, COM1)")
        ("verify", "after --satel, --l400, --920a: read the settings back and compare")
        ("json", "print one JSON object instead of text");

    po::options_description commands("Commands");
    commands.add_options()
        ("detect", "Detect radio type")
        ("query", "Print the radio's settings as a command line")
        ("satel", "Configure Satel radio")
        ("l400", "Configure Microhard L400")
        ("920a", "Configure Microhard 920A");

    po::options_description satelOptions("Satel Options");
    satelOptions.add_options()
        ("satel_freq", po::value<unsigned int>(), "Frequency (Hz)")
        ("satel_spacing", po::value<unsigned int>(), "Channel Spacing (Hz)")
        ("satel_power", po::value<unsigned int>(), "Power (mW)");

    po::options_description mh920aOptions("Microhard 920a Options");
    mh920aOptions.add_options()
        ("920a_channel", po::value<unsigned int>(), "Channel #")
        ("920a_address", po::value<unsigned int>(), "Unit address")
        ("920a_mode", po::value<std::string>(), "Mode (SLOW, SLOW2, FAST)");

    po::options_description l400Options("Microhard L400 Options");
    l400Options.add_options()
        ("l400_freq", po::value<unsigned int>(), "Frequency (Hz)")
        ("l400_power", po::value<unsigned int>(), "Power (mW)")
        ("l400_mode", po::value<std::string>(), "Mode (PC1, PC2, PC3, PC4, VLTR)");

    po::options_description allowed("Allowed Options");
    allowed.add(base).add(commands).add(satelOptions).add(mh920aOptions).add(l400Options);

    po::variables_map options;
    try {
        po::store(po::parse_command_line(argc, argv, allowed), options);
        po::notify(options);
    } catch (const po::error& e) {
        Outcome refused;
        refused.fail(e.what());
        return report(refused, std::find(argv + 1, argv + argc, std::string("--json")) != argv + argc);
    }
    // main's own refusals are printed like a flow's outcome, as text or JSON.
    const auto refuse = [&options](const std::string& message, const po::options_description* listing) {
        Outcome refused;
        std::ostringstream text;
        if (listing != nullptr) text << *listing;
        refused.fail(message, text.str());
        return report(refused, options.count("json") > 0);
    };

    int result = 0;
    if (options.count("help")) {
        std::cout << allowed << std::endl;
        result = 1;
    }

    const std::size_t commandCount = options.count("detect") + options.count("query") + options.count("satel") +
                                     options.count("l400") + options.count("920a");
    if (result == 0 && commandCount != 1) result = refuse("Must specify ONE of the following", &commands);

    if (result == 0 && !std::ifstream(port).is_open())
        result = refuse("Specified port does not exist: " + port, nullptr);

    PORT_CONFIG_BAUD baud = BAUD_9600;
    if (result == 0) {
        switch (baudRate) {
        case 9600: case 19200: case 38400: case 57600: case 115200:
            baud = static_cast<PORT_CONFIG_BAUD>(baudRate);
            break;
        default:
            result = refuse("Invalid baudrate: " + std::to_string(baudRate), nullptr);
        }
    }

    if (result == 0) {
        if (options.count("detect")) result = detect(port, baud, options);
        else if (options.count("query")) result = query(port, baud, options);
        else if (options.count("satel")) result = satel(port, baud, options, satelOptions);
        else if (options.count("l400")) result = mhl400(port, baud, options, l400Options);
        else result = mh920a(port, baud, options, mh920aOptions);
    }
    return result;
}
