#include "tools/gnsssim/Messages.h"

#include "tools/gnssproto/BinEncode.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace GnssSim {

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// "hhmmss.ss" of UTC.
std::string utcTime(const Fix& fix) {
    double s = std::fmod(fix.timeOfWeek - fix.gpsUtcDiff + 604800.0, 86400.0);
    const int h = static_cast<int>(s / 3600);
    s -= h * 3600;
    const int m = static_cast<int>(s / 60);
    s -= m * 60;
    return format("%02d%02d%05.2f", h, m, s);
}

// NMEA angle ddmm.mmmmmmm (or dddmm for longitude) and hemisphere letter.
std::string nmeaAngle(double deg, int degDigits, char pos, char neg) {
    const char hemi = deg < 0 ? neg : pos;
    deg = std::fabs(deg);
    const int d = static_cast<int>(deg);
    const double minutes = (deg - d) * 60.0;
    return format("%0*d%010.7f,%c", degDigits, d, minutes, hemi);
}

std::uint32_t satMask(const Fix& fix, bool usedOnly) {
    std::uint32_t mask = 0;
    for (const Satellite& s : fix.satellites)
        if (s.prn >= 1 && s.prn <= 32 && (!usedOnly || s.elevation >= 10)) mask |= 1u << (s.prn - 1);
    return mask;
}

} // namespace

std::string bin1Frame(const Fix& fix, std::uint8_t navMode) {
    GnssProto::Bin1 m;
    m.ageOfDiff = 2;
    m.numSats = static_cast<std::uint8_t>(fix.satsUsed);
    m.week = fix.week;
    m.timeOfWeek = fix.timeOfWeek;
    m.lat = fix.lat;
    m.lon = fix.lon;
    m.height = static_cast<float>(fix.height);
    m.velNorth = static_cast<float>(fix.velNorth);
    m.velEast = static_cast<float>(fix.velEast);
    m.velUp = static_cast<float>(fix.velUp);
    m.stdDev = 0.35f;
    m.navMode = navMode;
    return GnssProto::encodeBin1(m);
}

std::string bin2Frame(const Fix& fix, int sbasPrn1, int sbasPrn2) {
    GnssProto::Bin2 m;
    m.trackedMask = satMask(fix, false);
    m.usedMask = satMask(fix, true);
    m.gpsUtcDiff = static_cast<std::uint16_t>(fix.gpsUtcDiff);
    m.hdopX10 = 9;
    m.vdopX10 = 14;
    m.sbas = GnssProto::binSbasWord(sbasPrn1, sbasPrn2);
    return GnssProto::encodeBin2(m);
}

std::string bin99Frame(const Fix& fix) {
    GnssProto::Bin99 m;
    for (std::size_t ch = 0; ch < m.channels.size() && ch < fix.satellites.size(); ++ch) {
        const Satellite& s = fix.satellites[ch];
        GnssProto::Bin99Channel& c = m.channels[ch];
        c.sv = static_cast<std::uint8_t>(s.prn);
        c.elevation = static_cast<std::int8_t>(s.elevation);
        c.halfAzimuth = static_cast<std::uint8_t>(s.azimuth / 2);
        // The receiver reports the signal as a level S with SNR = 10 log10(S * 4096 / 80000).
        c.level = static_cast<std::uint16_t>(std::lround(std::pow(10.0, s.snr / 10.0) * 80000.0 / 4096.0));
        c.diffCorrCm = static_cast<std::uint16_t>(40 + ch);
        c.posResidDm = static_cast<std::uint16_t>(3 + ch);
    }
    return GnssProto::encodeBin99(m);
}

std::string ggaBody(const Fix& fix) {
    return format("$GPGGA,%s,%s,%s,2,%02d,0.9,%.3f,M,-16.27,M,2.0,0122", utcTime(fix).c_str(),
                  nmeaAngle(fix.lat, 2, 'N', 'S').c_str(), nmeaAngle(fix.lon, 3, 'E', 'W').c_str(),
                  fix.satsUsed, fix.height);
}

std::string vtgBody(const Fix& fix) {
    return format("$GPVTG,%.1f,T,,M,%.2f,N,%.2f,K,D", fix.course, fix.speed * 1.943844, fix.speed * 3.6);
}

std::string gstBody(const Fix& fix) {
    return format("$GPGST,%s,0.25,0.41,0.30,45.0,0.31,0.29,0.62", utcTime(fix).c_str());
}

std::vector<std::string> gsvBodies(const Fix& fix) {
    std::vector<std::string> out;
    const std::size_t n = fix.satellites.size();
    const std::size_t total = (n + 3) / 4;
    for (std::size_t m = 0; m < total; ++m) {
        std::string body = format("$GPGSV,%zu,%zu,%02zu", total, m + 1, n);
        for (std::size_t i = m * 4; i < n && i < m * 4 + 4; ++i) {
            const Satellite& s = fix.satellites[i];
            body += format(",%02d,%02d,%03d,%02d", s.prn, s.elevation, s.azimuth, static_cast<int>(s.snr));
        }
        out.push_back(body);
    }
    return out;
}

std::string herotBody(const Fix& fix) {
    return format("$HEROT,%.1f,A", fix.rateOfTurn * 60.0);  // degrees per minute
}

std::string hehdgBody(const Fix& fix) {
    return format("$HEHDG,%.1f,,,16.5,E", fix.course);
}

std::string rd1Body(const Fix& fix) {
    return format("$RD1,%.0f,%u,1557.8450,0,0.000000,1,0,1,0,0,1,1", fix.timeOfWeek, fix.week);
}

std::vector<std::string> almBodies(const Fix& fix) {
    std::vector<std::string> out;
    const std::size_t total = fix.satellites.size();
    for (std::size_t i = 0; i < total; ++i) {
        const Satellite& s = fix.satellites[i];
        out.push_back(format("$GPALM,%zu,%zu,%02d,%u,00,3A1F,90,0A4E,FD3B,A10D4E,6A2C31,1F8E22,4C9A01,0AB,001",
                             total, i + 1, s.prn, static_cast<unsigned>(fix.week % 1024)));
    }
    return out;
}

} // namespace GnssSim
