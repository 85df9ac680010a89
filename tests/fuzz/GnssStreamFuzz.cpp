// Fuzz target: the receiver's byte stream.
//
// Every byte goes first to the NMEA parser and then to the binary parser of
// the same instance, as the receiver manager feeds them; afterwards every
// getter of the GPS database is read back, for all four instances, good and
// bad channel and almanac indices included.
//
// Invariants besides "no crash, no sanitizer report":
// - each parser counts every byte and answers 0 or 1 per byte;
// - the observer only ever sees a line that starts with "$", holds no CR or
//   LF, is at most 128 characters long and is not a "$BIN" header, and it is
//   called exactly once per completed line;
// - the position (raw and adjusted, every instance, echo instances included)
//   changes only on a byte that completed a binary frame with a right
//   checksum, or an NMEA line with a right checksum while no binary message 1
//   flows: nothing corrupted ever moves it;
// - text getters give NUL-terminated text inside their fields, the request
//   queue stays within its capacity.
//
// The first byte also picks how the database is set up (its lowest bit):
// plain, as the monitor does, or with the guidance echo instances, so that
// the mirroring and antenna offsets are exercised too. It is still fed to the
// parsers like every other byte.

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstring>

namespace {

constexpr uint32_t kTick = 4000000;
constexpr int kInstance = 0;

int linesSeen = 0;
bool lineChecksumOk = false;  // of the last line the observer saw

void observe(const char* line)
{
    FUZZ_CHECK(line != nullptr);
    const std::size_t n = strnlen(line, NMEA_PARSE_MAX_LINE + 2);
    FUZZ_CHECK(n >= 1 && n <= NMEA_PARSE_MAX_LINE + 1);
    FUZZ_CHECK(line[0] == '$');
    FUZZ_CHECK(std::strpbrk(line, "\r\n") == nullptr);
    FUZZ_CHECK(std::strncmp(line, "$BIN", 4) != 0);
    ++linesSeen;
    lineChecksumOk = bNmeaChecksumOk(line);
}

// Raw and adjusted position of every instance, read from the records
// themselves: cheap enough to take after every byte.
struct Position {
    double values[GPS_DB_INSTANCES][4];
    FUZZ_NO_COVERAGE bool operator==(const Position& o) const
    {
        for (int i = 0; i < GPS_DB_INSTANCES; ++i)
            for (int k = 0; k < 4; ++k)
                if (values[i][k] != o.values[i][k] && !(values[i][k] != values[i][k] && o.values[i][k] != o.values[i][k]))
                    return false;
        return true;
    }
};

const _GPS_DB_RECORD* records[GPS_DB_INSTANCES];

FUZZ_NO_COVERAGE Position position()
{
    Position p;
    for (int i = 0; i < GPS_DB_INSTANCES; ++i) {
        p.values[i][0] = records[i]->dLat;
        p.values[i][1] = records[i]->dLon;
        p.values[i][2] = records[i]->dRawLat;
        p.values[i][3] = records[i]->dRawLon;
    }
    return p;
}

FUZZ_NO_COVERAGE void readChannels(FuzzCheck::Sink& sink, int i, int ch)
{
    sink.take(GpsDbGetGPSChannelDataSV(i, ch));
    sink.take(GpsDbGetGPSChannelDataElevation(i, ch));
    sink.take(GpsDbGetGPSChannelDataHalfAzimuth(i, ch));
    sink.take(GpsDbGetGPSChannelDataSNR(i, ch));
    sink.take(GpsDbGetGPSChannelDataSNRL2(i, ch));
    sink.take(GpsDbGetGPSChannelDataDiffCorr(i, ch));
    sink.take(GpsDbGetGPSChannelDataPosResid(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataSV(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataElevation(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataHalfAzimuth(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataSNR(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataSNRL2(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataDiffCorr(i, ch));
    sink.take(GpsDbGetGLONASSChannelDataPosResid(i, ch));
}

// Every getter of the database for one instance (valid or not).
FUZZ_NO_COVERAGE void readBack(FuzzCheck::Sink& sink, int i)
{
    const bool valid = i >= 0 && i < GPS_DB_INSTANCES;

    sink.take(dGpsDbGetLat(i));
    sink.take(dGpsDbGetLon(i));
    sink.take(dGpsDbGetAlt(i));
    sink.take(dGpsDbGetRawLat(i));
    sink.take(dGpsDbGetRawLon(i));
    sink.take(dGpsDbGet2DAlt(i));

    sink.take(dGpsDbGetCourse(i));
    sink.take(dGpsDbGetRawCourse(i));
    sink.take(dGpsDbGetVelocity(i));
    sink.take(dGpsDbGetVerticalVelocity(i));

    sink.take(dwGpsDbGetNewPosTick(i));
    sink.take(dGpsDbGetPositionTime(i));
    sink.take(dGpsDbGetPosTime(i));
    sink.take(dGpsDbGetCurrentTime(i));
    sink.take(dGpsDbGetTimeOfWeek(i));
    sink.take(wGpsDbGetGPSWeek(i));
    sink.take(dwGpsDbGetStatusTick(i));
    sink.take(iGpsDbGetClockOffset(i));

    sink.take(fGpsDbGetHdop(i));
    sink.take(fGpsDbGetVdop(i));
    sink.take(fGpsDbGetPdop(i));
    sink.take(dGpsDbGetSTDEV(i));
    sink.take(iGpsDbGetNumSats(i));
    sink.take(dwGpsDbGetSatsUsedMask(i));
    sink.take(dwGpsDbGetSatsTrackedMask(i));
    const int used = iGpsDbGetNumSatsUsed(i);
    const int tracked = iGpsDbGetNumSatsTracked(i);
    FUZZ_CHECK(used >= 0 && used <= 32 && tracked >= 0 && tracked <= 32);
    sink.take(iGpsDbGetGpsStatus(i));
    sink.take(iGpsDbGetConnectionType(i));
    sink.take(iGpsDbGetAGC(i));
    sink.take(wGpsDbGetPosPerSec(i));

    sink.take(wGpsDbGetAgeOfDiff(i));
    sink.take(wGpsDbGetDiffSv1(i));
    sink.take(wGpsDbGetDiffSv2(i));
    sink.take(wGpsDbGetDiffSv3(i));
    const int diffType = iGpsDbGetDiffType(i);
    FUZZ_CHECK(diffType >= 0 && diffType < GPS_DB_DIFF_TYPES);
    sink.take(iGpsDbGetOtherDiffType(i));
    sink.text(szGpsDbGetDiffTypeString(i), 16);
    sink.text(szGpsDbGetOtherDiffTypeString(i), 16);
    sink.take(iGpsDbGetSubscriptionMask(i));
    sink.text(szGpsDbGetCorrectionType(i), GPS_DB_CORRECTION_TYPE_LEN);
    sink.take(iGpsDbGetMaxDiffAge(i));
    sink.text(szGpsDbGetVBSexpire(i), GPS_DB_VBS_EXPIRE_LEN);

    sink.text(szGpsDbGetSerialNumber(i), GPS_DB_SERIAL_NUMBER_LEN);
    sink.text(szGpsDbGetApp1(i), GPS_DB_APP_NAME_LEN);
    sink.text(szGpsDbGetApp2(i), GPS_DB_APP_NAME_LEN);
    const int app = iGpsDbGetThisApp(i);
    FUZZ_CHECK(app >= 0 && app <= 2);
    sink.text(szGpsDbGetApplicationVersion(i), GPS_DB_APP_VERSION_LEN);
    sink.text(szGpsDbGetDSPVersion(i), GPS_DB_DSP_VERSION_LEN);
    sink.text(szGpsDbGetReceiverName(i), GPS_DB_RECEIVER_NAME_LEN);
    sink.text(szGpsDbGetBER(i), GPS_DB_BER_LEN);

    sink.take(GpsDbGetRateOfTurn(i));
    sink.take(GpsDbGetYaw(i));
    sink.take(GpsDbGetPitch(i));
    sink.take(GpsDbGetRoll(i));
    sink.take(GpsDbGetVariation(i));
    sink.take(dGpsDbGetVectorTrueHeading(i));
    sink.take(dGpsDbGetVectorRateOfTurn(i));
    sink.take(dGpsDbGetVectorHeading(i));
    sink.take(dGpsDbGetVectorPitch(i));
    sink.take(dGpsDbGetVectorRoll(i));
    sink.take(dGpsDbGetVectorFrenchRoll(i));
    sink.take(dGpsDbGetVectorTime(i));
    sink.take(GpsDbGetVectorReceiver(i));
    sink.take(bGpsDbGetGyroAdjustment(i));

    sink.take(bGpsDbGetDspStatus(i));
    sink.take(bGpsDbGetArmStatus(i));
    sink.take(ulGpsDbGetNavConditionStatus(i));
    sink.take(iGpsDbGetMaskAngle(i));

    sink.take(GpsGetBaseBatteryType(i));
    sink.take(GpsDbGetBaseBatteryState(i));
    sink.take(GpsDbGetBaseBatteryRemainingMinutes(i));
    sink.take(GpsDbGetBaseBatteryVoltage(i));

    for (int ch = -1; ch <= GPS_DB_CHANNELS; ++ch) readChannels(sink, i, ch);

    for (int a = -1; a <= GPS_DB_ALMANACS; ++a) {
        const _GPS_DB_ALMANAC* alm = GpsDbGetAlmanac(i, a);
        const bool inRange = valid && a >= 0 && a < GPS_DB_ALMANACS;
        FUZZ_CHECK((alm != nullptr) == inRange);
        if (alm) sink.take(*alm);
    }

    const _GPS_DB_RECORD* record = pGpsDbGetPosStruct(i);
    FUZZ_CHECK((record != nullptr) == valid);
    if (record) sink.take(*record);

    double lat = 0.0, lon = 0.0;
    GpsDbGetEstimatedPos(i, 0.0, &lat, &lon);
    GpsDbGetEstimatedPos(i, dGpsDbGetCurrentTime(i) + 1000.0, &lat, &lon);
    sink.take(lat);
    sink.take(lon);
}

} // namespace

extern "C" FUZZ_NO_COVERAGE int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    TimerForTestOnlyFreeze(kTick);
    PutTime(0.0);
    for (int i = 0; i < GPS_DB_INSTANCES; ++i) records[i] = pGpsDbGetPosStruct(i);
    const bool guidance = size > 0 && (data[0] & 1);
    if (guidance) {
        GpsDbGuidanceInit();
    } else {
        for (int i = 0; i < GPS_DB_INSTANCES; ++i) GpsDbInit(i, false);
    }
    NmeaParseInit(kInstance);
    QelParseInit(kInstance);
    NmeaSetNmeaFoundCallback(observe);
    linesSeen = 0;

    int lines = 0;
    Position before = position();
    for (std::size_t k = 0; k < size; ++k) {
        const char c = static_cast<char>(data[k]);
        const bool binaryFlowing = bGpsBinaryPositionsFlowing(kInstance);
        const int line = NmeaParseProcessChrIn(kInstance, c);
        const int frame = QelParseProcessChrIn(kInstance, data[k]);
        FUZZ_CHECK(line == 0 || line == 1);
        FUZZ_CHECK(frame == 0 || frame == 1);
        lines += line;
        const Position after = position();
        const bool nmeaPosition = line && lineChecksumOk && !binaryFlowing;
        if (!frame && !nmeaPosition) FUZZ_CHECK(after == before);
        before = after;
    }
    FUZZ_CHECK(lines == linesSeen);
    FUZZ_CHECK(dwNmeaParseGetChrCnt(kInstance) == size);
    FUZZ_CHECK(dwQelParseGetChrCnt(kInstance) == size);
    const uint32_t nmeaTick = dwNmeaParseGetGoodMsgTick(kInstance);
    const uint32_t binTick = dwQelParseGetGoodMsgTick(kInstance);
    FUZZ_CHECK(nmeaTick == 0 || nmeaTick == kTick);
    FUZZ_CHECK(binTick == 0 || binTick == kTick);
    const _BUFFER& queue = NmeaParseCmdBuffer[kInstance];
    FUZZ_CHECK(queue.iCount >= 0 && queue.iCount <= NMEA_PARSE_CMD_QUEUE);
    FUZZ_CHECK(queue.iHead >= 0 && queue.iHead < NMEA_PARSE_CMD_QUEUE);
    FUZZ_CHECK(queue.iTail >= 0 && queue.iTail < NMEA_PARSE_CMD_QUEUE);

    FuzzCheck::Sink sink;
    // The instances outside the database answer the same whatever came:
    // once is enough.
    static bool outsideRead = false;
    if (!outsideRead) {
        readBack(sink, -1);
        readBack(sink, GPS_DB_INSTANCES);
        outsideRead = true;
    }
    // Only the guidance echoes take anything from instance 0's stream.
    for (int i = 0; i < (guidance ? GPS_DB_INSTANCES : 1); ++i) readBack(sink, i);
    NmeaSetNmeaFoundCallback(nullptr);
    return 0;
}
