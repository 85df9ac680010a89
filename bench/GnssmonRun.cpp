// gnssmon as a whole against the simulated receiver, side by side with
// Debian's gpsd reading the same NMEA stream: CPU time, wake-ups, peak memory
// and position latency of full runs; with --long, one long run with the
// receiver's faults switched on and off; with --watchers N, gnssmon --listen
// and gpsd each with N clients watching their JSON reports.
//
// The receiver (gnsssim's model, serviced on its own thread in this process)
// talks at 57600 baud; gnssmon is started with binary message 1 at 20 Hz and
// GPGGA, GPVTG, GPGST, HEROT and HEHDG at 10 Hz. Every sentence the receiver
// writes (everything but its binary frames) is also written to a second
// pseudo-terminal that gpsd reads, with one JSON watcher connected to gpsd so
// that it reports each fix as gnssmon does. Each run gives both programs the
// same stream for the same time.
//
// gnssmon's standard output comes back through a pipe, each line stamped with
// the monotonic clock when it arrives; the simulator stamps each binary
// message 1 when the write of its last byte returns. A printed position is
// matched to the message that carried it by its 12-digit text; the latency
// is the difference of the two stamps (so it includes the pipe to this
// process, and errs on the long side).
//
// CPU time (user and system), voluntary context switches (the wake-ups of a
// program that sleeps in poll()) and peak resident memory are each program's
// own, from wait4; the simulator's work is not in them.
//
// Output: one line per run, then "key value" lines that bench/run reads.

#include "bench/Spawned.h"
#include "gnssmon/NmeaFields.h"
#include "tools/gnssproto/NmeaEncode.h"
#include "tools/gnsssim/Messages.h"
#include "tools/gnsssim/Simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Usage {
    double user = 0, sys = 0;
    long wakeUps = 0;  // voluntary context switches
    long maxRssKiB = 0;
};

// A field of /proc/PID/status ("voluntary_ctxt_switches", "VmRSS" in KiB);
// -1 once the process is gone.
long procStatus(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

// CPU time the process has had so far, s, to the nanosecond
// (/proc/PID/schedstat); -1 once it is gone.
double onCpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long ns = 0;
    return (in >> ns) ? static_cast<double>(ns) / 1e9 : -1.0;
}

// What a TPV object and the message it came from have in common. gnssmon's
// objects carry the time of binary message 1, to the millisecond; gpsd's
// have no time without a date (the receiver sends no RMC), so their latitude,
// to 1e-6 degrees (a tenth of a metre: the receiver moves 1.2 m between two
// GGA sentences), is matched to the GGA sentence's.
std::string timeKey(const std::string& tpv)
{
    const std::size_t at = tpv.find("\"time\":\"");
    return at == std::string::npos ? std::string() : tpv.substr(at + 8, 24);
}

std::string latitudeKey(double degrees)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", degrees);
    return text;
}

std::string latitudeKey(const std::string& tpv)
{
    const std::size_t at = tpv.find("\"lat\":");
    return at == std::string::npos ? std::string() : latitudeKey(std::atof(tpv.c_str() + at + 6));
}

// `count` gpsd clients on localhost:`port` that ask for JSON reports; one
// thread reads them all and stamps each TPV object as it arrives.
class Watchers {
public:
    Watchers(int port, int count)
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string watch = "?WATCH={\"enable\":true,\"json\":true};\n";
        for (int i = 0; i < count; ++i) {
            int fd = -1;
            for (int tries = 0; tries < 100 && fd < 0; ++tries) {
                fd = socket(AF_INET, SOCK_STREAM, 0);
                if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) break;
                close(fd);
                fd = -1;
                std::this_thread::sleep_for(50ms);
            }
            if (fd < 0) throw std::runtime_error("nothing listens on port " + std::to_string(port));
            if (::write(fd, watch.data(), watch.size()) != static_cast<ssize_t>(watch.size()))
                throw std::runtime_error("watcher");
            fds.push_back(fd);
        }
        reader = std::thread([this] { readAll(); });
    }

    ~Watchers() { stop(); }

    void stop()
    {
        for (const int fd : fds) shutdown(fd, SHUT_RDWR);
        if (reader.joinable()) reader.join();
        for (const int fd : fds) close(fd);
        fds.clear();
    }

    std::size_t reports() const { return tpvReports; }
    // Each TPV object that arrived, and when it came (after stop()).
    const std::vector<std::pair<std::string, Bench::Clock::time_point>>& arrivals() const { return arrived; }

