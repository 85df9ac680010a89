// gnsssim: a simulated GNSS receiver on a pseudo-terminal, for trying gnssmon
// without hardware. It prints the device to open (or links it at --link),
// answers the receiver's "$J" commands and streams the binary messages and
// NMEA sentences the host switches on, along a simulated drive.

#include "tools/gnsssim/Simulator.h"

#include <boost/program_options.hpp>

#include <csignal>
#include <iostream>

namespace po = boost::program_options;

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }
} // namespace

int main(int argc, char** argv) {
    GnssSim::SimConfig cfg;
    double duration = 0.0;
    po::options_description desc("gnsssim options");
    desc.add_options()
        ("help,h", "this text")
        ("link", po::value<std::string>(&cfg.linkPath), "make a symbolic link to the receiver's device here")
        ("baud", po::value<unsigned>(&cfg.model.baud)->default_value(57600), "baud rate the receiver talks at first")
        ("silent", po::bool_switch(&cfg.model.silent), "never send anything")
        ("stop-after", po::value<double>(&cfg.model.stopTalkingAfter)->default_value(-1.0),
         "stop talking after this many seconds (negative: never)")
        ("start-after", po::value<double>(&cfg.model.startTalkingAfter)->default_value(0.0),
         "send nothing before this many seconds")
        ("ignore-j", po::bool_switch(&cfg.model.ignoreCommands),
         "take no \"$J\" command and answer none; send GPGGA five times a second from the start")
        ("corrupt", po::bool_switch(&cfg.model.corruptChecksums), "send wrong NMEA and binary checksums")
        ("app", po::value<int>(&cfg.model.appSlot)->default_value(1), "running application slot, 1 or 2")
        ("lat", po::value<double>(&cfg.model.drive.lat)->default_value(cfg.model.drive.lat), "start latitude, degrees")
        ("lon", po::value<double>(&cfg.model.drive.lon)->default_value(cfg.model.drive.lon), "start longitude, degrees")
        ("speed", po::value<double>(&cfg.model.drive.speed)->default_value(cfg.model.drive.speed), "speed, m/s")
        ("course", po::value<double>(&cfg.model.drive.course)->default_value(cfg.model.drive.course), "course, degrees")
        ("turn", po::value<double>(&cfg.model.drive.turnRate)->default_value(0.0), "rate of turn, degrees/s")
        ("show", "print every command line received")
        ("duration", po::value<double>(&duration)->default_value(0.0), "stop after this many seconds (0: at a signal)");
    po::variables_map vm;
    try {
        po::store(po::parse_command_line(argc, argv, desc), vm);
        po::notify(vm);
    } catch (const po::error& e) {
        std::cout << e.what() << std::endl;
        return 1;
    }
    if (vm.count("help")) {
        std::cout << desc << std::endl;
        return 1;
    }
    if (vm.count("show"))
        cfg.onLine = [](const std::string& line) { std::cout << "< " << line << std::endl; };

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    try {
        GnssSim::Simulator sim(cfg);
        std::cout << "gnsssim: receiver on " << sim.ptyPath();
        if (!cfg.linkPath.empty()) std::cout << " linked at " << cfg.linkPath;
        std::cout << ", talking at " << cfg.model.baud << " baud" << std::endl;
        const auto start = std::chrono::steady_clock::now();
        while (!stopRequested) {
            sim.serviceOnce(5);
            if (duration > 0 &&
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= duration)
                break;
        }
        std::cout << "gnsssim: " << sim.sentPositions().size() << " positions sent, ending at "
                  << sim.baud() << " baud" << std::endl;
    } catch (const std::exception& e) {
        std::cout << "gnsssim: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
