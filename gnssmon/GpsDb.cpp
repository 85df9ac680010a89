#include "gnssmon/GpsDb.h"

#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/TimeServices.h"

#include <cmath>
#include <cstring>

const char* const szGpsDbDiffType[GPS_DB_DIFF_TYPES] = {
    "Unknown",    // 0
    "LBAND",      // 1
    "BEACON",     // 2
    "OTHER",      // 3
    "THIS",       // 4
    "WAAS",       // 5
    "AUTO",       // 6
    "AUTO_NA",    // 7
    "AUTO_NOSUB", // 8
    "RTK",        // 9
    "RTK_NOSUB",  // 10
    "LOCAL",      // 11
    "LOCAL_NOSUB",// 12
    "NONE",       // 13
};

double dForTestOnlyClockDiff = 0.0;

namespace {

_GPS_DB_RECORD GpsDb[GPS_DB_INSTANCES];
bool GpsDbReady = false;       // GpsDbInit or GpsDbGuidanceInit has run
bool GpsDbEverInit = false;    // the echo links have been cleared once
double GpsDbFilteredOffset = 0.0;  // clock filter, one for the whole module
void (*GpsDbReportCallback)(int, int) = nullptr;

constexpr double TWO_PI = 6.283185307179586;
constexpr double DEG_LAT_PER_METRE = 8.999298684654e-6;
constexpr double CLOCK_JUMP_MS = 50.0;
constexpr double CLOCK_FILTER_GAIN = 0.1;

bool ValidInstance(int instance) { return instance >= 0 && instance < GPS_DB_INSTANCES; }
bool ValidChannel(int channel) { return channel >= 0 && channel < GPS_DB_CHANNELS; }

// Copies at most size - 1 characters and always terminates the field.
template <int N>
void CopyText(char (&field)[N], const char* text) {
    if (text == nullptr) return;
    std::size_t length = 0;
    while (length < static_cast<std::size_t>(N - 1) && text[length] != '\0') ++length;
    std::memcpy(field, text, length);
    field[length] = '\0';
}

// Degrees of latitude (north) and longitude (east) that `distance` metres
// towards `bearing` degrees make at latitude `latitude`.
void OffsetFromBearing(double latitude, double bearing, double distance, double* north, double* east) {
    const double b = bearing * TWO_PI / 360.0;
    *north = std::cos(b) * distance * DEG_LAT_PER_METRE;
    *east = std::sin(b) * distance * DEG_LAT_PER_METRE / std::cos(latitude * TWO_PI / 360.0);
}

// Antenna offsets and the fixed adjustment on top of the raw position. The
// longitude scale is taken at the latitude of the position being offset.
void ApplyOffsets(_GPS_DB_RECORD& r) {
    double lateralBearing = r.dCourse + 90.0;
    if (lateralBearing > 360.0) lateralBearing -= 360.0;
    if (lateralBearing < 0.0) lateralBearing += 360.0;

    double lateralN = 0.0, lateralE = 0.0;
    if (r.dLateralAntennaAdj != 0.0 || r.dGpsLateralAdjustForRoll != 0.0)
        OffsetFromBearing(r.dRawLat, lateralBearing, r.dLateralAntennaAdj + r.dGpsLateralAdjustForRoll, &lateralN,
                          &lateralE);
    if (r.dForwardAntennaAdj != 0.0) {
        OffsetFromBearing(r.dRawLat, r.dCourse, r.dForwardAntennaAdj, &r.dForwardOffsetN, &r.dForwardOffsetE);
    } else {
        r.dForwardOffsetN = 0.0;
        r.dForwardOffsetE = 0.0;
    }
    r.dForwardOffsetN += lateralN;
    r.dForwardOffsetE += lateralE;
    r.dLat = r.dRawLat + r.dForwardOffsetN + r.dAdjustN;
    r.dLon = r.dRawLon + r.dForwardOffsetE + r.dAdjustE;
}

// What an echo instance takes over from the instance it mirrors.
void CopyEcho(const _GPS_DB_RECORD& from, _GPS_DB_RECORD& to) {
    to.dRawLat = from.dLat;
    to.dRawLon = from.dLon;
    to.dAlt = from.dAlt;
    to.dVelocity = from.dVelocity;
    to.dCourse = from.dCourse;
    to.dPositionTime = from.dPositionTime;
    to.dwNewPosTick = from.dwNewPosTick;
    to.dTimeOfWeek = from.dTimeOfWeek;
    to.wGPSWeek = from.wGPSWeek;
    to.iGpsStatus = from.iGpsStatus;
    to.iConnectionType = from.iConnectionType;
    to.iNumSats = from.iNumSats;
    to.fHdop = from.fHdop;
    to.fVdop = from.fVdop;
    to.fPdop = from.fPdop;
    to.wAgeOfDiff = from.wAgeOfDiff;
    to.dDgpsAge = from.dDgpsAge;
    to.bTrackKnown = from.bTrackKnown;
}

const char* DiffTypeName(int type) {
    return (type >= 0 && type < GPS_DB_DIFF_TYPES) ? szGpsDbDiffType[type] : szGpsDbDiffType[0];
}

} // namespace

