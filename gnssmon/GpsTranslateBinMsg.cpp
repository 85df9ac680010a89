#include "gnssmon/GpsTranslateBinMsg.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/LittleEndian.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"

#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Below this speed a course from the velocity vector is noise, except in RTK
// where the position (and so the vector) is good to centimetres.
constexpr double kCourseMinSpeed = 0.5;
constexpr int kDiffRtk = 9;
constexpr int kDiffRtkNoSub = 10;
constexpr int kStatusRtkFixed = 6;

// When message 1 last gave a position, per instance.
uint32_t binaryFixTick[QEL_PARSE_INSTANCES];
bool binaryFixSeen[QEL_PARSE_INSTANCES];

// Data of the frame in RxBuf, and its length.
const unsigned char* frameData(const _QEL_PARSE_STATE& s)
{
    return s.RxBuf + QEL_PARSE_HEADER;
}

uint16_t frameLength(const _QEL_PARSE_STATE& s)
{
    return wGetLe16(s.RxBuf + 6);
}

// Course and speed from the north and east velocity (step 5 of message 1).
// The speed is always the one measured; below the cut-off (except in RTK,
// whose velocity is good to centimetres per second) the course is noise and
// is not taken: the fix then has no track.
void setCourseAndSpeed(int instance, double north, double east)
{
    const double speed = std::sqrt(east * east + north * north);
    GpsDbSetVelocity(instance, speed);
    GpsDbSetTrackKnown(instance, false);
    if (speed == 0.0) return;
    double course = std::atan2(east, north) * 360.0 / kTwoPi;
    if (course < 0.0) course += 360.0;
    GpsDbSetDirCutoffSpeed(instance, 0.0);

    const int diffType = iGpsDbGetDiffType(0);
    const bool rtk = diffType == kDiffRtk || diffType == kDiffRtkNoSub ||
                     iGpsDbGetGpsStatus(instance) == kStatusRtkFixed;
    if (!rtk && speed < kCourseMinSpeed) return;
    GpsDbSetRawCourse(instance, course);
    GpsDbSetTrackKnown(instance, true);
}

} // namespace

void GpsTranslateBinMsg()
{
    const _QEL_PARSE_STATE* s = pQelParseGetState(iQelParseGetCurrentInstance());
    if (!s) return;
    switch (wGetLe16(s->RxBuf + 4)) {
    case 1: GpsTranslateBinMsg1(); break;
    case 2: GpsTranslateBinMsg2(); break;
    case 99: GpsTranslateBinMsg99(); break;
    default: break; // 97, 98: checked, not translated
    }
}

// Message 1, 52 bytes: position, time and velocity.
//   0 u8 age of differential (s)     1 u8 satellites used    2 u16 GPS week
//   4 f64 time of week (s)          12 f64 latitude (deg)    20 f64 longitude (deg)
//  28 f32 height (m)                32 f32 v north (m/s)     36 f32 v east (m/s)
//  40 f32 v up (m/s)                44 f32 std dev of residuals
//  48 u8 navigation mode (low 3 bits)  50 u16 extended age of differential (s)
// The database steps run in this order: the new-position processing (step 8)
// must see the course, speed and status of this very message.
void GpsTranslateBinMsg1()
{
    const int instance = iQelParseGetCurrentInstance();
    const _QEL_PARSE_STATE* s = pQelParseGetState(instance);
    if (!s || frameLength(*s) < BIN_MSG1_LENGTH) return;
    const unsigned char* d = frameData(*s);

    const uint16_t week = wGetLe16(d + 2);
    const double timeOfWeek = dGetLe64(d + 4);
    GpsDbSetRawLat(instance, dGetLe64(d + 12));
    GpsDbSetRawLon(instance, dGetLe64(d + 20));

    PutGPSTime(timeOfWeek, week, s->wGpsUtcDiff, 1);
    GpsDbSetPositionTime(instance, GetTime());

    GpsDbSetGPSWeek(instance, week);
    GpsDbSetTimeOfWeek(instance, timeOfWeek);
    GpsDbSetAlt(instance, static_cast<double>(fGetLe32(d + 28)));
    GpsDbSetNumSats(instance, d[1]);

    setCourseAndSpeed(instance, fGetLe32(d + 32), fGetLe32(d + 36));
    GpsDbSetVerticalVelocity(instance, static_cast<double>(fGetLe32(d + 40)));

    const uint16_t extendedAge = wGetLe16(d + 50);
    GpsDbSetAgeOfDiff(instance, extendedAge != 0 ? extendedAge : d[0]);
    GpsDbSetDgpsAge(instance, extendedAge != 0 ? extendedAge : d[0]);
    GpsDbSetSTDEV(instance, static_cast<double>(fGetLe32(d + 44)));
    GpsDbSetGpsStatus(instance, d[48] & 7);

    const uint32_t now = TimerTick();
    binaryFixTick[instance] = now;
    binaryFixSeen[instance] = true;
    GpsDbSetNewPosTick(instance, now);
    GpsDbSetStatusTick(instance, now);
    GpsDbSetConnectionType(instance, 2);
}