private:
    void readAll()
    {
        std::vector<std::string> pending(fds.size());
        std::vector<pollfd> p;
        for (const int fd : fds) p.push_back({fd, POLLIN, 0});
        for (std::size_t open = fds.size(); open > 0;) {
            if (poll(p.data(), p.size(), 1000) <= 0) continue;
            const auto now = Bench::Clock::now();
            for (std::size_t i = 0; i < p.size(); ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buf[4096];
                const ssize_t n = ::read(fds[i], buf, sizeof buf);
                if (n <= 0) {
                    p[i].fd = -1;  // at its end
                    --open;
                    continue;
                }
                pending[i].append(buf, static_cast<std::size_t>(n));
                for (std::size_t end; (end = pending[i].find('\n')) != std::string::npos; pending[i].erase(0, end + 1)) {
                    const std::string line = pending[i].substr(0, end);
                    if (line.find("\"class\":\"TPV\"") == std::string::npos) continue;
                    ++tpvReports;
                    arrived.emplace_back(line, now);
                }
            }
        }
    }

    std::vector<int> fds;
    std::thread reader;
    std::atomic<std::size_t> tpvReports{0};
    std::vector<std::pair<std::string, Bench::Clock::time_point>> arrived;
};

// Debian's gpsd on a pseudo-terminal of its own, in the foreground, reading
// only (it writes nothing to the device), with `watchers` clients that ask
// for JSON reports and count the TPV objects they get. The time each GGA
// sentence was written to it is kept, by its latitude.
class Gpsd {
public:
    explicit Gpsd(int port, int watchers = 1)
    {
        termios raw{};
        cfmakeraw(&raw);
        char name[PATH_MAX] = {0};
        if (openpty(&master, &slave, name, &raw, nullptr) != 0) throw std::runtime_error("openpty");
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        chmod(name, 0666);  // gpsd gives up root before it opens the device
        control = "/tmp/gnssmon-bench-gpsd-" + std::to_string(getpid()) + ".sock";
        const std::string portText = std::to_string(port);
        std::vector<std::string> args = {"gpsd", "-N", "-n", "-b", "-S", portText, "-F", control, name};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawnp(&pid, "gpsd", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot start gpsd (bench/run installs it)");
        clients = std::make_unique<Watchers>(port, watchers);
    }

    ~Gpsd()
    {
        stop();
        close(master);
        close(slave);
    }

    // The receiver's sentences, as they went out to gnssmon.
    void feed(const std::string& bytes)
    {
        if (bytes.compare(0, 4, "$BIN") == 0) return;
        [[maybe_unused]] const ssize_t n = ::write(master, bytes.data(), bytes.size());
        // $GPGGA,235944.13,4916.4592836,N,...: the latitude ddmm.mmmmmmm
        const std::size_t lat = bytes.find(',', 7) + 1, hemisphere = bytes.find(',', lat) + 1;
        if (bytes.compare(0, 7, "$GPGGA,") == 0 && hemisphere > 0 && hemisphere < bytes.size()) {
            const double ddmm = std::atof(bytes.c_str() + lat);
            const double degrees = std::floor(ddmm / 100) + std::fmod(ddmm, 100) / 60;
            ggaAt.emplace(latitudeKey(bytes[hemisphere] == 'S' ? -degrees : degrees), Bench::Clock::now());
        }
        char sink[256];  // gpsd is read-only, but drain anything
        while (::read(master, sink, sizeof sink) > 0) {
        }
    }

    Usage stop()
    {
        if (pid <= 0) return usage;
        kill(pid, SIGTERM);
        int status = 0;
        rusage r{};
        wait4(pid, &status, 0, &r);
        pid = -1;
        usage = {Bench::seconds(r.ru_utime), Bench::seconds(r.ru_stime), r.ru_nvcsw, r.ru_maxrss};
        clients->stop();
        unlink(control.c_str());
        return usage;
    }

    std::size_t reports() const { return clients->reports(); }
    pid_t processId() const { return pid; }
    // Each TPV a watcher got, less when the GGA sentence of its time was
    // written (after stop()).
    std::vector<double> latenciesMs() const
    {
        std::vector<double> ms;
        for (const auto& [line, at] : clients->arrivals()) {
            const auto written = ggaAt.find(latitudeKey(line));
            if (written != ggaAt.end()) ms.push_back(std::chrono::duration<double, std::milli>(at - written->second).count());
        }
        return ms;
    }

private:
    int master = -1, slave = -1;
    pid_t pid = -1;
    std::string control;
    std::unique_ptr<Watchers> clients;
    std::map<std::string, Bench::Clock::time_point> ggaAt;
    Usage usage;
};

struct RunResult {
    double wall = 0;
    Usage gnssmon, gpsd;
    // CPU share once the receiver is configured and streaming, to the end
    // of the run: without the start-up of either program.
    double steadyPercent = NAN, gpsdSteadyPercent = NAN;
    int exitStatus = -1;
    std::size_t positionsSent = 0, linesPrinted = 0, gpsdReports = 0;
    std::vector<double> latenciesMs;
};

std::string printed(double lat, double lon)
{
    std::ostringstream o;
    o.precision(12);
    o << "LAT: " << lat << " LONG: " << lon;
    return o.str();
}

const std::vector<std::string> kStreaming = {"--bin1Rate", "20", "--ggaRate", "10", "--vtgRate", "10",
                                             "--gstRate", "10", "--herotRate", "10", "--hehdgRate", "10"};

int gpsdPort()
{
    return 20000 + static_cast<int>(getpid() % 20000);
}

// The CPU shares of gnssmon (`pid`) and gpsd once the receiver is configured
// and streaming, to the end of a 10 s run, measured on a thread of its own.
std::thread steadyShares(GnssSim::Simulator& sim, Gpsd& gpsd, pid_t pid, double& own, double& peer)
{
    return std::thread([&sim, &gpsd, pid, &own, &peer] {
        const auto end = Bench::Clock::now() + 9500ms;
        if (!sim.waitForLine("$JBAUD,57600,PORTD", 8s)) return;
        std::this_thread::sleep_for(500ms);
        const auto from = Bench::Clock::now();
        const double ownFrom = onCpuSeconds(pid), peerFrom = onCpuSeconds(gpsd.processId());
        std::this_thread::sleep_until(end);
        const double window = std::chrono::duration<double>(Bench::Clock::now() - from).count();
        own = 100.0 * (onCpuSeconds(pid) - ownFrom) / window;
        peer = 100.0 * (onCpuSeconds(gpsd.processId()) - peerFrom) / window;
    });
}

// One run of gnssmon (text or --json) against the streaming receiver, gpsd
// reading the same sentences.
RunResult streamingRun(const std::string& gnssmon, bool json)
{
    Gpsd gpsd(gpsdPort());
    GnssSim::SimConfig config;
    config.model.baud = 57600;
    config.model.drive.speed = 12.0;  // every message 1 carries a new position
    config.onSent = [&gpsd](const std::string& bytes) { gpsd.feed(bytes); };
    GnssSim::Simulator sim(config);
    sim.start();

    std::vector<std::string> args = {gnssmon, "-p", sim.devicePath(), "--baud", "57600"};
    args.insert(args.end(), kStreaming.begin(), kStreaming.end());
    if (json) args.push_back("--json");
    RunResult r;
    std::thread steady;
    const Bench::Finished f = Bench::runToEnd(args, [&](pid_t pid) {
        steady = steadyShares(sim, gpsd, pid, r.steadyPercent, r.gpsdSteadyPercent);
    });
    if (steady.joinable()) steady.join();
    sim.stop();

    r.gpsd = gpsd.stop();
    r.gpsdReports = gpsd.reports();
    r.exitStatus = f.exitStatus;
    r.wall = f.wall;
    r.gnssmon = {f.user, f.sys, f.voluntarySwitches, f.maxRssKiB};
    const std::vector<GnssSim::SentPosition> sent = sim.sentPositions();
    r.positionsSent = sent.size();
    std::map<std::string, Bench::Clock::time_point> sentAt;
    for (const GnssSim::SentPosition& s : sent) sentAt.emplace(printed(s.lat, s.lon), s.at);
    for (const auto& [text, at] : f.lines) {
        if (text.rfind(json ? "{" : "LAT: ", 0) != 0) continue;
        ++r.linesPrinted;
        const auto match = sentAt.find(text);
        if (match != sentAt.end())
            r.latenciesMs.push_back(std::chrono::duration<double, std::milli>(at - match->second).count());
    }
    return r;
}

// `watchers` gpsd clients on gnssmon --listen and as many on gpsd, both
// given the same stream: CPU while streaming and latency from the write of
// the message that carried a fix (binary message 1 for gnssmon, GGA for
// gpsd) to the TPV object's arrival at each watcher.
struct ServedResult {
    int exitStatus = -1;
    double steadyPercent = NAN, gpsdSteadyPercent = NAN;
    std::size_t reports = 0, gpsdReports = 0;
    std::vector<double> latenciesMs, gpsdLatenciesMs;
};

ServedResult servedRun(const std::string& gnssmon, int watchers)
{
    Gpsd gpsd(gpsdPort(), watchers);
    GnssSim::SimConfig config;
    config.model.baud = 57600;
    config.model.drive.speed = 12.0;
    config.onSent = [&gpsd](const std::string& bytes) { gpsd.feed(bytes); };
    GnssSim::Simulator sim(config);
    sim.start();

    const int port = gpsdPort() + 1;
    std::vector<std::string> args = {gnssmon, "-p", sim.devicePath(), "--baud", "57600", "--listen", std::to_string(port)};
    args.insert(args.end(), kStreaming.begin(), kStreaming.end());
    ServedResult r;
    std::unique_ptr<Watchers> clients;
    std::thread steady;
    const Bench::Finished f = Bench::runToEnd(args, [&](pid_t pid) {
        clients = std::make_unique<Watchers>(port, watchers);
        steady = steadyShares(sim, gpsd, pid, r.steadyPercent, r.gpsdSteadyPercent);
    });
    if (steady.joinable()) steady.join();
    sim.stop();
    gpsd.stop();
    clients->stop();
    r.exitStatus = f.exitStatus;
    r.reports = clients->reports();
    r.gpsdReports = gpsd.reports();
    r.gpsdLatenciesMs = gpsd.latenciesMs();
    std::map<std::string, Bench::Clock::time_point> sentAt;
    for (const GnssSim::SentPosition& s : sim.sentPositions()) sentAt.emplace(GnssSim::utcText(s.fix), s.at);
    for (const auto& [line, at] : clients->arrivals()) {
        const auto sent = sentAt.find(timeKey(line));
        if (sent != sentAt.end()) r.latenciesMs.push_back(std::chrono::duration<double, std::milli>(at - sent->second).count());
    }
    return r;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    // Nearest rank.
    const std::size_t rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size())));
    return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

