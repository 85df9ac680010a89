// radiocfg: finds out which radio modem is on a serial port, or writes a
// configuration into it. Everything is printed on standard output; the exit
// status is 0 on success and 1 on any reported failure.
#include <fstream>
#include <iostream>
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
        ("fast", "end each exchange 0.1 s after the radio's answer, not after 2.5 s of silence (not the "
         "default: a radio that pauses longer inside an answer would be misread)");

    po::options_description commands("Commands");
    commands.add_options()
        ("detect", "Detect radio type")
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
        std::cout << e.what() << std::endl;
        return 1;
    }

    int result = 0;
    if (options.count("help")) {
        std::cout << allowed << std::endl;
        result = 1;
    }

    const std::size_t commandCount =
        options.count("detect") + options.count("satel") + options.count("l400") + options.count("920a");
    if (result == 0 && commandCount != 1) {
        std::cout << "Must specify ONE of the following" << std::endl << commands << std::endl;
        result = 1;
    }

    if (result == 0 && !std::ifstream(port).is_open()) {
        std::cout << "Specified port does not exist: " << port << std::endl;
        result = 1;
    }

    PORT_CONFIG_BAUD baud = BAUD_9600;
    if (result == 0) {
        switch (baudRate) {
        case 9600: case 19200: case 38400: case 57600: case 115200:
            baud = static_cast<PORT_CONFIG_BAUD>(baudRate);
            break;
        default:
            std::cout << "Invalid baudrate: " << baudRate << std::endl;
            result = 1;
        }
    }

    if (result == 0) {
        if (options.count("detect")) result = detect(port, baud, options);
        else if (options.count("satel")) result = satel(port, baud, options, satelOptions);
        else if (options.count("l400")) result = mhl400(port, baud, options, l400Options);
        else result = mh920a(port, baud, options, mh920aOptions);
    }
    return result;
}
