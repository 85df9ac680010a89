// gnssmon against real receivers: each capture of tests/gnssmon/captures is
// replayed through a pty as a receiver that answers no "$J", and gnssmon's
// --json output is compared with the reference decoding beside the capture
// (the GNSS daemon's own, one JSON object per line after the sentence that
// produced it).
//
// TPV: every report of the daemon with a fix must have a gnssmon TPV with the
// same position (1e-6 degrees), time of day, mode and height (0.1 m); the
// daemon's last report of each epoch (the sentences with one time of day),
// which holds what all of them said, also the same speed (0.01 m/s) and
// track (0.1 degree; gnssmon leaves the track out below its course cut-off).
// Only the last report's speed counts: in the middle of an epoch the daemon
// reports a speed it computed from successive positions, which no sentence
// gave. The date is not compared: the daemon dates one capture 2034.
//
// SKY: every report of the daemon after a whole cycle of GSV messages must
// have a gnssmon SKY, in the same order, listing the same satellites of the
// cycle's constellations (gnssid, svid, PRN, elevation, azimuth, signal
// level). `used` is not compared: the daemon clears it at the first cycle of
// an epoch, gnssmon keeps the newest fix's.

#include "tests/support/Program.h"
#include "tools/nmeareplay/Replayer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

std::string capturePath(const std::string& name) {
    return std::string(VELTRIO_CAPTURES_DIR) + "/" + name;
}

// A last fix that no capture holds: gnssmon has decoded everything before it
// once its TPV is out.
const char* const kLastFix = "$GPGGA,235959.00,0100.000000,N,00100.000000,E,1,08,1.0,10.0,M,0.0,M,,*65";

