#pragma once
// A realistic receiver output stream for the receive-path tests and the
// benchmarks: what the receiver sends while streaming, epoch after epoch.
//
// Every 100 ms epoch holds two binary messages 1 (20 Hz, a vehicle driving
// at 12 m/s) and the five NMEA sentences GPGGA, GPVTG, GPGST, HEROT and
// HEHDG (10 Hz). Once a second come binary messages 2 and 99, three GPGSV
// sentences and one "$>" reply to a "$J" query (rotating through JSHOW, JI,
// JT, JK and JAPP), as when the host polls the receiver. Binary frames end
// with CR LF as the receiver sends them. Deterministic: the same size gives
// the same bytes.

#include "tools/gnssproto/BinEncode.h"
#include "tools/gnssproto/NmeaEncode.h"

#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>

namespace MixedStream {

struct Stream {
    std::string bytes;
    int epochs = 0;
    int frames = 0;     // binary frames, all with a right checksum
    int positions = 0;  // of which binary messages 1
    int sentences = 0;  // NMEA sentences and replies
    double lastLat = 0.0, lastLon = 0.0;
};

namespace Detail {

inline std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char* fmt, ...)
{
    char buf[160];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// ddmm.mmmmmmm,H
inline std::string angle(double deg, int degDigits, char pos, char neg)
{
    const char hemi = deg < 0 ? neg : pos;
    deg = std::fabs(deg);
    const int d = static_cast<int>(deg);
    return format("%0*d%010.7f,%c", degDigits, d, (deg - d) * 60.0, hemi);
}

constexpr double kPi = 3.141592653589793;
constexpr double kMetresPerDegree = 111320.0;

} // namespace Detail

// Epochs until the stream holds at least `minBytes` bytes.
inline Stream generate(std::size_t minBytes)
{
    using namespace GnssProto;
    using Detail::format;
    Stream s;
    const double speed = 12.0, course = 30.0;  // m/s, degrees
    const double vn = speed * std::cos(course * Detail::kPi / 180.0);
    const double ve = speed * std::sin(course * Detail::kPi / 180.0);
    const double lat0 = 49.2741667, lon0 = -123.1000000;
    const char* const replies[] = {
        "$>JSHOW,BIN,1,20.0", "$>JI,8120431,1,7,01012024,01/01/1900,01/01/3000,1.5Sim,0", "$>JT,SIM325",
        "$>JK,01/01/3000,0F", "$>JAPP,RTK,OMNISTAR,1,2",
    };

    auto fixAt = [&](double t, double& lat, double& lon) {
        lat = lat0 + vn * t / Detail::kMetresPerDegree;
        lon = lon0 + ve * t / (Detail::kMetresPerDegree * std::cos(lat0 * Detail::kPi / 180.0));
    };
    auto sentence = [&](const std::string& body) {
        s.bytes += nmeaSentence(body);
        ++s.sentences;
    };

    for (int k = 0; s.bytes.size() < minBytes; ++k) {
        const double t = k * 0.1;
        const double tow = 345600.0 + t;
        const double utc = std::fmod(tow - 18.0, 86400.0);
        const std::string hms = format("%02d%02d%05.2f", static_cast<int>(utc / 3600),
                                       static_cast<int>(std::fmod(utc, 3600.0) / 60), std::fmod(utc, 60.0));
        for (int half = 0; half < 2; ++half) {
            Bin1 m;
            m.ageOfDiff = 2;
            m.numSats = 9;
            m.week = 2345;
            m.timeOfWeek = tow + half * 0.05;
            fixAt(t + half * 0.05, m.lat, m.lon);
            m.height = 84.5f;
            m.velNorth = static_cast<float>(vn);
            m.velEast = static_cast<float>(ve);
            m.stdDev = 0.8f;
            m.navMode = 2;
            s.bytes += encodeBin1(m);
            ++s.frames;
            ++s.positions;
            s.lastLat = m.lat;
            s.lastLon = m.lon;
        }
        double lat, lon;
        fixAt(t, lat, lon);
        sentence(format("$GPGGA,%s,%s,%s,2,09,0.9,84.5,M,-16.9,M,2.0,0122", hms.c_str(),
                        Detail::angle(lat, 2, 'N', 'S').c_str(), Detail::angle(lon, 3, 'E', 'W').c_str()));
        sentence(format("$GPVTG,%.1f,T,,M,%.2f,N,%.2f,K,D", course, speed * 3.6 / 1.852, speed * 3.6));
        sentence(format("$GPGST,%s,1.2,0.8,0.6,%.1f,0.7,0.9,1.5", hms.c_str(), course));
        sentence(format("$HEROT,%.1f,A", 0.5 * std::sin(t)));
        sentence(format("$HEHDG,%.1f,,,16.2,E", course));
        if (k % 10 == 0) {
            Bin2 m2;
            m2.trackedMask = 0x0A5F3C1Fu;
            m2.usedMask = 0x0A1F3C1Du;
            m2.gpsUtcDiff = 18;
            m2.hdopX10 = 9;
            m2.vdopX10 = 14;
            m2.sbas = binSbasWord(122, 134);
            s.bytes += encodeBin2(m2);
            Bin99 m99;
            for (int i = 0; i < 12; ++i) {
                Bin99Channel& c = m99.channels[static_cast<std::size_t>(i)];
                c.sv = static_cast<uint8_t>(2 + 2 * i);
                c.elevation = static_cast<int8_t>(10 + 6 * i);
                c.halfAzimuth = static_cast<uint8_t>(15 * i);
                c.level = static_cast<uint16_t>(2000 + 500 * i);
                c.diffCorrCm = static_cast<uint16_t>(30 + i);
                c.posResidDm = static_cast<uint16_t>(i);
            }
            s.bytes += encodeBin99(m99);
            s.frames += 2;
            sentence("$GPGSV,3,1,12,02,10,000,33,04,16,030,35,06,22,060,36,08,28,090,38");
            sentence("$GPGSV,3,2,12,10,34,120,39,12,40,150,40,14,46,180,41,16,52,210,42");
            sentence("$GPGSV,3,3,12,18,58,240,43,20,64,270,44,22,70,300,45,24,76,330,46");
            s.bytes += nmeaReply(replies[(k / 10) % 5]);
            ++s.sentences;
        }
        ++s.epochs;
    }
    return s;
}

} // namespace MixedStream
