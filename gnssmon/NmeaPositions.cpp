#include "gnssmon/NmeaLine.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/NmeaFields.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/TimeServices.h"

#include <cmath>

// Positions from the NMEA sentences, for a receiver that sends no binary
// message 1 (or has stopped): GGA, RMC, GNS and GLL each give the fix of
// their epoch (the sentences that carry one time of day), each adding what it
// knows. GGA and GNS know the quality, the satellites and the height; RMC the
// date, speed and track; GLL only the position. Every sentence with a
// position is a new fix for the database (its new-position processing and
// reports run), holding what the epoch has said so far: a 2D fix until a
// sentence of the epoch has given a height from four satellites or more.
//
// The time is UTC; the database keeps GPS week and time of week, so the
// GPS-minus-UTC seconds are added (the receiver's from binary message 2, else
// the current 18). Without a date (no RMC or ZDA yet) the fix has no time.
//
// The database's navigation mode codes (binary message 1's): 0 no fix,
// 1 2D, 2 3D, 3 2D differential, 4 3D differential, 5 RTK float, 6 RTK fixed.

namespace {

enum Quality { Q_NONE, Q_PLAIN, Q_DIFFERENTIAL, Q_RTK_FLOAT, Q_RTK_FIXED };

struct Epoch {
    double timeOfDay;  // s after midnight UTC; NaN before the first
    int navMode;       // from GGA or GNS of this epoch; -1 none yet
};

struct Date {
    long daysSinceGpsEpoch;
    double timeOfDay;  // of the RMC that gave it
    bool known;
};

Epoch epochs[NMEA_PARSE_INSTANCES];
Date dates[NMEA_PARSE_INSTANCES];

constexpr double kMaxHeight = 1.0e5;  // m: nothing this unit rides goes higher
constexpr double kKnotsToMs = 1852.0 / 3600.0;
constexpr double kMaxSpeedKnots = 1000.0 / kKnotsToMs;

int navMode(Quality q, bool threeD)
{
    switch (q) {
    case Q_NONE: return 0;
    case Q_PLAIN: return threeD ? 2 : 1;
    case Q_DIFFERENTIAL: return threeD ? 4 : 3;
    case Q_RTK_FLOAT: return 5;
    case Q_RTK_FIXED: return 6;
    }
    return 0;
}

// GGA's quality digit: 1 GPS, 2 differential, 3 PPS, 4 RTK fixed, 5 RTK
// float, 6 estimated, 7 manual, 8 simulated.
Quality ggaQuality(long q)
{
    static const Quality kByDigit[] = {Q_NONE, Q_PLAIN, Q_DIFFERENTIAL, Q_PLAIN, Q_RTK_FIXED,
                                       Q_RTK_FLOAT, Q_PLAIN, Q_NONE, Q_NONE};
    return q >= 0 && q <= 8 ? kByDigit[q] : Q_NONE;
}

// The mode letter of RMC, GLL and VTG (NMEA 2.3 on), and each letter of
// GNS's: A autonomous, D differential, P precise, R RTK fixed, F RTK float,
// E estimated, M manual, S simulated, N not valid.
Quality modeLetter(char c)
{
    switch (c) {
    case 'A': case 'P': case 'E': return Q_PLAIN;
    case 'D': return Q_DIFFERENTIAL;
    case 'R': return Q_RTK_FIXED;
    case 'F': return Q_RTK_FLOAT;
    default: return Q_NONE;
    }
}

// "hhmmss.ss" to seconds after midnight.
bool timeOfDay(const NmeaLine& l, int n, double& seconds)
{
    double v = 0.0;
    if (l.empty(n) || !bNmeaReadReal(l.tok[n], 0.0, 235960.999, v)) return false;
    const double hh = std::floor(v / 10000.0), mm = std::floor(v / 100.0) - hh * 100.0, ss = v - hh * 10000.0 - mm * 100.0;
    if (mm >= 60.0 || ss >= 61.0) return false;
    seconds = hh * 3600.0 + mm * 60.0 + ss;
    return true;
}

// "4404.1295864","N": degrees, south and west negative.
bool angle(const NmeaLine& l, int n, double limit, char positive, char negative, double& degrees)
{
    double v = 0.0;
    if (l.empty(n) || l.empty(n + 1) || !bNmeaReadReal(l.tok[n], 0.0, limit * 100.0, v)) return false;
    const char h = l.tok[n + 1][0];
    if ((h != positive && h != negative) || l.tok[n + 1][1] != '\0') return false;
    v = dXlateGgaLatLon(v);
    if (v > limit) return false;
    degrees = h == negative ? -v : v;
    return true;
}

// Days from 1980-01-06 to a date of the Gregorian calendar.
long daysSinceGpsEpoch(long y, long m, long d)
{
    y -= m <= 2;
    const long era = y / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 3657;  // days since 1970, less 1970 to 1980-01-06
}

// The sentence's time begins a new epoch when it differs from the last.
Epoch& epochOf(int instance, double seconds)
{
    Epoch& e = epochs[instance];
    if (!(e.timeOfDay == seconds)) {
        e.timeOfDay = seconds;
        e.navMode = -1;
    }
    return e;
}

// Time of the fix as GPS week and time of week, when the date is known; the
// program clock follows, as with binary message 1.
void setTime(int instance, double seconds)
{
    const Date& d = dates[instance];
    if (!d.known) return;
    long days = d.daysSinceGpsEpoch;
    if (seconds < d.timeOfDay - 43200.0) ++days;  // past midnight since the date
    const int leap = iGpsBinGpsUtcDiff(instance);
    const double gps = static_cast<double>(days) * 86400.0 + seconds + leap;
    const double week = std::floor(gps / 604800.0);
    const double timeOfWeek = gps - week * 604800.0;
    GpsDbSetGPSWeek(instance, static_cast<uint16_t>(week));
    GpsDbSetTimeOfWeek(instance, timeOfWeek);
    PutGPSTime(timeOfWeek, static_cast<unsigned short>(week), leap, 1);
    GpsDbSetPositionTime(instance, GetTime());
}

// The date of the epoch at `seconds`, from 1980 to 2099 (the program clock's).
void setDate(int instance, long year, long month, long day, double seconds)
{
    if (year < 1980 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) return;
    dates[instance] = {daysSinceGpsEpoch(year, month, day), seconds, true};
}

void commit(const NmeaLine& l, double seconds, int nav, double lat, double lon)
{
    const int instance = l.instance;
    setTime(instance, seconds);
    GpsDbSetGpsStatus(instance, nav);
    GpsDbSetVerticalVelocity(instance, std::nan(""));  // no sentence here gives it
    if (nav != 0) {
        GpsDbSetRawLat(instance, lat);
        GpsDbSetRawLon(instance, lon);
    }
    // The new-position processing takes the course from the raw course: the
    // one the epoch's sentences left.
    GpsDbSetRawCourse(instance, dGpsDbGetCourse(instance));
    const uint32_t now = TimerTick();
    GpsDbSetNewPosTick(instance, now);
    GpsDbSetStatusTick(instance, now);
    GpsDbSetConnectionType(instance, 1);
}

// The position sentences count only while binary message 1 does not flow.
bool wanted(const NmeaLine& l)
{
    return !bGpsBinaryPositionsFlowing(l.instance);
}

// What GGA and GNS share: satellites, HDOP, height and age of corrections,
// from the field numbers given.
struct QualityFields {
    int sats, hdop, height, age;
};

int qualityFix(const NmeaLine& l, const QualityFields& f, Quality q, Epoch& e)
{
    long sats = 0;
    const bool counted = bNmeaReadInt(l.tok[f.sats], 0, 99, sats);
    if (counted) GpsDbSetNumSats(l.instance, static_cast<int32_t>(sats));
    double v = 0.0;
    if (bNmeaReadReal(l.tok[f.hdop], 0.01, 99.99, v)) GpsDbSetHdop(l.instance, static_cast<float>(v));
    // A height from fewer than four satellites is a held one: a 2D fix. A
    // count of 0 with a fix counts nothing.
    bool threeD = bNmeaReadReal(l.tok[f.height], -kMaxHeight, kMaxHeight, v) && !(counted && sats >= 1 && sats <= 3);
    if (threeD) GpsDbSetAlt(l.instance, v);
    if (bNmeaReadReal(l.tok[f.age], 0.0, 9998.0, v)) {
        GpsDbSetDgpsAge(l.instance, v);
        GpsDbSetAgeOfDiff(l.instance, static_cast<int>(v));
    } else {
        GpsDbSetDgpsAge(l.instance, std::nan(""));
    }
    e.navMode = navMode(q, threeD);
    return e.navMode;
}

// A 2D fix of `q` unless GGA or GNS of the epoch said more.
int positionOnly(const Epoch& e, Quality q)
{
    return q == Q_NONE ? 0 : e.navMode > 0 ? e.navMode : navMode(q, false);
}

} // namespace