double median(std::vector<double> v) { return percentile(std::move(v), 50); }

double cpuPercent(const Usage& u, double wall) { return 100.0 * (u.user + u.sys) / wall; }

// gnssmon's wake-ups over `window` on a line that says nothing, counted from
// `after` on: with a receiver that was configured and sends nothing (the
// manager's only deadline is its watchdog, 30 s after the last reply), or
// with a receiver that never answers (the link search: a probe, 400 ms, a
// change of rate, 100 ms, so two deadlines every 500 ms).
long quietWakeUps(const std::string& gnssmon, bool configured, std::chrono::seconds window)
{
    GnssSim::SimConfig config;
    config.model.silent = !configured;
    GnssSim::Simulator sim(config);
    sim.start();
    long counted = -1;
    std::thread watch;
    Bench::runToEnd({gnssmon, "-p", sim.devicePath(), "--duration", std::to_string(window.count() + 8)},
                    [&](pid_t pid) {
                        watch = std::thread([&, pid] {
                            if (configured) {
                                if (!sim.waitForLine("$JBAUD,57600,PORTD", 30s)) return;
                            } else {
                                std::this_thread::sleep_for(2s);
                            }
                            std::this_thread::sleep_for(200ms);  // the pass that sent it is over
                            const long before = procStatus(pid, "voluntary_ctxt_switches");
                            std::this_thread::sleep_for(window);
                            const long after = procStatus(pid, "voluntary_ctxt_switches");
                            if (before >= 0 && after >= 0) counted = after - before;
                        });
                    });
    if (watch.joinable()) watch.join();
    sim.stop();
    return counted;
}

