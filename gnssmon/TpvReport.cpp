#include "gnssmon/TpvReport.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/QelParse.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// What the receiver's navigation mode (the low 3 bits of message 1's mode
// byte) says in TPV terms: `mode` 0 unknown, 1 no fix, 2 two-dimensional,
// 3 three-dimensional; `status` 1 plain fix, 2 differential, 3 RTK fixed,
// 4 RTK float, 0 where there is no fix to qualify.
struct NavMode {
    int mode;
    int status;
};
const NavMode kNavModes[] = {
    {1, 0},  // 0: no fix
    {2, 1},  // 1: 2D
    {3, 1},  // 2: 3D
    {2, 2},  // 3: 2D, differential
    {3, 2},  // 4: 3D, differential
    {3, 4},  // 5: RTK float
    {3, 3},  // 6: RTK fixed
    {0, 0},  // 7: not defined
};
static_assert(sizeof kNavModes / sizeof kNavModes[0] == 8, "one row per value of 3 bits");

constexpr long long kGpsEpochUnixS = 315964800;  // 1980-01-06T00:00:00Z
constexpr long long kWeekS = 604800;

// Rounded to `decimals`: the float fields of message 1 (height, velocities)
// carry about 7 significant digits, and the derived speed and track no more.
double rounded(double v, double decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

} // namespace

std::string TpvReportTime(uint16_t week, double timeOfWeek, int gpsUtcDiff) {
    const long long fullWeek = week <= 1023 ? week + 1024 : week;
    const long long ms = (kGpsEpochUnixS + fullWeek * kWeekS) * 1000 +
                         std::llround((timeOfWeek - gpsUtcDiff) * 1000.0);
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];  // room for any int the fields could hold
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

bool TpvReportTimeKnown(int instance, std::string& time) {
    const uint16_t week = wGpsDbGetGPSWeek(instance);
    const double timeOfWeek = dGpsDbGetTimeOfWeek(instance);
    if (week == 0 || !(timeOfWeek >= 0.0 && timeOfWeek < kWeekS)) return false;
    time = TpvReportTime(week, timeOfWeek, iGpsBinGpsUtcDiff(instance));
    return true;
}

std::string TpvReportLine(int instance, const char* device) {
    const NavMode nav = kNavModes[iGpsDbGetGpsStatus(instance) & 7];
    const bool fix = nav.mode >= 2;
    const bool fix3d = nav.mode == 3;

    nlohmann::ordered_json tpv;
    tpv["class"] = "TPV";
    if (device != nullptr) tpv["device"] = device;
    tpv["mode"] = nav.mode;
    if (fix) tpv["status"] = nav.status;
    std::string time;
    if (TpvReportTimeKnown(instance, time)) tpv["time"] = time;
    const _QEL_PARSE_STATE* parser = pQelParseGetState(instance);
    if (parser != nullptr && parser->wGpsUtcDiff != 0) tpv["leapseconds"] = parser->wGpsUtcDiff;
    // A value that is not a number or out of its range (a frame may carry
    // anything) is not known.
    const auto put = [&tpv](const char* name, double value, double lo, double hi) {
        if (std::isfinite(value) && value >= lo && value <= hi) tpv[name] = value;
    };
    if (fix) {
        // Nine decimals are a tenth of a millimetre: more is conversion noise.
        put("lat", rounded(dGpsDbGetRawLat(instance), 9), -90.0, 90.0);
        put("lon", rounded(dGpsDbGetRawLon(instance), 9), -180.0, 180.0);
        if (fix3d) put("alt", rounded(dGpsDbGetAlt(instance), 3), -1.0e5, 1.0e7);
        if (bGpsDbGetTrackKnown(instance)) put("track", std::fmod(rounded(dGpsDbGetCourse(instance), 4), 360.0), 0.0, 360.0);
        put("speed", rounded(dGpsDbGetVelocity(instance), 3), 0.0, 1.0e5);
        if (fix3d) put("climb", rounded(dGpsDbGetVerticalVelocity(instance), 3), -1.0e5, 1.0e5);
        if (nav.status >= 2) put("dgpsAge", rounded(dGpsDbGetDgpsAge(instance), 3), 0.0, 9998.0);
    }
    return tpv.dump();
}
