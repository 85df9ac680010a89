// gnssmon: finds the GNSS receiver on its UART, configures the message rates
// given on the command line, and prints the position each time it changes,
// for --duration seconds or until SIGINT, SIGTERM or SIGHUP.
//
// The loop sleeps in poll() until the receiver's line has bytes, a stop
// signal arrives, the reader of the output can take more, a client of the
// server (--listen) needs serving, or the receiver manager's next action is
// due (the manager says when); every wake-up runs GmsProcess and prints a new
// position at once. Nothing in it waits on anything else: output goes through
// queues that drop whole lines when their reader does not keep up
// (OutputQueue.h), each client of the server has its own bounded queue
// (GpsdServer.h), and writes to the receiver do not wait either (Uart.h).

#include "common/OptionError.h"
#include "gnssmon/ErrorReport.h"
#include "gnssmon/Gms.h"
#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsdServer.h"
#include "gnssmon/OutputQueue.h"
#include "gnssmon/SkyReport.h"
#include "gnssmon/TimeServices.h"
#include "gnssmon/TpvReport.h"
#include "gnssmon/Uart.h"
#include "gnssmon/UartTrace.h"

#include <boost/program_options.hpp>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace po = boost::program_options;

namespace {

// As long as the former fixed run of 2000 polling passes of 5 ms.
constexpr double kDefaultDurationS = 10.0;
// A line that reports a hang-up or an error stays "readable" with nothing to
// read (a device that went away): it is left out of the wait for this long,
// so that it cannot spin the loop while the manager's search reopens it.
constexpr int kHangupPauseMs = 100;

struct Options {
    int bin1Rate = 0, bin2Rate = 0, ggaRate = 0, vtgRate = 0, gstRate = 0, herotRate = 0, hehdgRate = 0;
    int almRate = 0, jomsRate = 0, jdiffRate = 0;
    std::string port;
    std::string baudText;  // as typed: "-1" must not be read as 4294967295
    unsigned int baud = 0;
    double duration = kDefaultDurationS;  // s; 0: until a stop signal
    bool json = false;
    std::string listen;  // [ADDRESS:]PORT of the client server; empty: none
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
    "A receiver that answers no $J request is monitored as it is, where it was heard.\n"
    "--baud: 4800, 9600, 19200, 38400, 57600 or 115200.\n"
    "-p: a path that is not a terminal is refused (status 1); one that does not\n"
    "open is tried again and again. What is wrong is said on standard error\n"
    "(with --json as an ERROR object), once per reason.\n"
    "SIGINT, SIGTERM and SIGHUP end the run at once. A reader of the output that\n"
    "falls behind holds nothing: lines wait in a 1 MiB queue, and those that no\n"
    "longer fit are dropped whole and counted on standard error.\n";

// Standard output, for the echo and the reports, and standard error, for the
// notices; both set up once the command line has been read. Standard output
// holds a minute and more of reports at the fastest rates (a SKY object is a
// few kB), so a reader that pauses loses nothing; its pages are touched only
// when a reader falls that far behind.
constexpr std::size_t kReportQueueBytes = 1 << 20;
constexpr std::size_t kNoticeQueueBytes = 16 << 10;
char reportStorage[kReportQueueBytes];
char noticeStorage[kNoticeQueueBytes];
OutputQueue* reportOut = nullptr;
OutputQueue* noticeOut = nullptr;

void printLine(OutputQueue* queue, std::string line) {
    line += '\n';
    queue->put(line.data(), line.size());
}

// Prints each new position of receiver 0 as the position line, when it
// differs from the last one printed. Nothing here allocates.
class PositionPrinter {
public:
    PositionPrinter() : lat(dGpsDbGetRawLat(0)), lon(dGpsDbGetRawLon(0)) {}

    void printIfNew() {
        const double newLat = dGpsDbGetRawLat(0);
        const double newLon = dGpsDbGetRawLon(0);
        // Exact comparison: a coordinate that is not a number prints at every pass.
        if (newLat == lat && newLon == lon) return;
        // As a stream prints them with precision 12: 12 significant digits.
        char line[96];
        const int n = std::snprintf(line, sizeof line, "LAT: %.12g LONG: %.12g\n", newLat, newLon);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof line) reportOut->put(line, static_cast<std::size_t>(n));
        lat = newLat;
        lon = newLon;
    }

private:
    double lat, lon;
};

// With --json: receiver 0's reports as the database calls for them, a TPV
// object for every new fix (but not the same one again, as another sentence
// of its epoch may tell it) and a SKY object for every complete cycle of
// satellites.
struct JsonReports {
    static std::string device;
    static std::string lastTpv;