std::vector<json> replay(const std::string& capture) {
    std::vector<std::string> lines = NmeaReplay::captureLines(capturePath(capture));
    lines.push_back(kLastFix);
    NmeaReplay::Replayer receiver;
    TestSupport::BackgroundProgram gnssmon(TestSupport::programPath("gnssmon"),
                                           {"--json", "--duration", "0", "-p", receiver.devicePath()});
    bool played = false;
    std::thread feeder([&] { played = receiver.waitForHost(30s) && receiver.play(lines, 30s); });
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (gnssmon.out.find("\"lat\":1.0,\"lon\":1.0") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        if (!gnssmon.waitForOutput(1s) && gnssmon.readAvailable()) break;  // ended
    gnssmon.wait(SIGTERM);
    feeder.join();
    EXPECT_TRUE(played) << capture;
    std::vector<json> objects;
    std::size_t start = 0, end;
    while ((end = gnssmon.out.find('\n', start)) != std::string::npos) {
        objects.push_back(json::parse(gnssmon.out.substr(start, end - start)));
        start = end + 1;
    }
    return objects;
}

struct Reference {
    struct Fix {
        json tpv;
        bool lastOfEpoch;
    };
    std::vector<Fix> fixes;
    std::vector<std::pair<std::string, json>> skies;  // talker of the whole cycle, report
};

// The sentence's formatter and talker: "$GNRMC" gives "RMC" and "GN".
std::string formatter(const std::string& s) { return s.size() >= 6 ? s.substr(3, 3) : ""; }

std::vector<std::string> fields(const std::string& sentence) {
    std::vector<std::string> f;
    std::size_t start = 0;
    const std::string body = sentence.substr(0, sentence.find('*'));
    for (std::size_t comma; (comma = body.find(',', start)) != std::string::npos; start = comma + 1)
        f.push_back(body.substr(start, comma - start));
    f.push_back(body.substr(start));
    return f;
}

Reference reference(const std::string& capture) {
    Reference r;
    std::ifstream in(capturePath(capture + ".chk"));
    std::string line, epoch, cycleTalker;
    std::vector<std::string> fixEpochs;
    std::map<std::string, bool> cycleStarted;
    bool wholeCycle = false;
    while (std::getline(in, line)) {
        if (line.rfind("{", 0) == 0) {
            const json o = json::parse(line);
            if (o["class"] == "TPV" && o.value("mode", 0) >= 2 && o.contains("lat")) {
                r.fixes.push_back({o, true});
                fixEpochs.push_back(epoch);
            } else if (o["class"] == "SKY" && o.contains("satellites") && wholeCycle) {
                r.skies.emplace_back(cycleTalker, o);
            }
            continue;
        }
        const std::vector<std::string> f = fields(line);
        const std::string kind = formatter(line);
        if ((kind == "GGA" || kind == "RMC" || kind == "GNS" || kind == "ZDA") && f.size() > 1 && !f[1].empty()) epoch = f[1];
        if (kind == "GLL" && f.size() > 5 && !f[5].empty()) epoch = f[5];
        wholeCycle = false;
        if (kind == "GSV" && f.size() > 2) {
            cycleTalker = line.substr(1, 2);
            if (f[2] == "1") cycleStarted[cycleTalker] = true;
            if (f[1] == f[2]) {
                wholeCycle = cycleStarted[cycleTalker];
                cycleStarted[cycleTalker] = false;
            }
        }
    }
    for (std::size_t i = 0; i + 1 < r.fixes.size(); ++i) r.fixes[i].lastOfEpoch = fixEpochs[i] != fixEpochs[i + 1];
    return r;
}

bool near(const json& a, const json& b, const char* field, double resolution) {
    return std::fabs(a[field].get<double>() - b[field].get<double>()) <= resolution * 1.0001;
}

bool sameFix(const json& ref, const json& ours, bool lastOfEpoch) {
    if (!ours.contains("lat") || !near(ref, ours, "lat", 1e-6) || !near(ref, ours, "lon", 1e-6)) return false;
    if (ref.contains("time") && ours.contains("time") &&
        ref["time"].get<std::string>().substr(10) != ours["time"].get<std::string>().substr(10))
        return false;
    if (ref["mode"] != ours["mode"]) return false;
    if (ref.contains("alt") && ref["mode"] == 3 && !(ours.contains("alt") && near(ref, ours, "alt", 0.1))) return false;
    if (!lastOfEpoch) return true;
    if (ref.contains("speed") && !(ours.contains("speed") && near(ref, ours, "speed", 0.01))) return false;
    return !(ref.contains("track") && ours.contains("track") && !near(ref, ours, "track", 0.1));
}

// The constellations a talker's cycle lists (the GPS talker's numbers also
// name SBAS and QZSS satellites).
std::set<int> constellationsOf(const std::string& talker) {
    static const std::map<std::string, std::set<int>> kByTalker = {
        {"GP", {0, 1, 5}}, {"GL", {6}}, {"GA", {2}}, {"GB", {3}}, {"BD", {3}}, {"PQ", {3}},
        {"GQ", {5}},       {"QZ", {5}}, {"GI", {7}}, {"GN", {0, 1, 2, 3, 5, 6, 7}},
    };
    return kByTalker.at(talker);
}

using Satellite = std::tuple<int, int, int, double, double, double>;
std::set<Satellite> satellitesOf(const json& sky, const std::set<int>& constellations) {
    std::set<Satellite> s;
    for (const json& sat : sky["satellites"])
        if (constellations.count(sat["gnssid"].get<int>()))
            s.emplace(sat["gnssid"], sat["svid"], sat["PRN"], sat.value("el", -1.0), sat.value("az", -1.0),
                      sat.value("ss", -1.0));
    return s;
}

class CaptureReplay : public ::testing::TestWithParam<const char*> {};

TEST_P(CaptureReplay, FixesAndSatellitesAsTheReferenceDecodedThem) {
    const std::string capture = GetParam();
    const Reference ref = reference(capture);
    const std::vector<json> ours = replay(capture);
    std::vector<json> tpvs, skies;
    for (const json& o : ours) {
        if (o["class"] == "TPV") tpvs.push_back(o);
        if (o["class"] == "SKY") skies.push_back(o);
    }
    ASSERT_FALSE(ref.fixes.empty());

    for (const Reference::Fix& fix : ref.fixes) {
        bool found = false;
        for (const json& t : tpvs) found = found || sameFix(fix.tpv, t, fix.lastOfEpoch);
        EXPECT_TRUE(found) << capture << ": no TPV for " << fix.tpv.dump();
    }
    std::size_t next = 0;
    for (const auto& [talker, sky] : ref.skies) {
        const std::set<int> constellations = constellationsOf(talker);
        const std::set<Satellite> wanted = satellitesOf(sky, constellations);
        std::size_t k = next;
        while (k < skies.size() && satellitesOf(skies[k], constellations) != wanted) ++k;
        EXPECT_LT(k, skies.size()) << capture << ": no SKY after " << next << " for " << sky.dump();
        if (k < skies.size()) next = k + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Receivers, CaptureReplay,
                         ::testing::Values("beidou-bd.log", "furuno_gl_ga.log", "neo-m8n.log", "quectel-eg25-g.log",
                                           "skytraq-dgps.log", "st-teseo-liv3f.log"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name = name.substr(0, name.find('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