// ---- whole database ----

void GpsDbInit(int instance, bool noCourseCutoff) {
    if (!GpsDbEverInit) {
        for (auto& r : GpsDb) r.iEchoHandle = GPS_DB_NO_ECHO;
        GpsDbEverInit = true;
    }
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    r.dwNewPosTick = 0;
    r.dLat = r.dLon = r.dAlt = r.dVelocity = 0.0;
    r.dRawLat = r.dRawLon = r.dCourse = 0.0;
    r.dPositionTime = r.dTimeOfWeek = 0.0;
    r.bVectorReceiver = false;
    r.fRateOfTurn = r.fYaw = r.fPitch = r.fRoll = r.fVariation = GPS_DB_MISSING;
    r.dGpsLateralAdjustForRoll = 0.0;
    std::memset(r.GpsChannel, 0, sizeof r.GpsChannel);
    std::memset(r.GlonassChannel, 0, sizeof r.GlonassChannel);
    std::memset(r.Almanac, 0, sizeof r.Almanac);
    r.iEchoHandle = GPS_DB_NO_ECHO;
    r.dwStatusTick = 0;
    r.dwSatsUsedMask = r.dwSatsTrackedMask = 0;
    r.fHdop = r.fVdop = r.fPdop = 0.0f;
    r.wAgeOfDiff = 9999;
    r.wPosPerSec = 0;
    r.wDiffSv1 = r.wDiffSv2 = 0;
    r.iNumSats = 0;
    r.iDiffType = r.iOtherDiffType = 0;
    r.iGpsStatus = r.iConnectionType = r.iSubscriptionMask = 0;
    r.dLateralAntennaAdj = r.dForwardAntennaAdj = 0.0;
    r.dForwardOffsetN = r.dForwardOffsetE = 0.0;
    r.dAdjustN = r.dAdjustE = 0.0;
    r.dDirCutoffSpeed = noCourseCutoff ? 0.0 : GPS_DB_DEFAULT_DIR_CUTOFF_SPEED;
    r.dTimeOffset = 0.0;
    CopyText(r.szBER, "NA");
    r.dSTDEV = -1.0;
    CopyText(r.szCorrectionType, "Unknown");
    CopyText(r.szSerialNumber, "000-00-0000");
    CopyText(r.szApp1, "Unknown");
    CopyText(r.szApp2, "Unknown");
    r.iThisApp = 0;
    r.iAGC = 0;
    CopyText(r.szApplicationVersion, "0.0");
    CopyText(r.szReceiverName, "Unknown");
    r.wGPSWeek = 0;
    r.dVerticalVelocity = 0.0;
    r.iClockOffset = 14;
    r.dRawCourse = 0.0;
    r.bGyroAdjustment = false;
    r.dwBaseBatteryType = r.dwBaseBatteryState = r.dwBaseBatteryRemainingMinutes = 0;
    r.fBaseBatteryVoltage = 0.0f;
    CopyText(r.szVBSexpire, "Unknown");
    r.dVectorTrueHeading = r.dVectorRateOfTurn = r.dVectorHeading = 0.0;
    r.dVectorPitch = r.dVectorRoll = r.dVectorTime = 0.0;
    r.bTrackKnown = false;
    r.dDgpsAge = std::nan("");
    GpsDbSatellitesInit(instance);
    GpsDbReady = true;
}