    static void print(int instance, int report) {
        if (instance != 0) return;
        if (report == GPS_DB_REPORT_FIX) {
            std::string tpv = TpvReportLine(0, device.c_str());
            if (tpv == lastTpv) return;
            printLine(reportOut, tpv);
            lastTpv = std::move(tpv);
        } else if (report == GPS_DB_REPORT_SKY) {
            printLine(reportOut, SkyReportLine(0, device.c_str()));
        }
    }
};
std::string JsonReports::device;
std::string JsonReports::lastTpv;

// The database's one report callback, for standard output and the server.
struct Reports {
    static bool json;
    static GpsdServer* server;

    static void made(int instance, int report) {
        if (json) JsonReports::print(instance, report);
        if (server != nullptr) server->report(instance, report);
    }
};
bool Reports::json = false;
GpsdServer* Reports::server = nullptr;

// SIGINT, SIGTERM and SIGHUP are blocked and taken from the descriptor this
// returns, which the loop waits on: a run ends between two passes, never in
// the middle of a line. -1 when the descriptor cannot be had; the signals then
// keep their default effect.
int stopSignalFd() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    const int fd = signalfd(-1, &stop, SFD_CLOEXEC);
    if (fd < 0) sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    return fd;
}

// What the user should know that is not a position: one line on standard
// error, or with --json an ERROR object among the reports.
void notice(bool json, const std::string& message) {
    if (json)
        printLine(reportOut, ErrorReportLine(message));
    else
        printLine(noticeOut, "gnssmon: " + message);
}

// Lines the reader of standard output did not take in time, said on standard
// error once the output flows again, and at the end of the run, which does
// not wait for a reader that is behind.
void tellDropped(bool atEnd) {
    if (!atEnd && reportOut->pending() != 0) return;
    const unsigned long dropped = reportOut->takeDropped();
    if (dropped != 0)
        printLine(noticeOut, "gnssmon: " + std::to_string(dropped) +
                                 " lines of output dropped: standard output was not read in time");
    if (atEnd && reportOut->pending() != 0)
        printLine(noticeOut, "gnssmon: " + std::to_string(reportOut->pending()) +
                                 " bytes of output not taken by the end of the run");
}

// What is wrong with the port, in one line.
std::string portProblem(const std::string& port, int error) {
    if (error == ENOTTY) return "refusing " + port + ": not a terminal, so not a serial line";
    return "cannot open " + port + ": " + std::strerror(error);
}

