#include "tools/gnsssim/Drive.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace GnssSim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegPerMetre = 8.999298684654e-6;  // of latitude
constexpr double kSecondsPerWeek = 604800.0;

// A fixed sky: the satellites drift slowly in azimuth so the channel data
// changes over a run.
const Satellite kSky[] = {
    {2, 67, 40, 34.0},  {5, 45, 110, 33.5}, {7, 12, 300, 24.0}, {9, 30, 200, 30.0},
    {13, 55, 260, 33.0}, {15, 8, 20, 21.5},  {20, 38, 150, 31.0}, {24, 22, 80, 28.5},
    {29, 74, 330, 35.0}, {30, 17, 230, 26.0},
};
constexpr int kMaskAngle = 10;  // satellites below are tracked, not used

} // namespace

Fix Drive::at(double t) const {
    Fix f{};
    const double h0 = cfg.course * kPi / 180.0;
    const double w = cfg.turnRate * kPi / 180.0;
    const double h = h0 + w * t;
    double north, east;
    if (std::fabs(w) < 1e-12) {
        north = cfg.speed * t * std::cos(h0);
        east = cfg.speed * t * std::sin(h0);
    } else {
        // Circular arc: integral of v*(cos h, sin h) dt with h = h0 + w t.
        north = cfg.speed / w * (std::sin(h) - std::sin(h0));
        east = cfg.speed / w * (std::cos(h0) - std::cos(h));
    }
    f.lat = cfg.lat + north * kDegPerMetre;
    f.lon = cfg.lon + east * kDegPerMetre / std::cos(cfg.lat * kPi / 180.0);
    f.height = cfg.height;
    f.velNorth = cfg.speed * std::cos(h);
    f.velEast = cfg.speed * std::sin(h);
    f.velUp = 0.0;
    f.speed = cfg.speed;
    f.course = std::fmod(std::fmod(h * 180.0 / kPi, 360.0) + 360.0, 360.0);
    f.rateOfTurn = cfg.turnRate;

    double tow = cfg.timeOfWeek + t;
    std::uint16_t week = cfg.week;
    while (tow >= kSecondsPerWeek) {
        tow -= kSecondsPerWeek;
        ++week;
    }
    f.week = week;
    f.timeOfWeek = tow;
    f.gpsUtcDiff = cfg.gpsUtcDiff;

    f.satsUsed = 0;
    for (const Satellite& s : kSky) {
        Satellite now = s;
        now.azimuth = static_cast<int>(s.azimuth + t / 60.0) % 360;
        f.satellites.push_back(now);
        if (now.elevation >= kMaskAngle) ++f.satsUsed;
    }
    return f;
}

std::string utcText(const Fix& f) {
    constexpr long long kGpsEpoch = 315964800LL;  // 1980-01-06 in Unix time
    const long long ms = (kGpsEpoch + f.week * 604800LL) * 1000 + std::llround((f.timeOfWeek - f.gpsUtcDiff) * 1000.0);
    const std::time_t s = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&s, &utc);
    char text[32], out[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(out, sizeof out, "%s.%03dZ", text, static_cast<int>(ms % 1000));
    return out;
}

} // namespace GnssSim