void GpsDbGuidanceInit() {
    for (int i = 0; i < GPS_DB_INSTANCES; ++i) GpsDbInit(i, false);
    GpsDb[1].iEchoHandle = 0;
    GpsDb[2].iEchoHandle = 1;
    GpsDb[3].iEchoHandle = 1;
    GpsDb[2].dLateralAntennaAdj = -10.0;
    GpsDb[3].dLateralAntennaAdj = 10.0;
    GpsDbReady = true;
}

void GpsDbSetReportCallback(void (*callback)(int instance, int report)) { GpsDbReportCallback = callback; }

void GpsDbReport(int instance, int report) {
    if (GpsDbReportCallback != nullptr && ValidInstance(instance)) GpsDbReportCallback(instance, report);
}

_GPS_DB_RECORD* pGpsDbGetPosStruct(int instance) { return ValidInstance(instance) ? &GpsDb[instance] : nullptr; }

void GpsDbGetEstimatedPos(int instance, double time, double* lat, double* lon) {
    if (!ValidInstance(instance) || lat == nullptr || lon == nullptr) return;
    const _GPS_DB_RECORD& r = GpsDb[instance];
    const double metresPerMs = r.dVelocity / 1000.0;
    // The fix was taken at the position time: travel from there to the time
    // wanted (now when `time` is 0).
    const double until = (time == 0.0) ? dGpsDbGetCurrentTime(instance) : time;
    const double distance = (until - r.dPositionTime) * metresPerMs;
    double north = 0.0, east = 0.0;
    OffsetFromBearing(r.dLat, r.dCourse, distance, &north, &east);
    *lat = r.dLat + north;
    *lon = r.dLon + east;
}

int iCountSats(unsigned int mask) {
    int count = 0;
    for (uint32_t bits = mask; bits != 0; bits &= bits - 1) ++count;
    return count;
}

// ---- plain fields: one row per setter or getter ----

#define GPSDB_SET(Name, Type, field)                                                             \
    void GpsDbSet##Name(int instance, Type value) {                                              \
        if (ValidInstance(instance))                                                             \
            GpsDb[instance].field = static_cast<decltype(GpsDb[0].field)>(value);                \
    }
#define GPSDB_GET(Type, Function, field, whenBad) \
    Type Function(int instance) { return ValidInstance(instance) ? static_cast<Type>(GpsDb[instance].field) : (whenBad); }
#define GPSDB_SET_TEXT(Name, field) \
    void GpsDbSet##Name(int instance, const char* text) { if (ValidInstance(instance)) CopyText(GpsDb[instance].field, text); }
#define GPSDB_GET_TEXT(Function, field, whenBad) \
    const char* Function(int instance) { return ValidInstance(instance) ? GpsDb[instance].field : (whenBad); }

GPSDB_SET(Lat, double, dLat)
GPSDB_SET(Lon, double, dLon)
GPSDB_SET(Alt, double, dAlt)
GPSDB_SET(RawLat, double, dRawLat)
GPSDB_SET(RawLon, double, dRawLon)
GPSDB_GET(double, dGpsDbGetLat, dLat, 0.0)
GPSDB_GET(double, dGpsDbGetLon, dLon, 0.0)
GPSDB_GET(double, dGpsDbGetAlt, dAlt, 0.0)
GPSDB_GET(double, dGpsDbGetRawLat, dRawLat, 0.0)
GPSDB_GET(double, dGpsDbGetRawLon, dRawLon, 0.0)
GPSDB_GET(double, dGpsDbGet2DAlt, d2DAlt, GPS_DB_NO_2D_ALT)

GPSDB_SET(RawCourse, double, dRawCourse)
GPSDB_SET(Velocity, double, dVelocity)
GPSDB_SET(VerticalVelocity, double, dVerticalVelocity)
GPSDB_SET(DirCutoffSpeed, double, dDirCutoffSpeed)
GPSDB_SET(TrackKnown, bool, bTrackKnown)
GPSDB_GET(bool, bGpsDbGetTrackKnown, bTrackKnown, false)
GPSDB_GET(double, dGpsDbGetCourse, dCourse, 0.0)
GPSDB_GET(double, dGpsDbGetRawCourse, dRawCourse, 0.0)
GPSDB_GET(double, dGpsDbGetVelocity, dVelocity, 0.0)
GPSDB_GET(double, dGpsDbGetVerticalVelocity, dVerticalVelocity, 0.0)

