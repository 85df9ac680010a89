#include "gnssmon/NmeaDecode.h"

#include "gnssmon/GpsDb.h"
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
// and sets no tick, except where its decoder marks the values it would have
// given as missing.
//
// Receiver replies to "$J" commands begin "$>". Replies and sentences are
// dispatched by exact name through the table at the end of this file; each
// row carries the ticks its name sets, whether or not its fields were usable.

namespace {

struct NmeaLine {
    int instance;
    char* tok[NMEA_MAX_TOKENS + 1];
    int count;
    bool checksumOk;  // the line carries "*hh" and it matches

    bool has(int n) const { return n < count; }
    bool is(int n, const char* text) const { return has(n) && std::strcmp(tok[n], text) == 0; }
    bool empty(int n) const { return !has(n) || tok[n][0] == '\0'; }
};

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

// A real field that is a finite number from `lo` to `hi`, and nothing else
// ("nan", "1e999", "12x" and an empty field are refused).
bool readReal(const char* field, double lo, double hi, double& value)
{
    if (field == nullptr || *field == '\0') return false;
    char* end = nullptr;
    const double v = std::strtod(field, &end);
    if (*end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    value = v;
    return true;
}

// A decimal integer field from `lo` to `hi`, read without overflow.
bool readInt(const char* field, long lo, long hi, long& value)
{
    if (field == nullptr || *field == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(field, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
    value = v;
    return true;
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
        if (!readReal(l.tok[7], 0.0, kMaxSpeedMs / kKmhToMs, speed)) return;
        speed *= kKmhToMs;
    } else if (!l.empty(5)) {
        if (!readReal(l.tok[5], 0.0, kMaxSpeedMs / kKnotsToMs, speed)) return;
        speed *= kKnotsToMs;
    } else {
        return;
    }
    GpsDbSetVelocity(l.instance, speed);
    double course = 0.0;
    if (l.has(1) && readReal(l.tok[1], 0.0, 360.0, course)) GpsDbSetCourse(l.instance, course);
}

// "$GPGSV,3,2,11,14,25,170,42,16,57,208,39,18,67,296,40,19,40,246,38*79":
// message 2 of 3, 11 satellites in view, then up to four blocks of SV,
// elevation, azimuth, SNR; the last message of a cycle may hold fewer. Message
// m fills channels from (m - 1) * 4; a message number beyond the channel table
// is refused before any channel is computed from it. An empty elevation,
// azimuth or SNR reads as 0 ("not known", as a satellite not tracked gives no
// SNR); a block with a value out of its range is not stored.
void decodeGsv(const NmeaLine& l)
{
    constexpr int kBlocks = 4;
    long message = 0;
    if (!readInt(l.tok[2], 1, GPS_DB_CHANNELS / kBlocks, message)) return;
    const auto field = [&l](int n, double lo, double hi, double& value) {
        value = 0.0;
        return l.empty(n) || readReal(l.tok[n], lo, hi, value);
    };
    for (int i = 0; i < kBlocks; ++i) {
        const int at = 4 * i + 4;
        long sv = 0;
        double elevation, azimuth, snr;
        if (l.empty(at) || !readInt(l.tok[at], 1, 255, sv) || !field(at + 1, -90.0, 90.0, elevation) ||
            !field(at + 2, 0.0, 360.0, azimuth) || !field(at + 3, 0.0, 99.0, snr))
            continue;
        const int channel = static_cast<int>(message - 1) * kBlocks + i;
        GpsDbSetGPSChannelDataSV(l.instance, channel, static_cast<unsigned char>(sv));
        GpsDbSetGPSChannelDataElevation(l.instance, channel, static_cast<signed char>(elevation));
        GpsDbSetGPSChannelDataHalfAzimuth(l.instance, channel, static_cast<uint16_t>(azimuth));
        GpsDbSetGPSChannelDataSNR(l.instance, channel, snr);
    }
}

// "$GPALM,1,1,15,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4,001*77":
// message 1 of 1, PRN 15, week 1159, then the almanac in the scaled binary
// units of the GPS navigation message, as hexadecimal. Every field is needed,
// and so is the checksum: a hexadecimal field reads any character.
void decodeAlm(const NmeaLine& l)
{
    long prn = 0;
    if (!l.has(15) || !l.checksumOk || !readInt(l.tok[3], 1, 32, prn)) return;
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

// "$HEROT,-12.5,A*30": rate of turn, degrees per minute, A = valid.
void decodeRot(const NmeaLine& l)
{
    double rate = 0.0;
    const bool valid = l.has(2) && l.tok[2][0] == 'A' && l.checksumOk &&
                       readReal(l.tok[1], -kMaxRateOfTurn, kMaxRateOfTurn, rate);
    GpsDbSetRateOfTurn(l.instance, valid ? static_cast<float>(rate) : kMissing);
}

// "$PVRN,HPR,123519.00,271.50,-1.20,0.80*66": heading (yaw), pitch and roll.
void decodePvrn(const NmeaLine& l)
{
    if (!l.is(1, "HPR")) return;
    const auto angle = [&l](int n, double limit) {
        double value = 0.0;
        return l.checksumOk && readReal(l.tok[n], -limit, limit, value) ? static_cast<float>(value) : kMissing;
    };
    GpsDbSetYaw(l.instance, angle(3, 360.0));
    GpsDbSetPitch(l.instance, angle(4, 90.0));
    GpsDbSetRoll(l.instance, angle(5, 180.0));
}

// "$HEHDG,238.8,,,13.9,W*07": magnetic heading, deviation, variation and its
// direction. Only the variation is kept, negative to the west.
void decodeHdg(const NmeaLine& l)
{
    double value = 0.0;
    float variation = l.checksumOk && readReal(l.tok[4], -180.0, 180.0, value) ? static_cast<float>(value) : kMissing;
    if (l.is(5, "W")) variation = -variation;
    GpsDbSetVariation(l.instance, variation);
}

// ---- Dispatch ---------------------------------------------------------------------

struct Sentence {
    const char* name;
    unsigned ticks;
    void (*decode)(const NmeaLine&);
    // The decoder is also given a corrupt line: it marks its values missing.
    bool marksCorrupt;
};

constexpr unsigned S = NMEA_TICK_STATUS;
constexpr unsigned G = NMEA_TICK_GOOD;

const Sentence kSentences[] = {
    {"$>JSHOW",    S | G, decodeJshow, false},
    {"$>JAPP",     0,     decodeJapp, false},
    {"$>JI",       S | G, decodeJi, false},
    {"$>JT",       S | G, decodeJt, false},
    {"$RD1",       S | G, decodeRd1, false},
    {"$>JOMS",     0,     decodeJoms, false},
    {"$>JK",       S | G, decodeJk, false},
    {"$>JRTK",     G,     decodeJrtk, false},
    {"%>",         G,     decodeNothing, false},
    {"$>JWAASPRN", 0,     decodeJwaasprn, false},
    {"$GPVTG",     G,     decodeVtg, false},
    {"$GPGST",     S | G, decodeNothing, false},
    {"$GPGSV",     0,     decodeGsv, false},
    {"$GPALM",     0,     decodeAlm, false},
    {"$HEROT",     0,     decodeRot, true},
    {"$PVRN",      0,     decodePvrn, true},
    {"$HEHDG",     0,     decodeHdg, true},
};

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
    if (l.count == 0) return 0;
    // Any line whose checksum is right shows that the link works, whether or
    // not it is decoded here (GPGGA, for one, is not).
    const unsigned good = l.checksumOk ? NMEA_TICK_GOOD : 0;

    for (const Sentence& s : kSentences) {
        if (std::strcmp(l.tok[0], s.name) != 0) continue;
        if (corrupt && !s.marksCorrupt) return 0;
        if (s.ticks & NMEA_TICK_STATUS) GpsDbSetStatusTick(instance, TimerTick());
        s.decode(l);
        return s.ticks | good;
    }
    return good;
}

const char* szNmeaParseGetSbasSystem()
{
    return sbasSystem;
}