// NMEA arriving as a UART delivers it: 5760 bytes a second (57600 baud, 8N1,
// the line never idle) in small pieces every 4 ms, not in whole sentences.
// The same pieces go to gnssmon's pseudo-terminal and to gpsd's. The stream
// is epochs of GPGGA, GPVTG, GPGST, HEROT and HEHDG along the drive (12 m/s,
// every GGA a new position); gnssmon, which gets no answer to "$J", monitors
// the line as it is and prints each position from GGA. The CPU of both is
// taken from 2 s to 9.5 s of the 10 s run (without start-up), and each GGA's
// latency from the write of the piece with its last byte to gnssmon's line.
struct TrickleResult {
    double gnssmonPercent = NAN, gpsdPercent = NAN;
    long wakeUps = 0;
    std::vector<double> latenciesMs;
};

constexpr double kTrickleBytesPerSecond = 5760.0;
constexpr auto kTricklePeriod = 4ms;

TrickleResult trickleRun(const std::string& gnssmon)
{
    Gpsd gpsd(gpsdPort());
    int master = -1, slave = -1;
    char name[PATH_MAX] = {0};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) throw std::runtime_error("openpty");
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);

    GnssSim::DriveConfig driveConfig;
    driveConfig.speed = 12.0;
    const GnssSim::Drive drive(driveConfig);
    std::string stream;  // bytes not yet written
    struct Gga {
        std::size_t end;  // stream offset just past its last byte
        std::string printed;
    };
    std::vector<Gga> pendingGga;
    std::map<std::string, Bench::Clock::time_point> ggaWritten;
    std::size_t offset = 0;  // stream offset of stream[0]
    int epoch = 0;
    const auto nextEpoch = [&] {
        const GnssSim::Fix fix = drive.at(0.1 * epoch++);
        const std::string gga = GnssProto::nmeaSentence(GnssSim::ggaBody(fix));
        // The position as gnssmon reads it from the sentence.
        char hemiLat = 0, hemiLon = 0;
        double lat = 0, lon = 0;
        std::sscanf(gga.c_str(), "$GPGGA,%*[^,],%lf,%c,%lf,%c", &lat, &hemiLat, &lon, &hemiLon);
        lat = dXlateGgaLatLon(lat) * (hemiLat == 'S' ? -1 : 1);
        lon = dXlateGgaLatLon(lon) * (hemiLon == 'W' ? -1 : 1);
        pendingGga.push_back({offset + stream.size() + gga.size(), printed(lat, lon)});
        stream += gga;
        for (const std::string& body : {GnssSim::vtgBody(fix), GnssSim::gstBody(fix), GnssSim::herotBody(fix),
                                        GnssSim::hehdgBody(fix)})
            stream += GnssProto::nmeaSentence(body);
    };

    std::atomic<bool> over{false};
    std::thread feeder, steady;
    TrickleResult r;
    const Bench::Finished f = Bench::runToEnd({gnssmon, "-p", name, "--duration", "10"}, [&](pid_t pid) {
        feeder = std::thread([&] {
            const auto start = Bench::Clock::now();
            double written = 0;
            for (auto next = start; !over; next += kTricklePeriod) {
                std::this_thread::sleep_until(next);
                const double due = std::chrono::duration<double>(Bench::Clock::now() - start).count() * kTrickleBytesPerSecond;
                const std::size_t n = static_cast<std::size_t>(due - written);
                if (n == 0) continue;
                while (stream.size() < n) nextEpoch();
                const std::string piece = stream.substr(0, n);
                [[maybe_unused]] const ssize_t w = ::write(master, piece.data(), piece.size());
                const auto at = Bench::Clock::now();
                gpsd.feed(piece);
                char sink[256];  // gnssmon's probes
                while (::read(master, sink, sizeof sink) > 0) {
                }
                stream.erase(0, n);
                offset += n;
                written += static_cast<double>(n);
                while (!pendingGga.empty() && pendingGga.front().end <= offset) {
                    ggaWritten.emplace(pendingGga.front().printed, at);
                    pendingGga.erase(pendingGga.begin());
                }
            }
        });
        steady = std::thread([&, pid] {
            std::this_thread::sleep_for(2s);
            const auto from = Bench::Clock::now();
            const double own = onCpuSeconds(pid), peer = onCpuSeconds(gpsd.processId());
            const long wakeUps = procStatus(pid, "voluntary_ctxt_switches");
            std::this_thread::sleep_for(7500ms);
            const double window = std::chrono::duration<double>(Bench::Clock::now() - from).count();
            r.gnssmonPercent = 100.0 * (onCpuSeconds(pid) - own) / window;
            r.gpsdPercent = 100.0 * (onCpuSeconds(gpsd.processId()) - peer) / window;
            r.wakeUps = procStatus(pid, "voluntary_ctxt_switches") - wakeUps;
        });
    });
    steady.join();
    over = true;
    feeder.join();
    gpsd.stop();
    close(master);
    close(slave);
    for (const auto& [text, at] : f.lines) {
        const auto sent = ggaWritten.find(text);
        if (sent != ggaWritten.end())
            r.latenciesMs.push_back(std::chrono::duration<double, std::milli>(at - sent->second).count());
    }
    return r;
}