GPSDB_SET(TimeOfWeek, double, dTimeOfWeek)
GPSDB_SET(GPSWeek, uint16_t, wGPSWeek)
GPSDB_SET(StatusTick, uint32_t, dwStatusTick)
GPSDB_SET(ClockOffset, int32_t, iClockOffset)
GPSDB_GET(uint32_t, dwGpsDbGetNewPosTick, dwNewPosTick, 0u)
GPSDB_GET(double, dGpsDbGetPositionTime, dPositionTime, 0.0)
GPSDB_GET(double, dGpsDbGetTimeOfWeek, dTimeOfWeek, 0.0)
GPSDB_GET(uint16_t, wGpsDbGetGPSWeek, wGPSWeek, 0)
GPSDB_GET(uint32_t, dwGpsDbGetStatusTick, dwStatusTick, 0u)
GPSDB_GET(int, iGpsDbGetClockOffset, iClockOffset, 0)

GPSDB_SET(Hdop, float, fHdop)
GPSDB_SET(Vdop, float, fVdop)
GPSDB_SET(Pdop, float, fPdop)
GPSDB_SET(STDEV, double, dSTDEV)
GPSDB_SET(NumSats, int32_t, iNumSats)
GPSDB_SET(SatsUsedMask, uint32_t, dwSatsUsedMask)
GPSDB_SET(SatsTrackedMask, uint32_t, dwSatsTrackedMask)
GPSDB_SET(GpsStatus, int32_t, iGpsStatus)
GPSDB_SET(ConnectionType, int32_t, iConnectionType)
GPSDB_SET(AGC, int32_t, iAGC)
GPSDB_SET(PosPerSec, uint16_t, wPosPerSec)
GPSDB_GET(float, fGpsDbGetHdop, fHdop, 0.0f)
GPSDB_GET(float, fGpsDbGetVdop, fVdop, 0.0f)
GPSDB_GET(float, fGpsDbGetPdop, fPdop, 0.0f)
GPSDB_GET(double, dGpsDbGetSTDEV, dSTDEV, 0.0)
GPSDB_GET(int, iGpsDbGetNumSats, iNumSats, 0)
GPSDB_GET(uint32_t, dwGpsDbGetSatsUsedMask, dwSatsUsedMask, 0u)
GPSDB_GET(uint32_t, dwGpsDbGetSatsTrackedMask, dwSatsTrackedMask, 0u)
GPSDB_GET(int, iGpsDbGetGpsStatus, iGpsStatus, 0)
GPSDB_GET(int, iGpsDbGetConnectionType, iConnectionType, 0)
GPSDB_GET(int, iGpsDbGetAGC, iAGC, 0)
GPSDB_GET(uint16_t, wGpsDbGetPosPerSec, wPosPerSec, 0)

GPSDB_SET(AgeOfDiff, int, wAgeOfDiff)
GPSDB_SET(DgpsAge, double, dDgpsAge)
GPSDB_GET(double, dGpsDbGetDgpsAge, dDgpsAge, std::nan(""))
GPSDB_SET(DiffSv1, int, wDiffSv1)
GPSDB_SET(DiffSv2, int, wDiffSv2)
GPSDB_SET(DiffType, int, iDiffType)
GPSDB_SET(OtherDiffType, int, iOtherDiffType)
GPSDB_SET(SubscriptionMask, int, iSubscriptionMask)
GPSDB_SET_TEXT(CorrectionType, szCorrectionType)
GPSDB_SET(MaxDiffAge, int, iMaxDiffAge)
GPSDB_SET_TEXT(VBSexpire, szVBSexpire)
GPSDB_GET(uint16_t, wGpsDbGetAgeOfDiff, wAgeOfDiff, 9999)
GPSDB_GET(uint16_t, wGpsDbGetDiffSv1, wDiffSv1, 0)
GPSDB_GET(uint16_t, wGpsDbGetDiffSv2, wDiffSv2, 0)
GPSDB_GET(uint16_t, wGpsDbGetDiffSv3, wDiffSv3, 0)
GPSDB_GET(int, iGpsDbGetDiffType, iDiffType, 0)
GPSDB_GET(int, iGpsDbGetOtherDiffType, iOtherDiffType, 0)
GPSDB_GET(int, iGpsDbGetSubscriptionMask, iSubscriptionMask, 0)
GPSDB_GET_TEXT(szGpsDbGetCorrectionType, szCorrectionType, "")
GPSDB_GET(int, iGpsDbGetMaxDiffAge, iMaxDiffAge, 0)
GPSDB_GET_TEXT(szGpsDbGetVBSexpire, szVBSexpire, "")