// Message 2, 16 bytes: satellite masks, time offset, DOPs and SBAS PRNs.
//   0 u32 tracked mask   4 u32 used mask   8 u16 GPS-minus-UTC (s)
//  10 u16 HDOP x 10     12 u16 VDOP x 10  14 u16 SBAS: bit 0 PRN 1 valid,
//  bit 1 PRN 2 valid, bits 5-9 PRN 1 - 120, bits 10-14 PRN 2 - 120.
void GpsTranslateBinMsg2()
{
    const int instance = iQelParseGetCurrentInstance();
    _QEL_PARSE_STATE* s = pQelParseGetState(instance);
    if (!s || frameLength(*s) < BIN_MSG2_LENGTH) return;
    const unsigned char* d = frameData(*s);

    // Kept for the time stamps of the following messages 1.
    s->wGpsUtcDiff = wGetLe16(d + 8);

    GpsDbSetSatsTrackedMask(instance, dwGetLe32(d + 0));
    GpsDbSetSatsUsedMask(instance, dwGetLe32(d + 4));
    const float hdop = wGetLe16(d + 10) / 10.0f;
    const float vdop = wGetLe16(d + 12) / 10.0f;
    GpsDbSetHdop(instance, hdop);
    GpsDbSetVdop(instance, vdop);
    GpsDbSetPdop(instance, std::sqrt(hdop * hdop + vdop * vdop));

    const uint16_t sbas = wGetLe16(d + 14);
    if (sbas & 0x1) GpsDbSetDiffSv1(instance, ((sbas >> 5) & 0x1F) + 120);
    if (sbas & 0x2) GpsDbSetDiffSv2(instance, ((sbas >> 10) & 0x1F) + 120);
    GpsDbSetStatusTick(instance, TimerTick());
}

// Message 99, 300 bytes: 12 unused bytes, then 12 channel blocks of 24:
//   1 u8 SV   8 s8 elevation (deg)   9 u8 azimuth / 2 (deg)
//  12 u16 signal level   14 u16 differential correction (cm)
//  16 u16 position residual (dm)
// The signal level S maps to dB-Hz as 10 log10(S * 4096 / 80000).
void GpsTranslateBinMsg99()
{
    const int instance = iQelParseGetCurrentInstance();
    const _QEL_PARSE_STATE* s = pQelParseGetState(instance);
    if (!s || frameLength(*s) < BIN_MSG99_LENGTH) return;

    for (int channel = 0; channel < BIN_MSG99_CHANNELS; ++channel) {
        const unsigned char* b = frameData(*s) + BIN_MSG99_FIRST_BLOCK + channel * BIN_MSG99_BLOCK;
        const uint16_t level = wGetLe16(b + 12);
        GpsDbSetGPSChannelDataSV(instance, channel, b[1]);
        GpsDbSetGPSChannelDataElevation(instance, channel, static_cast<signed char>(b[8]));
        GpsDbSetGPSChannelDataHalfAzimuth(instance, channel, static_cast<uint16_t>(2 * b[9]));
        GpsDbSetGPSChannelDataSNR(instance, channel, level > 0 ? 10.0 * std::log10(level * 4096.0 / 80000.0) : 0.0);
        GpsDbSetGPSChannelDataDiffCorr(instance, channel, wGetLe16(b + 14) * 0.01);
        GpsDbSetGPSChannelDataPosResid(instance, channel, wGetLe16(b + 16) * 0.1);
    }
    GpsDbSetStatusTick(instance, TimerTick());
}

void GpsTranslateBinMsgInit(int instance)
{
    if (instance >= 0 && instance < QEL_PARSE_INSTANCES) binaryFixSeen[instance] = false;
}

bool bGpsBinaryPositionsFlowing(int instance)
{
    if (instance < 0 || instance >= QEL_PARSE_INSTANCES || !binaryFixSeen[instance]) return false;
    return TimerTick() - binaryFixTick[instance] < BIN_MSG1_QUIET_MS;
}

int iGpsBinGpsUtcDiff(int instance)
{
    const _QEL_PARSE_STATE* s = pQelParseGetState(instance);
    return s != nullptr && s->wGpsUtcDiff != 0 ? s->wGpsUtcDiff : BIN_DEFAULT_GPS_UTC_DIFF;
}
