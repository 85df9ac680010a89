#include "gnssmon/NmeaDecode.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaLine.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/TimeServices.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

// A line is split on "," and "*" into at most 24 tokens; token 0 is the name.
// The fields end at the "*": the checksum digits after it are never a field.
// An empty field is an empty token; a field missing because the line ended is
// a null token, so "token n present" is simply n < count. The checksum is
// tested on the line as received, before splitting overwrites the "*". A line
// that carries a checksum which does not match is corrupt: it is not decoded
// and sets no tick. An NMEA sentence must carry its checksum: without one it
// is a line cut short, and is not decoded either; the receiver's replies to
// "$J" commands carry none.
//
// Replies ("$>...") and proprietary sentences are dispatched by exact name,
// the standard sentences by their three-letter formatter after any talker of
// their kind ("$GLGSV", "$GAGSV", ... are all GSV), through the table at the
// end of this file; each row carries the ticks its name sets, whether or not
// its fields were usable.

bool NmeaLine::is(int n, const char* text) const
{
    return has(n) && std::strcmp(tok[n], text) == 0;
}

bool bNmeaReadReal(const char* field, double lo, double hi, double& value)
{
    if (field == nullptr || *field == '\0') return false;
    char* end = nullptr;
    const double v = std::strtod(field, &end);
    if (*end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    value = v;
    return true;
}

bool bNmeaReadInt(const char* field, long lo, long hi, long& value)
{
    if (field == nullptr || *field == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(field, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    value = v;
    return true;
}

namespace {

// Differential types of the database's table.
enum {
    DIFF_UNKNOWN = 0, DIFF_LBAND = 1, DIFF_BEACON = 2, DIFF_OTHER = 3, DIFF_THIS = 4, DIFF_WAAS = 5,
    DIFF_AUTO = 6, DIFF_AUTO_NA = 7, DIFF_AUTO_NOSUB = 8, DIFF_RTK = 9, DIFF_RTK_NOSUB = 10,
};

// "Missing" mark of rate of turn, attitude and variation.
constexpr float kMissing = GPS_DB_MISSING;
constexpr double kPi = 3.141592653589793;

NmeaLine current;
// Last differential type derived from the replies; one for all instances.
int lastDiffType = DIFF_UNKNOWN;
const char* sbasSystem = "";

// Copies of the identity texts handed to the database.
char serialNumber[8];
char applicationVersion[8];
char receiverName[16];
char bitErrorText[16];

// Copies `text` into `buffer` when it fits with its NUL; a longer text is
// ignored and the caller leaves the database as it is.
template <std::size_t N>
bool copyIfFits(char (&buffer)[N], const char* text)
{
    if (std::strlen(text) >= N) return false;
    std::strcpy(buffer, text);
    return true;
}

// The database cuts a text longer than its field; a cut name or date would
// be wrong, so such a field is left as it was.
bool fitsDbText(const char* text, int field)
{
    return std::strlen(text) < static_cast<std::size_t>(field);
}

void postRequest(int instance, unsigned char code)
{
    BufferPutByte(&NmeaParseCmdBuffer[instance], code);
}

void setDiffType(int instance, int type)
{
    lastDiffType = type;
    GpsDbSetDiffType(instance, type);
}

// ---- Replies to "$J" commands ------------------------------------------------

// "$>JSHOW,DIFF,WAAS": the differential source. AUTO and RTK are taken only
// while nothing is known yet; the "$>JK" reply then refines them.
void jshowDiff(const NmeaLine& l)
{
    static const struct { const char* name; int type; } kSources[] = {
        {"LBAND", DIFF_LBAND}, {"BEACON", DIFF_BEACON}, {"OTHER", DIFF_OTHER},
        {"THIS PORT", DIFF_THIS}, {"WAAS", DIFF_WAAS},
    };
    int type = DIFF_UNKNOWN;
    if (l.is(2, "AUTO") || l.is(2, "RTK")) {
        if (lastDiffType != DIFF_UNKNOWN) return;
        type = l.is(2, "AUTO") ? DIFF_AUTO_NOSUB : DIFF_RTK_NOSUB;
        postRequest(l.instance, NMEA_PARSE_CMD_DIFF_NOSUB);
    } else {
        for (const auto& source : kSources)
            if (l.is(2, source.name)) type = source.type;
    }
    setDiffType(l.instance, type);
}

// "$>JSHOW,BIN,1,10.0": binary message 1 at 10 Hz, on this port (a fourth
// field would name another port).
void jshowBin(const NmeaLine& l)
{
    if (l.has(2) && l.tok[2][0] == '1' && l.has(3) && !l.has(4))
        GpsDbSetPosPerSec(l.instance, static_cast<uint16_t>(std::atoi(l.tok[3])));
}

// "$>JSHOW,BAUD,19200" / "$>JSHOW,ASC,GPGGA,1.0" / ...: one line per setting.
// Only DIFF and BIN reach the database.
void decodeJshow(const NmeaLine& l)
{
    if (l.is(1, "DIFF"))
        jshowDiff(l);
    else if (l.is(1, "BIN"))
        jshowBin(l);
}

// "$>JAPP,WAAS,RTK,1,2": application names in the order current, other, and
// the slot of the current one. Slot 2 running means token 2 is in slot 1.
void decodeJapp(const NmeaLine& l)
{
    if (!l.has(4)) return;
    const int slot = std::atoi(l.tok[3]);
    if (slot != 1 && slot != 2) return;
    const char* app1 = l.tok[slot == 1 ? 1 : 2];
    const char* app2 = l.tok[slot == 1 ? 2 : 1];
    if (fitsDbText(app1, GPS_DB_APP_NAME_LEN)) GpsDbSetApp1(l.instance, app1);
    if (fitsDbText(app2, GPS_DB_APP_NAME_LEN)) GpsDbSetApp2(l.instance, app2);
    GpsDbSetThisApp(l.instance, slot);
}

// "$>JI,311052,1,3,10092013,01/01/1900,01/01/3000,6.2Ab04,10": serial
// number in token 1, application version in token 7.
void decodeJi(const NmeaLine& l)
{
    if (!l.has(8)) return;
    if (copyIfFits(serialNumber, l.tok[1])) GpsDbSetSerialNumber(l.instance, serialNumber);
    if (copyIfFits(applicationVersion, l.tok[7])) GpsDbSetApplicationVersion(l.instance, applicationVersion);
}

// "$>JT,R320": receiver type name.
void decodeJt(const NmeaLine& l)
{
    if (l.has(1) && copyIfFits(receiverName, l.tok[1])) GpsDbSetReceiverName(l.instance, receiverName);
}

// "$RD1,43852,1723,1557.8450,1,0.000,9,1,0,0,12,0,0": L-band demodulator
// diagnostics; token 5 is the bit-error text.
void decodeRd1(const NmeaLine& l)
{
    if (l.has(12) && copyIfFits(bitErrorText, l.tok[5])) GpsDbSetBER(l.instance, bitErrorText);
}

// "$>JOMS,OMNISTAR,VBS,1,2,1557.8450,31/12/2024": subscription status; token 6
// is the expiry.
void decodeJoms(const NmeaLine& l)
{
    if (l.has(6) && fitsDbText(l.tok[6], GPS_DB_VBS_EXPIRE_LEN)) GpsDbSetVBSexpire(l.instance, l.tok[6]);
}

// "$>JK,31/12/2024,2": subscription expiry and mask (hexadecimal). The mask
// tells whether AUTO has its L-band subscription and RTK its licence.
void decodeJk(const NmeaLine& l)
{
    if (!l.has(2)) return;
    const int mask = static_cast<int>(std::strtoul(l.tok[2], nullptr, 16) & 0xFFFF);
    GpsDbSetSubscriptionMask(l.instance, mask);
    int type = lastDiffType;
    if (type == DIFF_AUTO_NOSUB) {
        if (mask & 0x2)
            type = DIFF_AUTO;
        else if (mask & 0x8)
            type = DIFF_AUTO_NA;
    } else if (type == DIFF_RTK_NOSUB && (mask & 0x4)) {
        type = DIFF_RTK;
    }
    setDiffType(l.instance, type);
}

// "$>JRTK,10,OK": acknowledgement of an RTK setting.
void decodeJrtk(const NmeaLine& l)
{
    if (l.count < 12 && l.count > 2 && l.is(1, "10") && l.is(2, "OK"))
        postRequest(l.instance, NMEA_PARSE_CMD_RTK_OK);
}

// "%>" acknowledgement: the good tick is all. The collector hands over only
// lines that begin with "$", so as things stand such a line never gets here.
void decodeNothing(const NmeaLine&) {}

// "$>JWAASPRN,122,134": SBAS satellites in use; the first names the system.
void decodeJwaasprn(const NmeaLine& l)
{
    if (l.count < 3) return;
    static const struct { const char* prn; const char* system; } kPrns[] = {
        {"122", "WAAS"}, {"134", "WAAS"},
        {"120", "EGNOS"}, {"124", "EGNOS"}, {"126", "EGNOS"}, {"131", "EGNOS"},
    };
    for (const auto& p : kPrns)
        if (l.is(1, p.prn)) sbasSystem = p.system;
}

// ---- NMEA sentences -------------------------------------------------------------

// Physical ranges of the values the sentences carry. A receiver for export
// stops reporting at 515 m/s; no vehicle this unit rides on comes near 1000.
constexpr double kMaxSpeedMs = 1000.0;
constexpr double kKmhToMs = 0.27777777778;
constexpr double kKnotsToMs = 1852.0 / 3600.0;
// Rate of turn, degrees per minute: a whole turn per second.
constexpr double kMaxRateOfTurn = 21600.0;

// "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48": true course, magnetic course,
// speed in knots and in km/h, and from NMEA 2.3 on a mode ("N" not valid):
// "$GPVTG,3.0,T,,,0.50,N,,,D*16" gives the speed in knots only. The speed is
// stored first: whether the course is taken depends on this sentence's speed.
// A sentence marked not valid, or without a speed, changes nothing.
void decodeVtg(const NmeaLine& l)
{
    if (l.is(9, "N")) return;
    double speed = 0.0;
    if (!l.empty(7)) {
        if (!bNmeaReadReal(l.tok[7], 0.0, kMaxSpeedMs / kKmhToMs, speed)) return;
        speed *= kKmhToMs;
    } else if (!l.empty(5)) {
        if (!bNmeaReadReal(l.tok[5], 0.0, kMaxSpeedMs / kKnotsToMs, speed)) return;
        speed *= kKnotsToMs;
    } else {
        return;
    }
    GpsDbSetVelocity(l.instance, speed);
    double course = 0.0;
    if (l.has(1) && bNmeaReadReal(l.tok[1], 0.0, 360.0, course)) GpsDbSetCourse(l.instance, course);
}

// "$GPALM,1,1,15,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4,001*77":
// message 1 of 1, PRN 15, week 1159, then the almanac in the scaled binary
// units of the GPS navigation message, as hexadecimal. Every field is needed,
// and so is the checksum: a hexadecimal field reads any character.
void decodeAlm(const NmeaLine& l)
{
    long prn = 0;
    if (!l.has(15) || !l.checksumOk || !bNmeaReadInt(l.tok[3], 1, 32, prn)) return;
    _GPS_DB_ALMANAC* alm = GpsDbGetAlmanac(l.instance, prn - 1);
    if (!alm) return;
    const auto u = [&l](int n) { return static_cast<double>(dwNmeaHexUnsigned(l.tok[n])); };
    const auto s = [&l](int n) { return static_cast<double>(lNmeaHexSigned(l.tok[n])); };
    alm->wWeek = static_cast<uint16_t>(std::atoi(l.tok[4]));
    alm->wHealth = static_cast<uint16_t>(dwNmeaHexUnsigned(l.tok[5]));
    alm->dEccentricity = u(6) * std::ldexp(1.0, -21);
    alm->dRefTime = u(7) * 4096.0;
    alm->dInclination = s(8) * std::ldexp(1.0, -19) * kPi;
    alm->dRateRightAsc = s(9) * std::ldexp(1.0, -38) * kPi;
    const double rootA = u(10) * std::ldexp(1.0, -11);
    alm->dSemiMajorAxis = rootA * rootA;
    alm->dArgPerigee = s(11) * std::ldexp(1.0, -23) * kPi;
    alm->dLongAscNode = s(12) * std::ldexp(1.0, -23) * kPi;
    alm->dMeanAnomaly = s(13) * std::ldexp(1.0, -23) * kPi;
    alm->dAf0 = s(14) * std::ldexp(1.0, -20);
    alm->dAf1 = s(15) * std::ldexp(1.0, -38);
}

// "$HEROT,-12.5,A*30": rate of turn, degrees per minute, A = valid; from any
// heading talker (HE, HC, SD, AP). A rate marked not valid, or missing, is
// stored as the missing mark. The dispatcher hands over only lines whose
// checksum is right: a corrupt line leaves the last good rate.
void decodeRot(const NmeaLine& l)
{
    double rate = 0.0;
    const bool valid = l.is(2, "A") && bNmeaReadReal(l.tok[1], -kMaxRateOfTurn, kMaxRateOfTurn, rate);
    GpsDbSetRateOfTurn(l.instance, valid ? static_cast<float>(rate) : kMissing);
}

// "$PVRN,HPR,123519.00,271.50,-1.20,0.80*66": heading (yaw), pitch and roll.
void decodePvrn(const NmeaLine& l)
{
    if (!l.is(1, "HPR")) return;
    const auto angle = [&l](int n, double limit) {
        double value = 0.0;
        return bNmeaReadReal(l.tok[n], -limit, limit, value) ? static_cast<float>(value) : kMissing;
    };
    GpsDbSetYaw(l.instance, angle(3, 360.0));
    GpsDbSetPitch(l.instance, angle(4, 90.0));
    GpsDbSetRoll(l.instance, angle(5, 180.0));
}

// "$HEHDG,238.8,,,13.9,W*07": magnetic heading, deviation, variation and its
// direction. Only the variation is kept, negative to the west; a variation
// that is missing or refused is the missing mark, whatever its direction.
void decodeHdg(const NmeaLine& l)
{
    double value = 0.0;
    if (!bNmeaReadReal(l.tok[4], -180.0, 180.0, value)) {
        GpsDbSetVariation(l.instance, kMissing);
        return;
    }
    GpsDbSetVariation(l.instance, static_cast<float>(l.is(5, "W") ? -value : value));
}

// ---- Dispatch ---------------------------------------------------------------------

// Which names a row matches: the exact name, or its formatter after a
// talker of a kind.
enum Match { EXACT, GNSS_TALKER, HEADING_TALKER };

struct Sentence {
    Match match;
    const char* tag;  // the name, or the formatter ("GSV")
    int minTokens;    // fewer: the line is not decoded (its ticks are set)
    unsigned ticks;
    void (*decode)(const NmeaLine&);
    bool checksummed;  // decoded only with its checksum right
};

constexpr unsigned S = NMEA_TICK_STATUS;
constexpr unsigned G = NMEA_TICK_GOOD;

const Sentence kSentences[] = {
    {EXACT, "$>JSHOW",    1,  S | G, decodeJshow, false},
    {EXACT, "$>JAPP",     1,  0,     decodeJapp, false},
    {EXACT, "$>JI",       1,  S | G, decodeJi, false},
    {EXACT, "$>JT",       1,  S | G, decodeJt, false},
    {EXACT, "$RD1",       1,  S | G, decodeRd1, false},
    {EXACT, "$>JOMS",     1,  0,     decodeJoms, false},
    {EXACT, "$>JK",       1,  S | G, decodeJk, false},
    {EXACT, "$>JRTK",     1,  G,     decodeJrtk, false},
    {EXACT, "%>",         1,  G,     decodeNothing, false},
    {EXACT, "$>JWAASPRN", 1,  0,     decodeJwaasprn, false},
    {EXACT, "$GPALM",     16, 0,     decodeAlm, true},
    {EXACT, "$PVRN",      2,  0,     decodePvrn, true},
    {GNSS_TALKER, "VTG",  2,  G,     decodeVtg, true},
    {GNSS_TALKER, "GST",  1,  S | G, decodeNothing, true},
    {GNSS_TALKER, "GSV",  4,  0,     NmeaDecodeGsv, true},
    {GNSS_TALKER, "GSA",  3,  0,     NmeaDecodeGsa, true},
    {GNSS_TALKER, "GGA",  10, 0,     NmeaDecodeGga, true},
    {GNSS_TALKER, "RMC",  10, 0,     NmeaDecodeRmc, true},
    {GNSS_TALKER, "GNS",  10, 0,     NmeaDecodeGns, true},
    {GNSS_TALKER, "GLL",  7,  0,     NmeaDecodeGll, true},
    {GNSS_TALKER, "ZDA",  5,  0,     NmeaDecodeZda, true},
    {HEADING_TALKER, "ROT", 1, 0,    decodeRot, true},
    {HEADING_TALKER, "HDG", 1, 0,    decodeHdg, true},
};

bool matches(const Sentence& s, const NmeaLine& l)
{
    switch (s.match) {
    case EXACT: return std::strcmp(l.tok[0], s.tag) == 0;
    case GNSS_TALKER:
        return bNmeaTalkerIsGnss(l.talker) && std::strcmp(l.tok[0] + 3, s.tag) == 0;
    case HEADING_TALKER:
        return bNmeaTalkerIsHeading(l.talker) && std::strcmp(l.tok[0] + 3, s.tag) == 0;
    }
    return false;
}

// Tokens up to the checksum field (the token that starts right after the
// "*"), which is not taken.
void split(NmeaLine& l, char* line, const char* checksumField)
{
    l.count = 0;
    char* token = pszGpsToken(line, ",*");
    while (token && token != checksumField && l.count < NMEA_MAX_TOKENS &&
           (l.count == 0 || token != l.tok[l.count - 1])) {
        l.tok[l.count++] = token;
        token = pszGpsToken(nullptr, ",*");
    }
    for (int i = l.count; i <= NMEA_MAX_TOKENS; ++i) l.tok[i] = nullptr;
}

} // namespace

unsigned NmeaDecodeLine(int instance, char* line)
{
    NmeaLine& l = current;
    l.instance = instance;
    const char* const star = std::strchr(line, '*');
    l.checksumOk = bNmeaChecksumOk(line);
    const bool corrupt = star != nullptr && !l.checksumOk;
    split(l, line, star != nullptr ? star + 1 : nullptr);
    if (l.count == 0 || corrupt) return 0;
    l.talker = eNmeaTalker(l.tok[0]);
    // Any line whose checksum is right shows that the link works, whether or
    // not it is decoded here.
    const unsigned good = l.checksumOk ? NMEA_TICK_GOOD : 0;

    for (const Sentence& s : kSentences) {
        if (!matches(s, l)) continue;
        if (s.checksummed && !l.checksumOk) return 0;
        if (s.ticks & NMEA_TICK_STATUS) GpsDbSetStatusTick(instance, TimerTick());
        if (l.count >= s.minTokens) s.decode(l);
        return s.ticks | good;
    }
    return good;
}

const char* szNmeaParseGetSbasSystem()
{
    return sbasSystem;
}