GPSDB_SET_TEXT(SerialNumber, szSerialNumber)
GPSDB_SET_TEXT(App1, szApp1)
GPSDB_SET_TEXT(App2, szApp2)
GPSDB_SET(ThisApp, int, iThisApp)
GPSDB_SET_TEXT(ApplicationVersion, szApplicationVersion)
GPSDB_SET_TEXT(DSPVersion, szDSPVersion)
GPSDB_SET_TEXT(ReceiverName, szReceiverName)
GPSDB_SET_TEXT(BER, szBER)
GPSDB_GET_TEXT(szGpsDbGetSerialNumber, szSerialNumber, "")
GPSDB_GET_TEXT(szGpsDbGetApp1, szApp1, "")
GPSDB_GET_TEXT(szGpsDbGetApp2, szApp2, "")
GPSDB_GET(int, iGpsDbGetThisApp, iThisApp, 0)
GPSDB_GET_TEXT(szGpsDbGetApplicationVersion, szApplicationVersion, "")
GPSDB_GET_TEXT(szGpsDbGetDSPVersion, szDSPVersion, "NA")
GPSDB_GET_TEXT(szGpsDbGetReceiverName, szReceiverName, "")
GPSDB_GET_TEXT(szGpsDbGetBER, szBER, "")

GPSDB_SET(RateOfTurn, float, fRateOfTurn)
GPSDB_SET(Yaw, float, fYaw)
GPSDB_SET(Pitch, float, fPitch)
GPSDB_SET(Roll, float, fRoll)
GPSDB_SET(Variation, float, fVariation)
GPSDB_SET(VectorTrueHeading, double, dVectorTrueHeading)
GPSDB_SET(VectorRateOfTurn, double, dVectorRateOfTurn)
GPSDB_SET(VectorHeading, double, dVectorHeading)
GPSDB_SET(VectorPitch, double, dVectorPitch)
GPSDB_SET(VectorRoll, double, dVectorRoll)
GPSDB_SET(VectorTime, double, dVectorTime)
GPSDB_SET(VectorReceiver, bool, bVectorReceiver)
GPSDB_GET(float, GpsDbGetRateOfTurn, fRateOfTurn, 0.0f)
GPSDB_GET(float, GpsDbGetYaw, fYaw, 0.0f)
GPSDB_GET(float, GpsDbGetPitch, fPitch, 0.0f)
GPSDB_GET(float, GpsDbGetRoll, fRoll, 0.0f)
GPSDB_GET(float, GpsDbGetVariation, fVariation, 0.0f)
GPSDB_GET(double, dGpsDbGetVectorTrueHeading, dVectorTrueHeading, 0.0)
GPSDB_GET(double, dGpsDbGetVectorRateOfTurn, dVectorRateOfTurn, 0.0)
GPSDB_GET(double, dGpsDbGetVectorHeading, dVectorHeading, 0.0)
GPSDB_GET(double, dGpsDbGetVectorPitch, dVectorPitch, 0.0)
GPSDB_GET(double, dGpsDbGetVectorRoll, dVectorRoll, 0.0)
GPSDB_GET(double, dGpsDbGetVectorFrenchRoll, dVectorPitch, 0.0)
GPSDB_GET(double, dGpsDbGetVectorTime, dVectorTime, 0.0)
GPSDB_GET(bool, GpsDbGetVectorReceiver, bVectorReceiver, false)