// The long run: gnssmon for `seconds` while the receiver's faults go on and
// off. Every minute: 20 s clean, 5 s of wrong checksums, 10 s clean, 10 s
// silent, 15 s clean; in the sixth minute a silence of 45 s instead, which
// the link watchdog (30 s) answers with a new search and configuration.
void longRun(const std::string& gnssmon, int seconds)
{
    GnssSim::SimConfig config;
    config.model.baud = 57600;
    config.model.drive.speed = 12.0;
    config.model.drive.turnRate = 1.0;
    GnssSim::Simulator sim(config);
    sim.start();

    std::atomic<bool> over{false};
    std::vector<std::pair<double, long>> rss;  // (s since start, KiB)
    std::thread faults, sampler;
    const auto start = Bench::Clock::now();
    const auto since = [&] { return std::chrono::duration<double>(Bench::Clock::now() - start).count(); };
    std::vector<std::string> args = {gnssmon, "-p", sim.devicePath(), "--baud", "57600", "--duration",
                                     std::to_string(seconds)};
    args.insert(args.end(), kStreaming.begin(), kStreaming.end());
    const Bench::Finished f = Bench::runToEnd(args, [&](pid_t pid) {
        faults = std::thread([&] {
            while (!over) {
                const double t = since();
                const int minute = static_cast<int>(t / 60);
                const double s = t - minute * 60;
                const bool longSilence = minute == 5 && s >= 5 && s < 50;
                sim.setCorruptChecksums(!longSilence && s >= 20 && s < 25);
                sim.setSilent(longSilence || (minute != 5 && s >= 35 && s < 45));
                std::this_thread::sleep_for(100ms);
            }
        });
        sampler = std::thread([&, pid] {
            while (!over) {
                const long kib = procStatus(pid, "VmRSS");
                if (kib > 0) rss.emplace_back(since(), kib);
                std::this_thread::sleep_for(1s);
            }
        });
    });
    const double ended = since();
    over = true;
    faults.join();
    sampler.join();
    sim.stop();

    // Every position sent whole with a right checksum while gnssmon ran (but
    // the last 100 ms, which it may not have had time to read) must be
    // printed; nothing else may be.
    std::set<std::string> lines;
    for (const auto& line : f.lines)
        if (line.first.rfind("LAT: ", 0) == 0) lines.insert(line.first);
    std::size_t intact = 0, corrupted = 0, missing = 0;
    std::set<std::string> intactText;
    for (const GnssSim::SentPosition& p : sim.sentPositions()) {
        const std::string text = printed(p.lat, p.lon);
        if (!p.corrupted) intactText.insert(text);
        if (std::chrono::duration<double>(p.at - start).count() > ended - 0.1) continue;
        if (p.corrupted) {
            ++corrupted;
            continue;
        }
        ++intact;
        if (!lines.count(text) && ++missing <= 20)
            std::printf("not printed: the position sent at %.3f s\n", std::chrono::duration<double>(p.at - start).count());
    }
    std::size_t unsent = 0;
    for (const std::string& l : lines)
        if (!intactText.count(l)) ++unsent;
    long first = 0, last = 0, peak = 0;
    for (const auto& [t, kib] : rss) {
        if (t >= 10 && first == 0) first = kib;
        last = kib;
        peak = std::max(peak, kib);
    }
    std::printf("long run: exit %d, wall %.1f s, user %.3f s, system %.3f s, CPU %.3f %%, wake-ups %ld, max RSS %ld KiB; "
                "%zu positions sent whole, %zu sent with a wrong checksum, %zu lines printed, %zu sent whole but not "
                "printed, %zu printed but not sent whole; RSS at 10 s %ld KiB, at the end %ld KiB, highest sample %ld KiB\n",
                f.exitStatus, f.wall, f.user, f.sys, 100.0 * (f.user + f.sys) / f.wall, f.voluntarySwitches,
                f.maxRssKiB, intact, corrupted, lines.size(), missing, unsent, first, last, peak);
    std::printf("long_exit %d\nlong_wall_s %.1f\nlong_cpu_percent %.3f\nlong_max_rss_kib %ld\nlong_sent %zu\n"
                "long_corrupted %zu\nlong_missing %zu\nlong_unsent %zu\nlong_rss_start_kib %ld\nlong_rss_end_kib %ld\n",
                f.exitStatus, f.wall, 100.0 * (f.user + f.sys) / f.wall, f.maxRssKiB, intact, corrupted, missing,
                unsent, first, last);
}

} // namespace

