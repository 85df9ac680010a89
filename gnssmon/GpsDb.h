#pragma once
// The GPS database: everything the monitor knows about up to four receivers.
//
// Parsers write it through setters, the manager and main loop read it through
// getters. Every function takes the instance number 0 to 3 first. Setters
// ignore an instance outside 0 to 3 (and a channel outside 0 to 11, an
// almanac index outside 0 to 31); getters then give 0, except
// wGpsDbGetAgeOfDiff (9999), dGpsDbGet2DAlt (2147483648.0),
// szGpsDbGetDSPVersion ("NA"), the other text getters (""), and the
// pointer getters (null).
//
// On each new position (GpsDbSetNewPosTick) the course is taken over from the
// raw course, antenna offsets are applied, and echo instances are fed: an
// instance whose EchoHandle names another instance mirrors that one's
// position, with its own offsets on top (two points left and right of the
// antenna, for example).
//
// Text setters copy at most the field's length minus one characters and
// always leave the field NUL-terminated: a longer text is cut.
//
// A static table, no allocation; single-threaded, no locks.

#include <cstdint>

constexpr int GPS_DB_INSTANCES = 4;
constexpr int GPS_DB_CHANNELS = 12;
constexpr int GPS_DB_ALMANACS = 32;
constexpr int GPS_DB_DIFF_TYPES = 14;
constexpr int GPS_DB_NO_ECHO = 4;          // EchoHandle of an instance that mirrors none
constexpr float GPS_DB_MISSING = 100.0f;   // rate of turn, attitude, variation not known
constexpr double GPS_DB_DEFAULT_DIR_CUTOFF_SPEED = 0.24704;  // m/s
constexpr double GPS_DB_NO_2D_ALT = 2147483648.0;

// Field sizes of the text fields, NUL included.
constexpr int GPS_DB_BER_LEN = 24;
constexpr int GPS_DB_CORRECTION_TYPE_LEN = 20;
constexpr int GPS_DB_SERIAL_NUMBER_LEN = 20;
constexpr int GPS_DB_APP_NAME_LEN = 20;
constexpr int GPS_DB_APP_VERSION_LEN = 20;
constexpr int GPS_DB_DSP_VERSION_LEN = 8;
constexpr int GPS_DB_RECEIVER_NAME_LEN = 16;
constexpr int GPS_DB_VBS_EXPIRE_LEN = 20;

// One satellite channel.
struct _GPS_DB_CHANNEL {
    unsigned char bySV;       // satellite number
    signed char cElevation;   // degrees
    uint16_t wAzimuth;        // degrees, 0 to 359 (whole degrees; set and read
                              // through the ...HalfAzimuth functions)
    double dSNR;              // dB
    double dSNRL2;
    double dPosResid;         // m
    double dDiffCorr;         // m
};

// Almanac of one GPS satellite (index = PRN - 1).
struct _GPS_DB_ALMANAC {
    uint16_t wWeek;
    uint16_t wHealth;
    double dEccentricity;
    double dRefTime;          // s
    double dInclination;      // inclination offset, rad
    double dRateRightAsc;     // rate of right ascension, rad/s
    double dSemiMajorAxis;    // m
    double dArgPerigee;       // rad
    double dLongAscNode;      // longitude of ascending node, rad
    double dMeanAnomaly;      // rad
    double dAf0;              // clock bias, s
    double dAf1;              // clock drift, s/s
};

