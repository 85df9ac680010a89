// radiocfg: finds out which radio modem is on a serial port, or writes a
// configuration into it. Everything it reports is printed on standard output
// (standard error shows only the wire with --trace, and a progress line on a
// terminal: RunWatch.h); the exit status is 0 on success and 1 on any
// reported failure (128 + the signal for a run stopped by one: StopSignals.h).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include <boost/program_options.hpp>

#include "common/OptionError.h"
#include "common/PortConfig.h"
#include "devices/PortAccess.h"
#include "radiocfg/Flows.h"
#include "radiocfg/NumericOptions.h"
#include "radiocfg/StopSignals.h"

namespace po = boost::program_options;
using namespace Veltrio::Common;

namespace {

// 0 when the port can be opened for reading, else the errno value.
// O_NONBLOCK: a serial port whose carrier-detect line is low, and that does
// not have CLOCAL set yet, blocks a plain open until carrier appears, which
// may be never. A pty has no modem lines and cannot show this; a FIFO without
// a writer blocks a plain open the same way, and that is what the test uses.
// O_NOCTTY: the port must not become the program's controlling terminal.
int portOpenError(const std::string& port) {
    const int fd = ::open(port.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

// A path that is not there keeps its own message; any other reason (no
// permission, busy) is the system's.
std::string portRefusal(const std::string& port, int error) {
    if (error == ENOENT || error == ENOTDIR) return "Specified port does not exist: " + port;
    return "Can not open file: " + Veltrio::Devices::portFailure(port, error);
}

} // namespace

int main(int argc, char** argv) {
    std::string port = "/dev/ttyO1";
    std::string baudText = "9600";

    po::options_description base("Base Options");
    base.add_options()
        ("help,h", "help!")
        ("baud,b", po::value<std::string>(&baudText)->default_value("9600"),
         "baudrate (9600, 19200, 38400, 57600, 115200); auto with --detect and --query: try 9600, then "
         "115200, 57600, 38400, 19200, until a radio answers")
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
        refused.fail(Veltrio::Common::optionErrorText(e, argc, argv));
        return report(refused, std::find(argv + 1, argv + argc, std::string("--json")) != argv + argc);
    }
    const char* const commandNames[] = {"detect", "query", "satel", "l400", "920a"};
    const auto chosen = [&options](const char* name) { return options.count(name) > 0; };
    const auto commandCount = std::count_if(std::begin(commandNames), std::end(commandNames), chosen);

    // main's own refusals are printed like a flow's outcome, as text or JSON,
    // naming the command when the command line chose exactly one.
    const auto refuse = [&](const std::string& message, const po::options_description* listing) {
        Outcome refused;
        if (commandCount == 1)
            refused.command = *std::find_if(std::begin(commandNames), std::end(commandNames), chosen);
        std::ostringstream text;
        if (listing != nullptr) text << *listing;
        refused.fail(message, text.str());
        return report(refused, options.count("json") > 0);
    };

    int result = 0;
    if (options.count("help")) {
        std::cout << allowed << "\n"
                  << "SIGINT (Ctrl-C), SIGTERM, SIGHUP: stop after the exchange under way, take the radio out of\n"
                     "command mode, save nothing; exit status 128 + the signal. A second signal ends at once.\n"
                     "--json: one object per run, following the JSON Schema radiocfg-output.schema.json\n"
                     "(radiocfg(1)).\n"
                  << std::endl;
        result = 1;
    }

    if (result == 0 && commandCount != 1) result = refuse("Must specify ONE of the following", &commands);

    if (result == 0)
        if (const int error = portOpenError(port)) result = refuse(portRefusal(port, error), nullptr);

    // -b auto: the flow tries the rates itself, starting at 9600.
    PORT_CONFIG_BAUD baud = BAUD_9600;
    if (result == 0 && baudText == automaticBaud) {
        if (!options.count("detect") && !options.count("query"))
            result = refuse("-b auto works with --detect and --query only", nullptr);
    } else if (result == 0) {
        const unsigned long baudRate = std::stoul(baudText); // plain decimal digits: checkNumbers
        switch (baudRate) {
        case 9600: case 19200: case 38400: case 57600: case 115200:
            baud = static_cast<PORT_CONFIG_BAUD>(baudRate);
            break;
        default:
            result = refuse("Invalid baudrate: " + std::to_string(baudRate), nullptr);
        }
    }

    if (result == 0) {
        stopOnSignals();
        if (options.count("detect")) result = detect(port, baud, options);
        else if (options.count("query")) result = query(port, baud, options);
        else if (options.count("satel")) result = satel(port, baud, options, satelOptions);
        else if (options.count("l400")) result = mhl400(port, baud, options, l400Options);
        else result = mh920a(port, baud, options, mh920aOptions);
        result = statusAfterStop(result);
    }
    return result;
}
