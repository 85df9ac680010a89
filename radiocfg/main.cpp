// radiocfg: finds out which radio modem is on a serial port, or writes a
// configuration into it. Everything it reports is printed on standard output
// (standard error shows only the wire with --trace, and a progress line on a
// terminal: RunWatch.h); the exit status is 0 on success and 1 on any
// reported failure.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>

#include <boost/program_options.hpp>

#include "common/PortConfig.h"
#include "radiocfg/Flows.h"
#include "radiocfg/NumericOptions.h"

namespace po = boost::program_options;
using namespace Veltrio::Common;

namespace {

// Whether the port can be opened for reading. O_NONBLOCK: a serial port
// whose carrier-detect line is low, and that does not have CLOCAL set yet,
// blocks a plain open until carrier appears, which may be never. A pty has
// no modem lines and cannot show this; a FIFO without a writer blocks a plain
// open the same way, and that is what the test uses. O_NOCTTY: the port must
// not become the program's controlling terminal.
bool portOpens(const std::string& port) {
    const int fd = ::open(port.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string port = "/dev/ttyO1";
    unsigned int baudRate = 9600;

    po::options_description base("Base Options");
    base.add_options()
        ("help,h", "help!")
        ("baud,b", po::value<unsigned int>(&baudRate)->default_value(9600),
         "baudrate (9600, 19200, 38400, 57600, 115200)")
        ("port,p", po::value<std::string>(&port)->default_value("/dev/ttyO1"), "port (/dev/ttyO1, COM1)")
        ("fast", "end each exchange when the radio's answer is whole, not after 2.5 s of silence; an echoed "
         "command is never its answer (not the default: a radio that wants over 1 s of quiet before +++, or "
         "sends a prompt in pieces over 0.1 s apart, needs the long wait)")
        ("verify", "after --satel, --l400, --920a: read back every register the write sets and compare")
        ("json", "print one JSON object instead of text")
        ("trace", "show every byte written to and read from the radio on standard error");

    po::options_description commands("Commands");
    commands.add_options()
        ("detect", "Detect radio type")
        ("query", "Print the radio's settings as a command line; a value the configuration command sets "
         "that the radio holds otherwise and no option expresses as not-settable:NAME=VALUE")
        ("satel", "Configure Satel radio")
        ("l400", "Configure Microhard L400")
        ("920a", "Configure Microhard 920A");

    po::options_description satelOptions("Satel Options");
    satelOptions.add_options()
        ("satel_freq", po::value<unsigned int>(), "Frequency (Hz), 1000010 to 999999990 in steps of 10")
        ("satel_spacing", po::value<unsigned int>(), "Channel Spacing (Hz): 12500, 20000 or 25000")
        ("satel_power", po::value<unsigned int>(), "Power (mW), 2 to 9999");

    po::options_description mh920aOptions("Microhard 920a Options");
    mh920aOptions.add_options()
        ("920a_channel", po::value<unsigned int>(), "Channel # (0 to 99)")
        ("920a_address", po::value<unsigned int>(), "Unit address (2 to 65534)")
        ("920a_mode", po::value<std::string>(), "Mode (SLOW, SLOW2, FAST)");

    po::options_description l400Options("Microhard L400 Options");
    l400Options.add_options()
        ("l400_freq", po::value<unsigned int>(), "Frequency (Hz), 406100000 to 473000000 in steps of 12500")
        ("l400_power", po::value<unsigned int>(),
         "Power (mW): 100, 125, 160, 200, 250, 320, 400, 500, 630, 800, 1000, 2000, 3000 or 5000")
        ("l400_mode", po::value<std::string>(), "Mode (PC1, PC2, PC3, PC4, VLTR)");

    po::options_description allowed("Allowed Options");
    allowed.add(base).add(commands).add(satelOptions).add(mh920aOptions).add(l400Options);

    po::variables_map options;
    try {
        const po::parsed_options parsed = po::parse_command_line(argc, argv, allowed);
        checkNumbers(parsed);
        po::store(parsed, options);
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

    if (result == 0 && !portOpens(port)) result = refuse("Specified port does not exist: " + port, nullptr);

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