struct _GPS_DB_RECORD {
    uint32_t dwNewPosTick;         // tick (ms) at which the newest position arrived
    double dLat, dLon;             // position after all offsets, degrees
    double dAlt;                   // m
    double dVelocity;              // speed over ground, m/s
    double dRawLat, dRawLon;       // position as received, degrees
    double dCourse;                // course over ground, degrees
    double dPositionTime;          // program clock given with the last position, ms
    double dTimeOfWeek;            // GPS time of week, s
    bool bVectorReceiver;          // course is stored whatever the speed
    float fRateOfTurn, fYaw, fPitch, fRoll, fVariation;  // 100.0 = missing
    double dGpsLateralAdjustForRoll;  // extra lateral antenna offset, m
    _GPS_DB_CHANNEL GpsChannel[GPS_DB_CHANNELS];
    _GPS_DB_CHANNEL GlonassChannel[GPS_DB_CHANNELS];
    _GPS_DB_ALMANAC Almanac[GPS_DB_ALMANACS];
    int32_t iEchoHandle;           // instance mirrored, 0 to 3; anything else: none
    uint32_t dwStatusTick;         // tick of the last status-bearing message
    uint32_t dwSatsUsedMask, dwSatsTrackedMask;
    float fHdop, fVdop, fPdop;
    uint16_t wAgeOfDiff;           // s
    uint16_t wPosPerSec;
    uint16_t wDiffSv1, wDiffSv2, wDiffSv3;  // SBAS PRNs in use
    int32_t iNumSats;
    int32_t iDiffType, iOtherDiffType;      // index into szGpsDbDiffType
    int32_t iGpsStatus;            // navigation mode
    int32_t iConnectionType;
    int32_t iSubscriptionMask;
    double dLateralAntennaAdj;     // m, positive to the right of the course
    double dForwardAntennaAdj;     // m
    double dForwardOffsetN, dForwardOffsetE;  // degrees from the antenna offsets
    double dAdjustN, dAdjustE;     // fixed adjustment, degrees
    double dDirCutoffSpeed;        // m/s; below it the course is not updated
    double dTimeOffset;            // filtered clock-minus-tick offset, ms
    double d2DAlt;
    char szBER[GPS_DB_BER_LEN];
    double dSTDEV;
    char szCorrectionType[GPS_DB_CORRECTION_TYPE_LEN];
    char szSerialNumber[GPS_DB_SERIAL_NUMBER_LEN];
    char szApp1[GPS_DB_APP_NAME_LEN];
    char szApp2[GPS_DB_APP_NAME_LEN];
    int32_t iThisApp;              // 1 or 2; 0 before the receiver reported it
    int32_t iAGC;
    char szApplicationVersion[GPS_DB_APP_VERSION_LEN];
    char szDSPVersion[GPS_DB_DSP_VERSION_LEN];
    char szReceiverName[GPS_DB_RECEIVER_NAME_LEN];
    uint16_t wGPSWeek;
    double dVerticalVelocity;      // m/s
    int32_t iClockOffset;
    double dRawCourse;             // degrees, as received
    bool bGyroAdjustment;          // course comes from elsewhere: RawCourse is not copied
    uint32_t dwBaseBatteryType, dwBaseBatteryState, dwBaseBatteryRemainingMinutes;
    float fBaseBatteryVoltage;     // V
    char szVBSexpire[GPS_DB_VBS_EXPIRE_LEN];
    double dVectorTrueHeading, dVectorRateOfTurn, dVectorHeading, dVectorPitch, dVectorRoll, dVectorTime;
    unsigned char byDspStatus, byArmStatus;
    uint32_t dwNavConditionStatus;
    int32_t iMaskAngle, iMaxDiffAge;
    // Beside the fields above: what a TPV report needs to tell known from not.
    bool bTrackKnown;              // the course was taken from this fix's motion
    double dDgpsAge;               // age of corrections, s with its fraction; NaN: not known
};

// Names of the differential types, indexed by DiffType.
extern const char* const szGpsDbDiffType[GPS_DB_DIFF_TYPES];

// Change of the filtered clock offset at the last GpsDbSetPositionTime.
extern double dForTestOnlyClockDiff;

// What GpsDbReport tells the report callback.
#define GPS_DB_REPORT_FIX 1  // a new position (GpsDbSetNewPosTick)
#define GPS_DB_REPORT_SKY 2  // a complete cycle of satellites (GpsDbSatellites.h)

// ---- whole database ----
// Installs the report callback (null removes it), called on the receive path
// with the instance and a GPS_DB_REPORT_* code as each report becomes due; a
// printer or a server turns the database into its reports there. One for all
// instances.
void GpsDbSetReportCallback(void (*callback)(int instance, int report));
void GpsDbReport(int instance, int report);
// Resets one instance to its defaults (the first call ever also clears the echo
// links of all four). noCourseCutoff: DirCutoffSpeed 0 instead of 0.24704 m/s.
void GpsDbInit(int instance, bool noCourseCutoff);
// Resets all four; instance 1 mirrors 0, instances 2 and 3 mirror 1 ten
// metres to its left and right.
void GpsDbGuidanceInit();
_GPS_DB_RECORD* pGpsDbGetPosStruct(int instance);
// Position extrapolated from the last fix along the course at the current
// speed, over the time from the fix's position time to `time` on the program
// clock (to now when `time` is 0). A bad instance (or a null output) leaves
// the outputs untouched.
void GpsDbGetEstimatedPos(int instance, double time, double* lat, double* lon);
// Number of set bits in a satellite mask.
int iCountSats(unsigned int mask);