void NmeaPositionsInit(int instance)
{
    if (instance < 0 || instance >= NMEA_PARSE_INSTANCES) return;
    epochs[instance] = Epoch{std::nan(""), -1};
    dates[instance].known = false;
}

// "$GPGGA,213121.000,4404.1295864,N,12118.8685453,W,2,07,1.2,1102.537,M,-20.300,M,,0000*5F":
// time, latitude, longitude, quality, satellites used, HDOP, height above
// the geoid, geoid separation, age of corrections, station.
void NmeaDecodeGga(const NmeaLine& l)
{
    double seconds = 0.0, lat = 0.0, lon = 0.0;
    long q = 0;
    if (!wanted(l) || !timeOfDay(l, 1, seconds) || !bNmeaReadInt(l.tok[6], 0, 9, q)) return;
    Epoch& e = epochOf(l.instance, seconds);
    const Quality quality = ggaQuality(q);
    if (quality != Q_NONE && !(angle(l, 2, 90.0, 'N', 'S', lat) && angle(l, 4, 180.0, 'E', 'W', lon))) return;
    const int nav = quality == Q_NONE ? (e.navMode = 0) : qualityFix(l, {7, 8, 9, 13}, quality, e);
    commit(l, seconds, nav, lat, lon);
}

// "$GNGNS,120213.000,5957.0062,N,01100.6429,E,NDD,11,1.3,168.9,39.5,,,V*57":
// as GGA, with one mode letter per constellation (GPS, GLONASS, Galileo,
// ...) in place of the quality: the best of them is the fix's.
void NmeaDecodeGns(const NmeaLine& l)
{
    double seconds = 0.0, lat = 0.0, lon = 0.0;
    if (!wanted(l) || !timeOfDay(l, 1, seconds) || l.empty(6)) return;
    Epoch& e = epochOf(l.instance, seconds);
    Quality quality = Q_NONE;
    for (const char* c = l.tok[6]; *c; ++c)
        if (modeLetter(*c) > quality) quality = modeLetter(*c);
    if (quality != Q_NONE && !(angle(l, 2, 90.0, 'N', 'S', lat) && angle(l, 4, 180.0, 'E', 'W', lon))) return;
    const int nav = quality == Q_NONE ? (e.navMode = 0) : qualityFix(l, {7, 8, 9, 11}, quality, e);
    commit(l, seconds, nav, lat, lon);
}