GPSDB_SET(GpsLateralAdjustForRoll, double, dGpsLateralAdjustForRoll)
GPSDB_SET(GyroAdjustment, bool, bGyroAdjustment)
GPSDB_GET(bool, bGpsDbGetGyroAdjustment, bGyroAdjustment, false)

GPSDB_SET(DspStatus, int, byDspStatus)
GPSDB_SET(ArmStatus, int, byArmStatus)
GPSDB_SET(NavConditionStatus, int, dwNavConditionStatus)
GPSDB_SET(MaskAngle, int, iMaskAngle)
GPSDB_GET(unsigned char, bGpsDbGetDspStatus, byDspStatus, 0)
GPSDB_GET(unsigned char, bGpsDbGetArmStatus, byArmStatus, 0)
GPSDB_GET(unsigned long, ulGpsDbGetNavConditionStatus, dwNavConditionStatus, 0ul)
GPSDB_GET(int, iGpsDbGetMaskAngle, iMaskAngle, 0)

GPSDB_SET(BaseBatteryType, uint32_t, dwBaseBatteryType)
GPSDB_SET(BaseBatteryState, uint32_t, dwBaseBatteryState)
GPSDB_SET(BaseBatteryRemainingMinutes, uint32_t, dwBaseBatteryRemainingMinutes)
GPSDB_SET(BaseBatteryVoltage, float, fBaseBatteryVoltage)
GPSDB_GET(uint32_t, GpsGetBaseBatteryType, dwBaseBatteryType, 0u)
GPSDB_GET(uint32_t, GpsDbGetBaseBatteryState, dwBaseBatteryState, 0u)
GPSDB_GET(uint32_t, GpsDbGetBaseBatteryRemainingMinutes, dwBaseBatteryRemainingMinutes, 0u)
GPSDB_GET(float, GpsDbGetBaseBatteryVoltage, fBaseBatteryVoltage, 0.0f)

// ---- channels: one row per ending, for the GPS and the GLONASS table ----

#define GPSDB_CHANNEL(System, table, Ending, Type, field)                                        \
    void GpsDbSet##System##ChannelData##Ending(int instance, int channel, Type value) {          \
        if (ValidInstance(instance) && ValidChannel(channel))                                    \
            GpsDb[instance].table[channel].field = value;                                        \
    }                                                                                            \
    Type GpsDbGet##System##ChannelData##Ending(int instance, int channel) {                     \
        if (!ValidInstance(instance) || !ValidChannel(channel)) return static_cast<Type>(0);     \
        return GpsDb[instance].table[channel].field;                                             \
    }
#define GPSDB_CHANNEL_SYSTEM(System, table)                          \
    GPSDB_CHANNEL(System, table, SV, unsigned char, bySV)            \
    GPSDB_CHANNEL(System, table, Elevation, signed char, cElevation) \
    GPSDB_CHANNEL(System, table, HalfAzimuth, uint16_t, wAzimuth)    \
    GPSDB_CHANNEL(System, table, SNR, double, dSNR)                  \
    GPSDB_CHANNEL(System, table, SNRL2, double, dSNRL2)              \
    GPSDB_CHANNEL(System, table, DiffCorr, double, dDiffCorr)        \
    GPSDB_CHANNEL(System, table, PosResid, double, dPosResid)

GPSDB_CHANNEL_SYSTEM(GPS, GpsChannel)
GPSDB_CHANNEL_SYSTEM(GLONASS, GlonassChannel)

// ---- operations with rules ----

void GpsDbSetCourse(int instance, double course) {
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    // Below the cut-off speed the course over ground is noise; keep the old one.
    r.bTrackKnown = r.bVectorReceiver || r.dVelocity >= r.dDirCutoffSpeed;
    if (r.bTrackKnown) r.dCourse = course;
}