// Shortens a poll() timeout (-1: none) to `ms`.
void shortenTo(int& timeoutMs, long long ms) {
    const int bounded = static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
    if (timeoutMs < 0 || bounded < timeoutMs) timeoutMs = bounded;
}

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
        ("baud", po::value<std::string>(&o.baudText)->default_value("57600"), "port baud rate (default: 57600)")
        ("duration", po::value<double>(&o.duration)->default_value(kDefaultDurationS)->notifier([](double s) {
             if (!std::isfinite(s) || s < 0.0) {
                 std::ostringstream value;
                 value << s;
                 po::invalid_option_value refused(value.str());
                 refused.set_option_name("--duration");
                 throw refused;
             }
         }), "seconds to run (0: until SIGINT, SIGTERM or SIGHUP)")
        ("json", po::bool_switch(&o.json), "print each new fix as a JSON TPV object, and the satellites after each cycle of them as a SKY object, one per line")
        ("listen", po::value<std::string>(&o.listen), "serve the positions to gpsd clients (gpspipe, cgps, python3-gps) on TCP [ADDRESS:]PORT; ADDRESS 127.0.0.1 unless given")
        ("trace", "show every byte written to and read from the receiver on standard error");

    po::variables_map vm;
    try {
        po::store(po::parse_command_line(argc, argv, desc), vm);
        po::notify(vm);
    } catch (const po::error& e) {
        // An unknown option or a value that does not convert: say which, on one line.
        std::cout << Veltrio::Common::optionErrorText(e, argc, argv) << std::endl;
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

    std::unique_ptr<GpsdServer> server;
    if (vm.count("listen")) {
        boost::asio::ip::tcp::endpoint endpoint;
        if (!GpsdServer::parseListen(o.listen, endpoint)) {
            std::cout << "Invalid listen address: " << o.listen << std::endl;
            return 1;
        }
        try {
            server = std::make_unique<GpsdServer>(endpoint, o.port, o.baud);
        } catch (const boost::system::system_error& e) {
            std::cout << "Cannot listen on " << o.listen << ": " << e.code().message() << std::endl;
            return 1;
        }
    }

    const int signalFd = stopSignalFd();
    OutputQueue out(STDOUT_FILENO, reportStorage, kReportQueueBytes);
    OutputQueue err(STDERR_FILENO, noticeStorage, kNoticeQueueBytes);
    reportOut = &out;
    noticeOut = &err;

    if (vm.count("trace")) UartSetTraceHook(UartTraceBytes);

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
    // reopening it. A path that is not a terminal is: it would take the
    // commands as data. Nothing has been written to it.
    iGmsInit(0, &setup);
    if (iGmsGetUartError(0) == ENOTTY) {
        notice(o.json, portProblem(o.port, ENOTTY));
        return 1;
    }

    // With --json every line of the output is one JSON object: no echo.
    if (!o.json) {
        std::ostringstream echo;
        echo << "Configured rates: " << std::endl
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
        const std::string text = echo.str();
        out.put(text.data(), text.size());
    }

    JsonReports::device = o.port;
    Reports::json = o.json;
    Reports::server = server.get();
    if (o.json || server) GpsDbSetReportCallback(Reports::made);
    PositionPrinter printer;
    const auto started = std::chrono::steady_clock::now();
    bool lineHungUp = false;
    std::size_t overflowsTold = 0;
    uint32_t lineWatchedAgain = 0;
    bool toldIgnoresCommands = false;
    int toldPortError = 0;
    for (;;) {
        GmsProcess();
        if (!o.json) printer.printIfNew();
        // A port that does not open may yet (a USB receiver plugged in later):
        // the search keeps trying, and the user hears why once per reason.
        const int portError = iGmsGetUartError(0);
        if (portError != toldPortError) {
            if (portError != 0) notice(o.json, portProblem(o.port, portError) + " (trying again)");
            toldPortError = portError;
        }
        if (!toldIgnoresCommands && bGmsReceiverIgnoresCommands(0)) {
            toldIgnoresCommands = true;
            notice(o.json, "the receiver on " + o.port + " does not take \"$J\" commands: it is monitored as it is, at " +
                               std::to_string(dwGmsGetLineBaud(0)) + " baud");
        }

        int timeoutMs = -1;
        if (o.duration > 0.0) {
            const double left = o.duration - std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (left <= 0.0) break;
            shortenTo(timeoutMs, static_cast<long long>(std::min(std::ceil(left * 1000.0), 1e12)));
        }
        const uint32_t now = TimerTick();
        uint32_t due;
        if (bGmsGetNextActionTick(&due)) shortenTo(timeoutMs, static_cast<int32_t>(due - now));
        pollfd fds[5] = {{signalFd, POLLIN, 0},
                         {iGmsGetUartFd(0), POLLIN, 0},
                         {out.pending() ? out.fd() : -1, POLLOUT, 0},
                         {err.pending() ? err.fd() : -1, POLLOUT, 0},
                         {server ? server->pollFd() : -1, POLLIN, 0}};
        if (lineHungUp) {
            const int32_t pause = static_cast<int32_t>(lineWatchedAgain - now);
            lineHungUp = pause > 0;
            if (lineHungUp) {
                fds[1].fd = -1;
                shortenTo(timeoutMs, pause);
            }
        }
        poll(fds, 5, timeoutMs);  // EINTR and the like: one more pass
        if (fds[0].revents & POLLIN) break;  // SIGINT, SIGTERM or SIGHUP
        if (fds[4].revents & POLLIN) server->process();
        if (server && server->overflows() != overflowsTold) {
            overflowsTold = server->overflows();
            notice(o.json, "closed a gpsd client that did not read in time (" + std::to_string(overflowsTold) + " so far)");
        }
        out.flush();
        err.flush();
        tellDropped(false);
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lineHungUp = true;
            lineWatchedAgain = TimerTick() + kHangupPauseMs;
        }
    }
    // What the reader has not taken by now is given up: the end of the run
    // does not wait for it.
    out.flush();
    tellDropped(true);
    return 0;
}