// ---- position, height ----
void GpsDbSetLat(int instance, double lat);
void GpsDbSetLon(int instance, double lon);
void GpsDbSetAlt(int instance, double alt);
void GpsDbSetRawLat(int instance, double lat);
void GpsDbSetRawLon(int instance, double lon);
double dGpsDbGetLat(int instance);
double dGpsDbGetLon(int instance);
double dGpsDbGetAlt(int instance);
double dGpsDbGetRawLat(int instance);
double dGpsDbGetRawLon(int instance);
double dGpsDbGet2DAlt(int instance);

// ---- motion ----
// Stored for a vector receiver, otherwise only when the speed is at least the
// cut-off speed (else the old course stays).
void GpsDbSetCourse(int instance, double course);
void GpsDbSetRawCourse(int instance, double course);
void GpsDbSetVelocity(int instance, double velocity);
void GpsDbSetVerticalVelocity(int instance, double velocity);
void GpsDbSetDirCutoffSpeed(int instance, double speed);
// Whether the course is this fix's (taken from its motion) or one kept from
// before; GpsDbSetCourse sets it from its speed test.
void GpsDbSetTrackKnown(int instance, bool known);
bool bGpsDbGetTrackKnown(int instance);
double dGpsDbGetCourse(int instance);
double dGpsDbGetRawCourse(int instance);
double dGpsDbGetVelocity(int instance);
double dGpsDbGetVerticalVelocity(int instance);

// ---- time ----
// A new position arrived at `tick`: course from RawCourse (unless
// GyroAdjustment), antenna offsets, echo instances. Does nothing before
// GpsDbInit or GpsDbGuidanceInit has run.
void GpsDbSetNewPosTick(int instance, uint32_t tick);
// Program-clock time of the position; feeds the clock-offset filter
// (steps of 10 % of the difference, a jump when it exceeds 50 ms).
void GpsDbSetPositionTime(int instance, double time);
void GpsDbSetTimeOfWeek(int instance, double timeOfWeek);
void GpsDbSetGPSWeek(int instance, uint16_t week);
void GpsDbSetStatusTick(int instance, uint32_t tick);
void GpsDbSetClockOffset(int instance, int32_t offset);
uint32_t dwGpsDbGetNewPosTick(int instance);
double dGpsDbGetPositionTime(int instance);
double dGpsDbGetPosTime(int instance);      // program clock at the newest position
double dGpsDbGetCurrentTime(int instance);  // program clock now
double dGpsDbGetTimeOfWeek(int instance);
uint16_t wGpsDbGetGPSWeek(int instance);
uint32_t dwGpsDbGetStatusTick(int instance);
int iGpsDbGetClockOffset(int instance);

// ---- quality ----
void GpsDbSetHdop(int instance, float hdop);
void GpsDbSetVdop(int instance, float vdop);
void GpsDbSetPdop(int instance, float pdop);
void GpsDbSetSTDEV(int instance, double stdev);
void GpsDbSetNumSats(int instance, int32_t numSats);
void GpsDbSetSatsUsedMask(int instance, uint32_t mask);
void GpsDbSetSatsTrackedMask(int instance, uint32_t mask);
void GpsDbSetGpsStatus(int instance, int32_t status);
void GpsDbSetConnectionType(int instance, int32_t type);
void GpsDbSetAGC(int instance, int32_t agc);
void GpsDbSetPosPerSec(int instance, uint16_t posPerSec);
float fGpsDbGetHdop(int instance);
float fGpsDbGetVdop(int instance);
float fGpsDbGetPdop(int instance);
double dGpsDbGetSTDEV(int instance);
int iGpsDbGetNumSats(int instance);
uint32_t dwGpsDbGetSatsUsedMask(int instance);
uint32_t dwGpsDbGetSatsTrackedMask(int instance);
int iGpsDbGetNumSatsUsed(int instance);
int iGpsDbGetNumSatsTracked(int instance);
int iGpsDbGetGpsStatus(int instance);
int iGpsDbGetConnectionType(int instance);
int iGpsDbGetAGC(int instance);
uint16_t wGpsDbGetPosPerSec(int instance);