void GpsDbSetNewPosTick(int instance, uint32_t tick) {
    if (!GpsDbReady || !ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    // Whether the course is known is the fix's to say, not this copy's.
    const bool trackKnown = r.bTrackKnown;
    if (!r.bGyroAdjustment) GpsDbSetCourse(instance, r.dRawCourse);
    r.bTrackKnown = trackKnown;
    r.dwNewPosTick = tick;
    ApplyOffsets(r);
    // In order, so that an instance may mirror one updated earlier in this pass.
    for (int i = 0; i < GPS_DB_INSTANCES; ++i) {
        const int from = GpsDb[i].iEchoHandle;
        if (from < 0 || from >= GPS_DB_INSTANCES) continue;
        CopyEcho(GpsDb[from], GpsDb[i]);
        ApplyOffsets(GpsDb[i]);
    }
    GpsDbReport(instance, GPS_DB_REPORT_FIX);
}

void GpsDbSetPositionTime(int instance, double time) {
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    r.dPositionTime = time;
    const double raw = time - static_cast<double>(TimerTick());
    const double previous = GpsDbFilteredOffset;
    // Small differences are tick jitter: filter them. A large one is a real
    // change of the clock (a new time source, a step): take it at once.
    const double filtered =
        (std::fabs(previous - raw) > CLOCK_JUMP_MS) ? raw : previous + (raw - previous) * CLOCK_FILTER_GAIN;
    r.dTimeOffset = filtered;
    dForTestOnlyClockDiff = previous - filtered;
    GpsDbFilteredOffset = filtered;
}

double dGpsDbGetPosTime(int instance) {
    return ValidInstance(instance) ? GpsDb[instance].dTimeOffset + GpsDb[instance].dwNewPosTick : 0.0;
}

double dGpsDbGetCurrentTime(int instance) {
    return ValidInstance(instance) ? GpsDb[instance].dTimeOffset + TimerTick() : 0.0;
}

int iGpsDbGetNumSatsUsed(int instance) {
    return ValidInstance(instance) ? iCountSats(GpsDb[instance].dwSatsUsedMask) : 0;
}

int iGpsDbGetNumSatsTracked(int instance) {
    return ValidInstance(instance) ? iCountSats(GpsDb[instance].dwSatsTrackedMask) : 0;
}

const char* szGpsDbGetDiffTypeString(int instance) {
    return ValidInstance(instance) ? DiffTypeName(GpsDb[instance].iDiffType) : DiffTypeName(0);
}

const char* szGpsDbGetOtherDiffTypeString(int instance) {
    return ValidInstance(instance) ? DiffTypeName(GpsDb[instance].iOtherDiffType) : DiffTypeName(0);
}

void GpsDbSwapApps(int instance) {
    if (!ValidInstance(instance)) return;
    int& slot = GpsDb[instance].iThisApp;
    if (slot == 1)
        slot = 2;
    else if (slot == 2)
        slot = 1;
}

void GpsDbSetLateralAntennaAdj(int instance, double metres) {
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    r.dLateralAntennaAdj = metres;
    r.dForwardOffsetN = r.dForwardOffsetE = 0.0;
}

void GpsDbSetForwardAntennaAdj(int instance, double metres) {
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    r.dForwardAntennaAdj = metres;
    r.dForwardOffsetN = r.dForwardOffsetE = 0.0;
}

void GpsDbSetGpsAdjustment(int instance, double bearing, double distance) {
    if (!ValidInstance(instance)) return;
    _GPS_DB_RECORD& r = GpsDb[instance];
    OffsetFromBearing(r.dLat, bearing, distance, &r.dAdjustN, &r.dAdjustE);
}

void GpsDbSetEchoHandle(int instance, int target) {
    // Mirroring itself would add the instance's offsets on top of themselves
    // at every position.
    if (!ValidInstance(instance) || target > 3 || target == instance) return;
    GpsDb[instance].iEchoHandle = target;
}

void GpsDbSetAlmanac(int instance, const _GPS_DB_ALMANAC* almanac, int index) {
    if (!ValidInstance(instance) || almanac == nullptr || index < 0 || index >= GPS_DB_ALMANACS) return;
    GpsDb[instance].Almanac[index] = *almanac;
}

_GPS_DB_ALMANAC* GpsDbGetAlmanac(int instance, int index) {
    if (!ValidInstance(instance) || index < 0 || index >= GPS_DB_ALMANACS) return nullptr;
    return &GpsDb[instance].Almanac[index];
}