// "$GPRMC,213121.000,A,4404.1295864,N,12118.8685453,W,000.0,122.7,070416,,,D*72":
// time, status (A valid, V not), latitude, longitude, speed in knots, true
// track, date ddmmyy, magnetic variation, and from NMEA 2.3 on the mode.
// The date is learnt even while binary message 1 gives the positions.
void NmeaDecodeRmc(const NmeaLine& l)
{
    double seconds = 0.0, lat = 0.0, lon = 0.0;
    if (!timeOfDay(l, 1, seconds)) return;
    long ddmmyy = 0;
    if (!l.empty(9) && bNmeaReadInt(l.tok[9], 10100, 311299, ddmmyy)) {
        const long year = ddmmyy % 100;
        setDate(l.instance, year < 80 ? 2000 + year : 1900 + year, ddmmyy / 100 % 100, ddmmyy / 10000, seconds);
    }
    if (!wanted(l)) return;
    Epoch& e = epochOf(l.instance, seconds);
    Quality quality = l.is(2, "A") ? Q_PLAIN : Q_NONE;
    if (quality != Q_NONE && !l.empty(12)) quality = modeLetter(l.tok[12][0]);
    if (quality != Q_NONE && !(angle(l, 3, 90.0, 'N', 'S', lat) && angle(l, 5, 180.0, 'E', 'W', lon))) return;
    double speed = 0.0, track = 0.0;
    if (quality != Q_NONE && bNmeaReadReal(l.tok[7], 0.0, kMaxSpeedKnots, speed)) {
        GpsDbSetVelocity(l.instance, speed * kKnotsToMs);
        if (bNmeaReadReal(l.tok[8], 0.0, 360.0, track))
            GpsDbSetCourse(l.instance, track);
        else
            GpsDbSetTrackKnown(l.instance, false);
    }
    commit(l, seconds, positionOnly(e, quality), lat, lon);
}

// "$GPGLL,4404.1295864,N,12118.8685453,W,213121.000,A,D*47": latitude,
// longitude, time, status and from NMEA 2.3 on the mode.
void NmeaDecodeGll(const NmeaLine& l)
{
    double seconds = 0.0, lat = 0.0, lon = 0.0;
    if (!wanted(l) || !timeOfDay(l, 5, seconds)) return;
    Epoch& e = epochOf(l.instance, seconds);
    Quality quality = l.is(6, "A") ? Q_PLAIN : Q_NONE;
    if (quality != Q_NONE && !l.empty(7)) quality = modeLetter(l.tok[7][0]);
    if (quality != Q_NONE && !(angle(l, 1, 90.0, 'N', 'S', lat) && angle(l, 3, 180.0, 'E', 'W', lon))) return;
    commit(l, seconds, positionOnly(e, quality), lat, lon);
}

// "$GPZDA,120213.000,31,07,2022,+00,00*79": time, day, month, year and the
// local zone. Only the date is taken, for receivers that send no RMC.
void NmeaDecodeZda(const NmeaLine& l)
{
    double seconds = 0.0;
    long day = 0, month = 0, year = 0;
    if (timeOfDay(l, 1, seconds) && bNmeaReadInt(l.tok[2], 1, 31, day) && bNmeaReadInt(l.tok[3], 1, 12, month) &&
        bNmeaReadInt(l.tok[4], 1980, 2099, year))
        setDate(l.instance, year, month, day, seconds);
}