// ---- differential ----
void GpsDbSetAgeOfDiff(int instance, int age);
// Age of the corrections in seconds with its fraction (NaN: not known).
void GpsDbSetDgpsAge(int instance, double seconds);
double dGpsDbGetDgpsAge(int instance);
void GpsDbSetDiffSv1(int instance, int prn);
void GpsDbSetDiffSv2(int instance, int prn);
void GpsDbSetDiffType(int instance, int type);
void GpsDbSetOtherDiffType(int instance, int type);
void GpsDbSetSubscriptionMask(int instance, int mask);
void GpsDbSetCorrectionType(int instance, const char* text);
void GpsDbSetMaxDiffAge(int instance, int age);
void GpsDbSetVBSexpire(int instance, const char* text);
uint16_t wGpsDbGetAgeOfDiff(int instance);
uint16_t wGpsDbGetDiffSv1(int instance);
uint16_t wGpsDbGetDiffSv2(int instance);
uint16_t wGpsDbGetDiffSv3(int instance);
int iGpsDbGetDiffType(int instance);
int iGpsDbGetOtherDiffType(int instance);
// Name of the type; "Unknown" for a type outside the table.
const char* szGpsDbGetDiffTypeString(int instance);
const char* szGpsDbGetOtherDiffTypeString(int instance);
int iGpsDbGetSubscriptionMask(int instance);
const char* szGpsDbGetCorrectionType(int instance);
int iGpsDbGetMaxDiffAge(int instance);
const char* szGpsDbGetVBSexpire(int instance);

// ---- identity ----
void GpsDbSetSerialNumber(int instance, const char* text);
void GpsDbSetApp1(int instance, const char* text);
void GpsDbSetApp2(int instance, const char* text);
void GpsDbSetThisApp(int instance, int slot);
void GpsDbSwapApps(int instance);  // ThisApp 1 <-> 2; any other value stays
void GpsDbSetApplicationVersion(int instance, const char* text);
void GpsDbSetDSPVersion(int instance, const char* text);
void GpsDbSetReceiverName(int instance, const char* text);
void GpsDbSetBER(int instance, const char* text);
const char* szGpsDbGetSerialNumber(int instance);
const char* szGpsDbGetApp1(int instance);
const char* szGpsDbGetApp2(int instance);
int iGpsDbGetThisApp(int instance);
const char* szGpsDbGetApplicationVersion(int instance);
const char* szGpsDbGetDSPVersion(int instance);
const char* szGpsDbGetReceiverName(int instance);
const char* szGpsDbGetBER(int instance);

// ---- attitude ----
void GpsDbSetRateOfTurn(int instance, float value);
void GpsDbSetYaw(int instance, float value);
void GpsDbSetPitch(int instance, float value);
void GpsDbSetRoll(int instance, float value);
void GpsDbSetVariation(int instance, float value);
void GpsDbSetVectorTrueHeading(int instance, double value);
void GpsDbSetVectorRateOfTurn(int instance, double value);
void GpsDbSetVectorHeading(int instance, double value);
void GpsDbSetVectorPitch(int instance, double value);
void GpsDbSetVectorRoll(int instance, double value);
void GpsDbSetVectorTime(int instance, double value);
void GpsDbSetVectorReceiver(int instance, bool vector);
float GpsDbGetRateOfTurn(int instance);
float GpsDbGetYaw(int instance);
float GpsDbGetPitch(int instance);
float GpsDbGetRoll(int instance);
float GpsDbGetVariation(int instance);
double dGpsDbGetVectorTrueHeading(int instance);
double dGpsDbGetVectorRateOfTurn(int instance);
double dGpsDbGetVectorHeading(int instance);
double dGpsDbGetVectorPitch(int instance);
double dGpsDbGetVectorRoll(int instance);
double dGpsDbGetVectorFrenchRoll(int instance);  // the vector pitch
double dGpsDbGetVectorTime(int instance);
bool GpsDbGetVectorReceiver(int instance);

// ---- antenna and echo ----
// Setting either antenna offset clears the offset last applied.
void GpsDbSetLateralAntennaAdj(int instance, double metres);
void GpsDbSetForwardAntennaAdj(int instance, double metres);
void GpsDbSetGpsLateralAdjustForRoll(int instance, double metres);
// Fixed adjustment of `distance` metres towards `bearing` degrees.
void GpsDbSetGpsAdjustment(int instance, double bearing, double distance);
// Instance to mirror, 0 to 3; a target above 3, or the instance itself, is
// ignored; a negative target stops the mirroring.
void GpsDbSetEchoHandle(int instance, int target);
void GpsDbSetGyroAdjustment(int instance, bool gyro);
bool bGpsDbGetGyroAdjustment(int instance);

