// gnssmon as a whole against the simulated receiver: CPU time, peak memory
// and position latency of full runs.
//
// The receiver (gnsssim's model, serviced on its own thread in this process)
// talks at 57600 baud; gnssmon is started with binary message 1 at 20 Hz and
// GPGGA, GPVTG, GPGST, HEROT and HEHDG at 10 Hz, and runs its 2000 polling
// passes. Its standard output comes back through a pipe, each line stamped
// with the monotonic clock when it arrives; the simulator stamps each binary
// message 1 when the write of its last byte returns. A printed position is
// matched to the message that carried it by its 12-digit text; the latency
// is the difference of the two stamps (so it includes the pipe to this
// process, and errs on the long side).
//
// CPU time (user and system) and peak resident memory are gnssmon's own,
// from wait4; the simulator's work is not in them.
//
// For comparison, three lighter runs: the same gnssmon against the receiver
// with no message switched on (search and configuration only), gnssmon with
// no receiver at all (a port that does not exist), and a process that does
// nothing but the 2000 sleeps of 5 ms.
//
// Output: one line per run, then "key value" lines that bench/run reads.

#include "bench/Spawned.h"
#include "tools/gnsssim/Simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct RunResult {
    double user = 0, sys = 0, wall = 0;
    long maxRssKiB = 0;
    int exitStatus = -1;
    std::size_t positionsSent = 0, linesPrinted = 0;
    std::vector<double> latenciesMs;
};

std::string printed(double lat, double lon)
{
    std::ostringstream o;
    o.precision(12);
    o << "LAT: " << lat << " LONG: " << lon;
    return o.str();
}

RunResult runOnce(const std::string& gnssmon, bool streaming = true)
{
    GnssSim::SimConfig config;
    config.model.baud = 57600;
    config.model.drive.speed = 12.0;  // every message 1 carries a new position
    GnssSim::Simulator sim(config);
    sim.start();

    std::vector<std::string> args = {gnssmon, "-p", sim.devicePath(), "--baud", "57600"};
    if (streaming) {
        for (const char* a : {"--bin1Rate", "20", "--ggaRate", "10", "--vtgRate", "10", "--gstRate", "10",
                              "--herotRate", "10", "--hehdgRate", "10"})
            args.push_back(a);
    }
    const Bench::Finished f = Bench::runToEnd(args);
    sim.stop();

    RunResult r;
    r.exitStatus = f.exitStatus;
    r.wall = f.wall;
    r.user = f.user;
    r.sys = f.sys;
    r.maxRssKiB = f.maxRssKiB;
    const std::vector<GnssSim::SentPosition> sent = sim.sentPositions();
    r.positionsSent = sent.size();
    std::map<std::string, Bench::Clock::time_point> sentAt;
    for (const GnssSim::SentPosition& s : sent) sentAt.emplace(printed(s.lat, s.lon), s.at);
    for (const auto& [text, at] : f.lines) {
        if (text.rfind("LAT: ", 0) != 0) continue;
        ++r.linesPrinted;
        const auto match = sentAt.find(text);
        if (match != sentAt.end())
            r.latenciesMs.push_back(std::chrono::duration<double, std::milli>(at - match->second).count());
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

// gnssmon's fixed run.
constexpr int kPasses = 2000;

double median(std::vector<double> v) { return percentile(std::move(v), 50); }

} // namespace

int main(int argc, char** argv)
{
    std::string gnssmon = "build/bin/gnssmon";
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--gnssmon") == 0) gnssmon = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
    }

    std::vector<double> cpu, user, sys, wall, rss, all;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        const RunResult r = runOnce(gnssmon);
        const double percent = 100.0 * (r.user + r.sys) / r.wall;
        std::printf("run %d: exit %d, wall %.2f s (%.2f ms per polling pass), user %.3f s, system %.3f s, CPU %.2f %%, max RSS %ld KiB, "
                    "%zu positions sent, %zu printed, %zu matched, latency median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                    i + 1, r.exitStatus, r.wall, r.wall * 1000.0 / kPasses, r.user, r.sys, percent, r.maxRssKiB, r.positionsSent,
                    r.linesPrinted, r.latenciesMs.size(), median(r.latenciesMs), percentile(r.latenciesMs, 99),
                    r.latenciesMs.empty() ? NAN : *std::max_element(r.latenciesMs.begin(), r.latenciesMs.end()));
        if (r.exitStatus != 0 || r.latenciesMs.empty()) ok = false;
        cpu.push_back(percent);
        user.push_back(r.user);
        sys.push_back(r.sys);
        wall.push_back(r.wall);
        rss.push_back(static_cast<double>(r.maxRssKiB));
        all.insert(all.end(), r.latenciesMs.begin(), r.latenciesMs.end());
    }
    // The floor: the same 2000 passes with no receiver (a port that does not
    // exist), so that nothing is read or decoded.
    const Bench::Finished idle = Bench::runToEnd({gnssmon, "-p", "/nonexistent/ttyGNSS"});
    const double idlePercent = 100.0 * (idle.user + idle.sys) / idle.wall;
    std::printf("no receiver: exit %d, wall %.2f s, user %.3f s, system %.3f s, CPU %.2f %%\n", idle.exitStatus,
                idle.wall, idle.user, idle.sys, idlePercent);
    std::printf("idle_cpu_percent %.2f\n", idlePercent);

    // The receiver found and configured, but no message switched on.
    const RunResult quiet = runOnce(gnssmon, false);
    const double quietPercent = 100.0 * (quiet.user + quiet.sys) / quiet.wall;
    std::printf("receiver, nothing switched on: exit %d, wall %.2f s, user %.3f s, system %.3f s, CPU %.2f %%\n",
                quiet.exitStatus, quiet.wall, quiet.user, quiet.sys, quietPercent);
    std::printf("configured_cpu_percent %.2f\n", quietPercent);

    // The machine's own price of the polling: a process that does nothing but
    // the same 2000 sleeps of 5 ms.
    const pid_t child = fork();
    if (child == 0) {
        for (int i = 0; i < kPasses; ++i) usleep(5000);
        _exit(0);
    }
    const Bench::Clock::time_point sleepStart = Bench::Clock::now();
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double sleepWall = std::chrono::duration<double>(Bench::Clock::now() - sleepStart).count();
    const double sleepPercent = 100.0 * (Bench::seconds(usage.ru_utime) + Bench::seconds(usage.ru_stime)) / sleepWall;
    std::printf("sleeps alone: wall %.2f s, user %.3f s, system %.3f s, CPU %.2f %%\n", sleepWall,
                Bench::seconds(usage.ru_utime), Bench::seconds(usage.ru_stime), sleepPercent);
    std::printf("sleep_cpu_percent %.2f\n", sleepPercent);

    // The run of median CPU share stands for the whole; latencies are pooled.
    std::printf("cpu_percent %.2f\n", median(cpu));
    std::printf("cpu_percent_max %.2f\n", *std::max_element(cpu.begin(), cpu.end()));
    std::printf("user_s %.3f\nsys_s %.3f\nwall_s %.2f\n", median(user), median(sys), median(wall));
    std::printf("peak_rss_kib %.0f\n", *std::max_element(rss.begin(), rss.end()));
    std::printf("latency_samples %zu\n", all.size());
    std::printf("latency_p50_ms %.2f\nlatency_p99_ms %.2f\n", median(all), percentile(all, 99));
    std::printf("latency_max_ms %.2f\n", all.empty() ? NAN : *std::max_element(all.begin(), all.end()));
    return ok ? 0 : 1;
}
