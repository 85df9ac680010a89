// gnssmon: finds the GNSS receiver on its UART, configures the message rates
// given on the command line, and prints the position each time it changes,
// for a fixed run of 2000 polling passes.

#include "gnssmon/Gms.h"
#include "gnssmon/GpsDb.h"

#include <boost/program_options.hpp>

#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>

namespace po = boost::program_options;

namespace {

constexpr int kPasses = 2000;
constexpr useconds_t kPassPauseUs = 5000;

struct Options {
    int bin1Rate = 0, bin2Rate = 0, ggaRate = 0, vtgRate = 0, gstRate = 0, herotRate = 0, hehdgRate = 0;
    int almRate = 0, jomsRate = 0, jdiffRate = 0;
    std::string port;
    std::string baudText;  // as typed: "-1" must not be read as 4294967295
    unsigned int baud = 0;
};

// The rates both the receiver and the UART run at. Any other would strand the
// receiver: sent "$JBAUD" with it, it talks at a rate no later search tries.
bool parseBaud(const std::string& text, unsigned int& baud) {
    for (const unsigned int rate : {4800u, 9600u, 19200u, 38400u, 57600u, 115200u})
        if (text == std::to_string(rate)) {
            baud = rate;
            return true;
        }
    return false;
}

// What the configuration does to the messages, after the option list.
constexpr const char* kHelpNotes =
    "Once found, the receiver is sent $JOFF (every output of the port off) and\n"
    "$JSAVE (saved: it also starts with them off), then the messages whose rate\n"
    "is above 0 are switched on (almRate, jomsRate and jdiffRate send nothing):\n"
    "a message whose rate is 0 ends up off.\n"
    "--baud: 4800, 9600, 19200, 38400, 57600 or 115200.\n";

} // namespace

int main(int argc, char** argv) {
    Options o;
    po::options_description desc("Allowed Options");
    desc.add_options()
        ("help,h", "help!")
        ("bin1Rate", po::value<int>(&o.bin1Rate)->default_value(0), "Rate for bin1 messages (default: disabled)")
        ("bin2Rate", po::value<int>(&o.bin2Rate)->default_value(0), "Rate for bin2 messages (default: disabled)")
        ("ggaRate", po::value<int>(&o.ggaRate)->default_value(0), "Rate for GGA messages (default: disabled)")
        ("vtgRate", po::value<int>(&o.vtgRate)->default_value(0), "Rate for VTG messages (default: disabled)")
        ("gstRate", po::value<int>(&o.gstRate)->default_value(0), "Rate for GST messages (default: disabled)")
        ("herotRate", po::value<int>(&o.herotRate)->default_value(0), "Rate for HEROT messages (default: disabled)")
        ("hehdgRate", po::value<int>(&o.hehdgRate)->default_value(0), "Rate for HEHDG messages (default: disabled)")
        ("almRate", po::value<int>(&o.almRate)->default_value(0), "Rate for ALM messages (default: disabled)")
        ("jomsRate", po::value<int>(&o.jomsRate)->default_value(0), "Rate for JOMS messages (default: disabled)")
        ("jdiffRate", po::value<int>(&o.jdiffRate)->default_value(0), "Rate for JDIFF messages (default: disabled)")
        ("port,p", po::value<std::string>(&o.port)->default_value("/dev/ttyO1"), "port (/dev/ttyO1, COM1)")
        ("baud", po::value<std::string>(&o.baudText)->default_value("57600"), "port baud rate (default: 57600)");

    po::variables_map vm;
    try {
        po::store(po::parse_command_line(argc, argv, desc), vm);
        po::notify(vm);
    } catch (const po::error& e) {
        // An unknown option or a value that does not convert: say which, on one line.
        std::cout << e.what() << std::endl;
        return 1;
    }

    if (vm.count("help")) {
        std::cout << desc << "\n" << kHelpNotes;
        return 1;
    }
    if (!parseBaud(o.baudText, o.baud)) {
        std::cout << "Invalid baudrate: " << o.baudText << std::endl;
        return 1;
    }

    std::cout << "Configured rates: " << std::endl
              << "\tbin1Rate    = " << o.bin1Rate << std::endl
              << "\tbin2Rate    = " << o.bin2Rate << std::endl
              << "\tggaRate     = " << o.ggaRate << std::endl
              << "\tvtgRate     = " << o.vtgRate << std::endl
              << "\tgstRate     = " << o.gstRate << std::endl
              << "\therotRate   = " << o.herotRate << std::endl
              << "\thehdgRate   = " << o.hehdgRate << std::endl
              << "\talmRate     = " << o.almRate << std::endl
              << "\tjomsRate    = " << o.jomsRate << std::endl
              << "\tjdiffRate   = " << o.jdiffRate << std::endl
              << "\tbaudRate    = " << o.baud << std::endl;

    _GPS_MGR_SERIAL_SETUP setup;
    std::memset(&setup, 0, sizeof setup);
    setup.iPort = 1;
    setup.pszDevice = o.port.c_str();
    setup.dwBaud = o.baud;
    setup.cParity = 'N';
    setup.iDataBits = 8;
    setup.iStopBits = 1;
    setup.iBin1Rate = o.bin1Rate;
    setup.iBin2Rate = o.bin2Rate;
    setup.fGgaRate = static_cast<float>(o.ggaRate);
    setup.iVtgRate = o.vtgRate;
    setup.iGstRate = o.gstRate;
    setup.iHerotRate = o.herotRate;
    setup.iHehdgRate = o.hehdgRate;
    setup.iAlmRate = o.almRate;
    setup.iJomsRate = o.jomsRate;
    setup.iJdiffRate = o.jdiffRate;
    // A port that does not open is not fatal: the manager's link search keeps
    // reopening it.
    iGmsInit(0, &setup);

    double lat = dGpsDbGetRawLat(0);
    double lon = dGpsDbGetRawLon(0);
    for (int pass = 0; pass < kPasses; ++pass) {
        GmsProcess();
        const double newLat = dGpsDbGetRawLat(0);
        const double newLon = dGpsDbGetRawLon(0);
        if (newLat != lat || newLon != lon) {
            lat = newLat;
            lon = newLon;
            std::cout.precision(12);
            std::cout << "LAT: " << lat << " LONG: " << lon << std::endl;
        }
        usleep(kPassPauseUs);
    }
    return 0;
}