// ---- status ----
void GpsDbSetDspStatus(int instance, int status);
void GpsDbSetArmStatus(int instance, int status);
void GpsDbSetNavConditionStatus(int instance, int status);
void GpsDbSetMaskAngle(int instance, int angle);
unsigned char bGpsDbGetDspStatus(int instance);
unsigned char bGpsDbGetArmStatus(int instance);
unsigned long ulGpsDbGetNavConditionStatus(int instance);
int iGpsDbGetMaskAngle(int instance);

// ---- base battery ----
void GpsDbSetBaseBatteryType(int instance, uint32_t type);
void GpsDbSetBaseBatteryState(int instance, uint32_t state);
void GpsDbSetBaseBatteryRemainingMinutes(int instance, uint32_t minutes);
void GpsDbSetBaseBatteryVoltage(int instance, float volts);
uint32_t GpsGetBaseBatteryType(int instance);
uint32_t GpsDbGetBaseBatteryState(int instance);
uint32_t GpsDbGetBaseBatteryRemainingMinutes(int instance);
float GpsDbGetBaseBatteryVoltage(int instance);

// ---- channels (channel 0 to 11) ----
// The azimuth is handed over and stored in whole degrees (0 to 359), although
// the functions keep their historical "HalfAzimuth" names.
void GpsDbSetGPSChannelDataSV(int instance, int channel, unsigned char sv);
void GpsDbSetGPSChannelDataElevation(int instance, int channel, signed char degrees);
void GpsDbSetGPSChannelDataHalfAzimuth(int instance, int channel, uint16_t degrees);
void GpsDbSetGPSChannelDataSNR(int instance, int channel, double snr);
void GpsDbSetGPSChannelDataSNRL2(int instance, int channel, double snr);
void GpsDbSetGPSChannelDataDiffCorr(int instance, int channel, double metres);
void GpsDbSetGPSChannelDataPosResid(int instance, int channel, double metres);
unsigned char GpsDbGetGPSChannelDataSV(int instance, int channel);
signed char GpsDbGetGPSChannelDataElevation(int instance, int channel);
uint16_t GpsDbGetGPSChannelDataHalfAzimuth(int instance, int channel);
double GpsDbGetGPSChannelDataSNR(int instance, int channel);
double GpsDbGetGPSChannelDataSNRL2(int instance, int channel);
double GpsDbGetGPSChannelDataDiffCorr(int instance, int channel);
double GpsDbGetGPSChannelDataPosResid(int instance, int channel);

void GpsDbSetGLONASSChannelDataSV(int instance, int channel, unsigned char sv);
void GpsDbSetGLONASSChannelDataElevation(int instance, int channel, signed char degrees);
void GpsDbSetGLONASSChannelDataHalfAzimuth(int instance, int channel, uint16_t degrees);
void GpsDbSetGLONASSChannelDataSNR(int instance, int channel, double snr);
void GpsDbSetGLONASSChannelDataSNRL2(int instance, int channel, double snr);
void GpsDbSetGLONASSChannelDataDiffCorr(int instance, int channel, double metres);
void GpsDbSetGLONASSChannelDataPosResid(int instance, int channel, double metres);
unsigned char GpsDbGetGLONASSChannelDataSV(int instance, int channel);
signed char GpsDbGetGLONASSChannelDataElevation(int instance, int channel);
uint16_t GpsDbGetGLONASSChannelDataHalfAzimuth(int instance, int channel);
double GpsDbGetGLONASSChannelDataSNR(int instance, int channel);
double GpsDbGetGLONASSChannelDataSNRL2(int instance, int channel);
double GpsDbGetGLONASSChannelDataDiffCorr(int instance, int channel);
double GpsDbGetGLONASSChannelDataPosResid(int instance, int channel);

// ---- almanac (index = PRN - 1, 0 to 31) ----
void GpsDbSetAlmanac(int instance, const _GPS_DB_ALMANAC* almanac, int index);
// The record itself (the NMEA parser fills it in place); null for a bad
// instance or index.
_GPS_DB_ALMANAC* GpsDbGetAlmanac(int instance, int index);