int main(int argc, char** argv)
{
    std::string gnssmon = "build/bin/gnssmon";
    int runs = 3;
    int longSeconds = 0;
    int watchers = 0;
    bool trickle = false;   // only the NMEA stream in small pieces, beside gpsd
    bool textOnly = false;  // a gnssmon from before --json and --duration: its text runs alone
    for (int i = 1; i < argc; ++i) {
        const bool valued = i + 1 < argc;
        if (std::strcmp(argv[i], "--text-only") == 0) textOnly = true;
        else if (std::strcmp(argv[i], "--trickle") == 0) trickle = true;
        else if (valued && std::strcmp(argv[i], "--gnssmon") == 0) gnssmon = argv[++i];
        else if (valued && std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[++i]);
        else if (valued && std::strcmp(argv[i], "--long") == 0) longSeconds = std::atoi(argv[++i]);
        else if (valued && std::strcmp(argv[i], "--watchers") == 0) watchers = std::atoi(argv[++i]);
    }
    if (watchers > 0) {
        std::vector<double> own, peer, latency, gpsdLatency;
        bool ok = true;
        for (int i = 0; i < runs; ++i) {
            const ServedResult r = servedRun(gnssmon, watchers);
            std::printf("run %d, %d watchers: exit %d; gnssmon --listen: CPU while streaming %.3f %%, %zu TPV objects "
                        "received, latency median %.3f ms, p99 %.3f ms; gpsd: CPU while streaming %.3f %%, %zu TPV "
                        "objects received, latency median %.3f ms, p99 %.3f ms\n",
                        i + 1, watchers, r.exitStatus, r.steadyPercent, r.reports, median(r.latenciesMs),
                        percentile(r.latenciesMs, 99), r.gpsdSteadyPercent, r.gpsdReports, median(r.gpsdLatenciesMs),
                        percentile(r.gpsdLatenciesMs, 99));
            if (r.exitStatus != 0 || r.latenciesMs.empty() || r.gpsdLatenciesMs.empty()) ok = false;
            own.push_back(r.steadyPercent);
            peer.push_back(r.gpsdSteadyPercent);
            latency.insert(latency.end(), r.latenciesMs.begin(), r.latenciesMs.end());
            gpsdLatency.insert(gpsdLatency.end(), r.gpsdLatenciesMs.begin(), r.gpsdLatenciesMs.end());
        }
        std::printf("served_cpu_percent %.3f\nserved_gpsd_cpu_percent %.3f\nserved_latency_p50_ms %.3f\n"
                    "served_latency_p99_ms %.3f\nserved_gpsd_latency_p50_ms %.3f\nserved_gpsd_latency_p99_ms %.3f\n"
                    "served_samples %zu\nserved_gpsd_samples %zu\n",
                    median(own), median(peer), median(latency), percentile(latency, 99), median(gpsdLatency),
                    percentile(gpsdLatency, 99), latency.size(), gpsdLatency.size());
        return ok ? 0 : 1;
    }
    if (longSeconds > 0) {
        longRun(gnssmon, longSeconds);
        return 0;
    }
    if (trickle) {
        std::vector<double> own, peer, ratio, all;
        for (int i = 0; i < runs; ++i) {
            const TrickleResult t = trickleRun(gnssmon);
            std::printf("trickle run %d: gnssmon %.3f %%, gpsd %.3f %% (%.2fx), gnssmon wake-ups %.1f per s, %zu positions, "
                        "latency median %.3f ms, p99 %.3f ms\n",
                        i + 1, t.gnssmonPercent, t.gpsdPercent, t.gnssmonPercent / t.gpsdPercent,
                        static_cast<double>(t.wakeUps) / 7.5, t.latenciesMs.size(), median(t.latenciesMs),
                        percentile(t.latenciesMs, 99));
            own.push_back(t.gnssmonPercent);
            peer.push_back(t.gpsdPercent);
            ratio.push_back(t.gnssmonPercent / t.gpsdPercent);
            all.insert(all.end(), t.latenciesMs.begin(), t.latenciesMs.end());
        }
        std::printf("trickle_cpu_percent %.3f\ntrickle_gpsd_cpu_percent %.3f\ntrickle_ratio %.2f\n"
                    "trickle_latency_samples %zu\ntrickle_latency_p50_ms %.3f\ntrickle_latency_p99_ms %.3f\n",
                    median(own), median(peer), median(ratio), all.size(), median(all), percentile(all, 99));
        return all.empty() ? 1 : 0;
    }

    std::vector<double> cpu, jsonCpu, gpsdCpu, steady, jsonSteady, gpsdSteady, user, sys, wall, rss, wakeUpRate, all;
    std::size_t gpsdReports = 0;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        for (const bool json : {false, true}) {
            if (json && textOnly) continue;
            const RunResult r = streamingRun(gnssmon, json);
            const double percent = cpuPercent(r.gnssmon, r.wall);
            const double gpsdPercent = cpuPercent(r.gpsd, r.wall);
            std::printf("run %d%s: exit %d, wall %.2f s, user %.3f s, system %.3f s, CPU %.3f %%, %ld wake-ups, max RSS "
                        "%ld KiB, %zu positions sent, %zu printed, latency median %.3f ms, p99 %.3f ms, max %.3f ms; "
                        "gpsd: user %.3f s, system %.3f s, CPU %.3f %%, %ld wake-ups, %zu TPV reports; streaming only: "
                        "gnssmon %.3f %%, gpsd %.3f %%\n",
                        i + 1, json ? " --json" : "", r.exitStatus, r.wall, r.gnssmon.user, r.gnssmon.sys, percent,
                        r.gnssmon.wakeUps, r.gnssmon.maxRssKiB, r.positionsSent, r.linesPrinted,
                        median(r.latenciesMs), percentile(r.latenciesMs, 99),
                        r.latenciesMs.empty() ? NAN : *std::max_element(r.latenciesMs.begin(), r.latenciesMs.end()),
                        r.gpsd.user, r.gpsd.sys, gpsdPercent, r.gpsd.wakeUps, r.gpsdReports, r.steadyPercent,
                        r.gpsdSteadyPercent);
            if (r.exitStatus != 0 || r.linesPrinted == 0 || r.gpsdReports == 0) ok = false;
            (json ? jsonCpu : cpu).push_back(percent);
            gpsdCpu.push_back(gpsdPercent);
            (json ? jsonSteady : steady).push_back(r.steadyPercent);
            gpsdSteady.push_back(r.gpsdSteadyPercent);
            gpsdReports += r.gpsdReports;
            if (!json) {
                if (r.latenciesMs.empty()) ok = false;
                user.push_back(r.gnssmon.user);
                sys.push_back(r.gnssmon.sys);
                wall.push_back(r.wall);
                wakeUpRate.push_back(static_cast<double>(r.gnssmon.wakeUps) / r.wall);
                all.insert(all.end(), r.latenciesMs.begin(), r.latenciesMs.end());
            }
            rss.push_back(static_cast<double>(r.gnssmon.maxRssKiB));
        }
    }
    if (textOnly) {
        std::printf("cpu_percent %.3f\ngpsd_cpu_percent %.3f\nsteady_cpu_percent %.3f\ngpsd_steady_cpu_percent %.3f\n"
                    "wakeups_per_s %.1f\npeak_rss_kib %.0f\nlatency_samples %zu\nlatency_p50_ms %.3f\n"
                    "latency_p99_ms %.3f\n",
                    median(cpu), median(gpsdCpu), median(steady), median(gpsdSteady), median(wakeUpRate),
                    *std::max_element(rss.begin(), rss.end()), all.size(), median(all), percentile(all, 99));
        return ok ? 0 : 1;
    }
    // The floor: no receiver at all (a port that does not exist), so that
    // nothing is read or decoded, only the link search runs.
    const Bench::Finished idle = Bench::runToEnd({gnssmon, "-p", "/nonexistent/ttyGNSS"});
    const double idlePercent = 100.0 * (idle.user + idle.sys) / idle.wall;
    std::printf("no receiver: exit %d, wall %.2f s, user %.3f s, system %.3f s, CPU %.3f %%, %ld wake-ups\n",
                idle.exitStatus, idle.wall, idle.user, idle.sys, idlePercent, idle.voluntarySwitches);

    const long quiet = quietWakeUps(gnssmon, true, 10s);
    const long silent = quietWakeUps(gnssmon, false, 10s);
    std::printf("wake-ups in 10 s: configured receiver that sends nothing %ld (manager deadlines: 0), "
                "receiver that never answers %ld (manager deadlines: 40)\n", quiet, silent);

    std::printf("cpu_percent %.3f\njson_cpu_percent %.3f\ngpsd_cpu_percent %.3f\ngpsd_reports %zu\n", median(cpu),
                median(jsonCpu), median(gpsdCpu), gpsdReports);
    std::printf("steady_cpu_percent %.3f\njson_steady_cpu_percent %.3f\ngpsd_steady_cpu_percent %.3f\n",
                median(steady), median(jsonSteady), median(gpsdSteady));
    std::printf("cpu_percent_max %.3f\n", std::max(*std::max_element(cpu.begin(), cpu.end()),
                                                   *std::max_element(jsonCpu.begin(), jsonCpu.end())));
    std::printf("user_s %.3f\nsys_s %.3f\nwall_s %.2f\n", median(user), median(sys), median(wall));
    std::printf("wakeups_per_s %.1f\n", median(wakeUpRate));
    std::printf("idle_cpu_percent %.3f\n", idlePercent);
    std::printf("quiet_wakeups %ld\nsilent_wakeups %ld\n", quiet, silent);
    std::printf("peak_rss_kib %.0f\n", *std::max_element(rss.begin(), rss.end()));
    std::printf("latency_samples %zu\n", all.size());
    std::printf("latency_p50_ms %.3f\nlatency_p99_ms %.3f\n", median(all), percentile(all, 99));
    std::printf("latency_max_ms %.3f\n", all.empty() ? NAN : *std::max_element(all.begin(), all.end()));
    return ok ? 0 : 1;
}
