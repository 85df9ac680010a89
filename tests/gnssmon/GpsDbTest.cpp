#include "gnssmon/GpsDb.h"

#include "gnssmon/TimeServices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr double DEG_PER_METRE = 8.999298684654e-6;
constexpr double PI = 3.141592653589793;

// Displacement in degrees of `metres` towards `bearing` at `latitude`,
// computed here on its own for comparison.
void expectedShift(double latitude, double bearing, double metres, double* north, double* east) {
    *north = std::cos(bearing * PI / 180.0) * metres * DEG_PER_METRE;
    *east = std::sin(bearing * PI / 180.0) * metres * DEG_PER_METRE / std::cos(latitude * PI / 180.0);
}

struct GpsDbTest : ::testing::Test {
    void SetUp() override {
        for (int i = 0; i < GPS_DB_INSTANCES; ++i) GpsDbInit(i, false);
    }
    void TearDown() override { TimerForTestOnlyThaw(); }

    // A position as the binary parser delivers it.
    static void newPosition(int instance, double lat, double lon, double course, double speed) {
        GpsDbSetRawLat(instance, lat);
        GpsDbSetRawLon(instance, lon);
        GpsDbSetRawCourse(instance, course);
        GpsDbSetVelocity(instance, speed);
        GpsDbSetNewPosTick(instance, 1234);
    }
};

TEST_F(GpsDbTest, DefaultsAfterInit) {
    // Dirty the instance first: GpsDbInit must put every default back.
    GpsDbSetAgeOfDiff(2, 3);
    GpsDbSetSerialNumber(2, "123-45-6789");
    GpsDbSetRateOfTurn(2, 4.0f);
    GpsDbSetSTDEV(2, 0.5);
    GpsDbSetLateralAntennaAdj(2, 3.0);
    GpsDbSetGPSChannelDataSV(2, 5, 17);
    GpsDbSetClockOffset(2, 0);
    GpsDbInit(2, false);

    EXPECT_EQ(dGpsDbGetLat(2), 0.0);
    EXPECT_EQ(dGpsDbGetRawLon(2), 0.0);
    EXPECT_EQ(wGpsDbGetAgeOfDiff(2), 9999);
    EXPECT_EQ(dGpsDbGetSTDEV(2), -1.0);
    EXPECT_EQ(iGpsDbGetClockOffset(2), 14);
    EXPECT_EQ(iGpsDbGetThisApp(2), 0);
    EXPECT_FALSE(GpsDbGetVectorReceiver(2));
    EXPECT_FALSE(bGpsDbGetGyroAdjustment(2));
    for (float f : {GpsDbGetRateOfTurn(2), GpsDbGetYaw(2), GpsDbGetPitch(2), GpsDbGetRoll(2), GpsDbGetVariation(2)})
        EXPECT_EQ(f, 100.0f);
    EXPECT_STREQ(szGpsDbGetBER(2), "NA");
    EXPECT_STREQ(szGpsDbGetCorrectionType(2), "Unknown");
    EXPECT_STREQ(szGpsDbGetSerialNumber(2), "000-00-0000");
    EXPECT_STREQ(szGpsDbGetApp1(2), "Unknown");
    EXPECT_STREQ(szGpsDbGetApp2(2), "Unknown");
    EXPECT_STREQ(szGpsDbGetApplicationVersion(2), "0.0");
    EXPECT_STREQ(szGpsDbGetReceiverName(2), "Unknown");
    EXPECT_STREQ(szGpsDbGetVBSexpire(2), "Unknown");
    EXPECT_STREQ(szGpsDbGetDiffTypeString(2), "Unknown");
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(2, 5), 0);
    const _GPS_DB_RECORD* r = pGpsDbGetPosStruct(2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->iEchoHandle, GPS_DB_NO_ECHO);
    EXPECT_EQ(r->dLateralAntennaAdj, 0.0);
    EXPECT_EQ(r->dDirCutoffSpeed, 0.24704);
    GpsDbInit(2, true);
    EXPECT_EQ(r->dDirCutoffSpeed, 0.0);
}

TEST_F(GpsDbTest, BadInstanceIsIgnoredBySettersAndGivesFixedValuesFromGetters) {
    for (int bad : {-1, 4, 1000}) {
        GpsDbSetLat(bad, 45.0);
        GpsDbSetSerialNumber(bad, "999");
        GpsDbSetGPSChannelDataSNR(bad, 0, 40.0);
        EXPECT_EQ(dGpsDbGetLat(bad), 0.0);
        EXPECT_EQ(iGpsDbGetClockOffset(bad), 0);
        EXPECT_EQ(wGpsDbGetAgeOfDiff(bad), 9999);
        EXPECT_EQ(dGpsDbGet2DAlt(bad), 2147483648.0);
        EXPECT_STREQ(szGpsDbGetDSPVersion(bad), "NA");
        EXPECT_STREQ(szGpsDbGetSerialNumber(bad), "");
        EXPECT_STREQ(szGpsDbGetDiffTypeString(bad), "Unknown");
        EXPECT_EQ(pGpsDbGetPosStruct(bad), nullptr);
        EXPECT_EQ(GpsDbGetAlmanac(bad, 0), nullptr);
        EXPECT_EQ(GpsDbGetGPSChannelDataSNR(bad, 0), 0.0);
    }
    for (int i = 0; i < GPS_DB_INSTANCES; ++i) {
        EXPECT_EQ(dGpsDbGetLat(i), 0.0);
        EXPECT_STREQ(szGpsDbGetSerialNumber(i), "000-00-0000");
        EXPECT_EQ(GpsDbGetGPSChannelDataSNR(i, 0), 0.0);
    }
}

TEST_F(GpsDbTest, ChannelsKeepWholeDegreeAzimuthsAndIgnoreBadChannels) {
    for (int azimuth = 0; azimuth < 360; ++azimuth) {
        const int channel = azimuth % GPS_DB_CHANNELS;
        GpsDbSetGPSChannelDataHalfAzimuth(1, channel, static_cast<uint16_t>(azimuth));
        GpsDbSetGLONASSChannelDataHalfAzimuth(1, channel, static_cast<uint16_t>(359 - azimuth));
        ASSERT_EQ(GpsDbGetGPSChannelDataHalfAzimuth(1, channel), azimuth);
        ASSERT_EQ(GpsDbGetGLONASSChannelDataHalfAzimuth(1, channel), 359 - azimuth);
    }
    GpsDbSetGPSChannelDataSV(1, 11, 32);
    GpsDbSetGPSChannelDataElevation(1, 11, -3);
    GpsDbSetGPSChannelDataSNR(1, 11, 45.5);
    GpsDbSetGPSChannelDataSNRL2(1, 11, 30.25);
    GpsDbSetGPSChannelDataDiffCorr(1, 11, 0.12);
    GpsDbSetGPSChannelDataPosResid(1, 11, 1.5);
    GpsDbSetGLONASSChannelDataSV(1, 0, 7);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(1, 11), 32);
    EXPECT_EQ(GpsDbGetGPSChannelDataElevation(1, 11), -3);
    EXPECT_EQ(GpsDbGetGPSChannelDataSNR(1, 11), 45.5);
    EXPECT_EQ(GpsDbGetGPSChannelDataSNRL2(1, 11), 30.25);
    EXPECT_EQ(GpsDbGetGPSChannelDataDiffCorr(1, 11), 0.12);
    EXPECT_EQ(GpsDbGetGPSChannelDataPosResid(1, 11), 1.5);
    EXPECT_EQ(GpsDbGetGLONASSChannelDataSV(1, 0), 7);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(1, 0), 0);  // the tables are apart

    GpsDbSetGPSChannelDataSV(1, 12, 99);
    GpsDbSetGPSChannelDataSV(1, -1, 99);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(1, 12), 0);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(1, -1), 0);
    EXPECT_EQ(GpsDbGetGLONASSChannelDataSV(2, 11), 0);  // nothing spilled into the next instance
}

TEST_F(GpsDbTest, OverLongTextIsCutToItsFieldAndLeavesItsNeighboursAlone) {
    const std::string longText(300, 'Z');
    const struct {
        void (*set)(int, const char*);
        const char* (*get)(int);
        int size;
    } fields[] = {
        {GpsDbSetBER, szGpsDbGetBER, GPS_DB_BER_LEN},
        {GpsDbSetCorrectionType, szGpsDbGetCorrectionType, GPS_DB_CORRECTION_TYPE_LEN},
        {GpsDbSetSerialNumber, szGpsDbGetSerialNumber, GPS_DB_SERIAL_NUMBER_LEN},
        {GpsDbSetApp1, szGpsDbGetApp1, GPS_DB_APP_NAME_LEN},
        {GpsDbSetApp2, szGpsDbGetApp2, GPS_DB_APP_NAME_LEN},
        {GpsDbSetApplicationVersion, szGpsDbGetApplicationVersion, GPS_DB_APP_VERSION_LEN},
        {GpsDbSetDSPVersion, szGpsDbGetDSPVersion, GPS_DB_DSP_VERSION_LEN},
        {GpsDbSetReceiverName, szGpsDbGetReceiverName, GPS_DB_RECEIVER_NAME_LEN},
        {GpsDbSetVBSexpire, szGpsDbGetVBSexpire, GPS_DB_VBS_EXPIRE_LEN},
    };
    const _GPS_DB_RECORD before = *pGpsDbGetPosStruct(1);
    for (const auto& f : fields) {
        f.set(1, longText.c_str());
        EXPECT_EQ(std::string(f.get(1)), std::string(f.size - 1, 'Z'));
        f.set(1, "ab");
        EXPECT_STREQ(f.get(1), "ab");
        f.set(1, nullptr);  // nothing to copy
        EXPECT_STREQ(f.get(1), "ab");
    }
    // Every other field of the record, and the next instance, are as they were.
    const _GPS_DB_RECORD& after = *pGpsDbGetPosStruct(1);
    EXPECT_EQ(after.dSTDEV, before.dSTDEV);
    EXPECT_EQ(after.iThisApp, before.iThisApp);
    EXPECT_EQ(after.iAGC, before.iAGC);
    EXPECT_EQ(after.wGPSWeek, before.wGPSWeek);
    EXPECT_EQ(after.dVectorTrueHeading, before.dVectorTrueHeading);
    EXPECT_EQ(after.dwBaseBatteryType, before.dwBaseBatteryType);
    EXPECT_EQ(dGpsDbGetLat(2), 0.0);
    EXPECT_STREQ(szGpsDbGetBER(2), "NA");
}

TEST_F(GpsDbTest, PositionWithoutOffsetsIsTheRawPosition) {
    newPosition(0, 51.123456789, -114.987654321, 123.0, 5.0);
    EXPECT_EQ(dGpsDbGetLat(0), 51.123456789);
    EXPECT_EQ(dGpsDbGetLon(0), -114.987654321);
    EXPECT_EQ(dwGpsDbGetNewPosTick(0), 1234u);
}

TEST_F(GpsDbTest, LateralOffsetOfTenMetresAtTheEquatorMovesEastOnly) {
    GpsDbSetLateralAntennaAdj(0, 10.0);
    newPosition(0, 0.0, 0.0, 0.0, 5.0);
    EXPECT_NEAR(dGpsDbGetLat(0), 0.0, 1e-15);
    EXPECT_NEAR(dGpsDbGetLon(0), 8.999298684654e-5, 1e-15);
}

TEST_F(GpsDbTest, AntennaOffsetsAtSeveralLatitudesAndCourses) {
    const struct {
        double lat, course, lateral, forward, roll;
    } cases[] = {
        {0.0, 0.0, 10.0, 0.0, 0.0},     {45.0, 90.0, -2.5, 1.0, 0.0},  {60.0, 180.0, 3.0, -4.0, 0.0},
        {-33.9, 300.0, 10.0, 0.0, 0.0}, // lateral bearing 390 - 360 = 30
        {-70.0, 270.0, 1.0, 2.0, 0.5},  // lateral bearing 360
        {10.0, 359.9, 0.0, 7.0, 0.0},   {51.0, 45.0, 0.0, 0.0, -1.2},
    };
    for (const auto& c : cases) {
        GpsDbInit(0, true);
        GpsDbSetLateralAntennaAdj(0, c.lateral);
        GpsDbSetForwardAntennaAdj(0, c.forward);
        GpsDbSetGpsLateralAdjustForRoll(0, c.roll);
        // The first position after start: the offsets use its own latitude,
        // not the latitude left from before.
        newPosition(0, c.lat, 20.0, c.course, 3.0);
        double fN, fE, lN, lE;
        expectedShift(c.lat, c.course, c.forward, &fN, &fE);
        expectedShift(c.lat, c.course + 90.0, c.lateral + c.roll, &lN, &lE);
        EXPECT_NEAR(dGpsDbGetLat(0), c.lat + fN + lN, 1e-12) << c.lat << " " << c.course;
        EXPECT_NEAR(dGpsDbGetLon(0), 20.0 + fE + lE, 1e-12) << c.lat << " " << c.course;
        EXPECT_EQ(dGpsDbGetRawLat(0), c.lat);
    }
}

TEST_F(GpsDbTest, SettingAnAntennaOffsetClearsTheOffsetLastApplied) {
    GpsDbSetForwardAntennaAdj(0, 5.0);
    newPosition(0, 10.0, 10.0, 0.0, 1.0);
    const _GPS_DB_RECORD* r = pGpsDbGetPosStruct(0);
    EXPECT_NE(r->dForwardOffsetN, 0.0);
    GpsDbSetLateralAntennaAdj(0, 1.0);
    EXPECT_EQ(r->dForwardOffsetN, 0.0);
    EXPECT_EQ(r->dForwardOffsetE, 0.0);
    newPosition(0, 10.0, 10.0, 0.0, 1.0);
    GpsDbSetForwardAntennaAdj(0, 0.0);
    EXPECT_EQ(r->dForwardOffsetN, 0.0);
    EXPECT_EQ(r->dForwardOffsetE, 0.0);
}

TEST_F(GpsDbTest, FixedAdjustmentIsAddedToEveryPosition) {
    GpsDbSetLat(0, 60.0);
    GpsDbSetGpsAdjustment(0, 90.0, 100.0);  // 100 m east at the current latitude
    newPosition(0, 60.0, 5.0, 0.0, 0.0);
    EXPECT_NEAR(dGpsDbGetLat(0), 60.0, 1e-12);
    EXPECT_NEAR(dGpsDbGetLon(0), 5.0 + 100.0 * DEG_PER_METRE / 0.5, 1e-12);
}

TEST_F(GpsDbTest, GuidanceEchoesFollowInstanceZeroInTheSameCall) {
    GpsDbGuidanceInit();
    GpsDbSetAlt(0, 1048.5);
    GpsDbSetGPSWeek(0, 2200);
    GpsDbSetTimeOfWeek(0, 345600.5);
    GpsDbSetNumSats(0, 11);
    GpsDbSetHdop(0, 0.9f);
    GpsDbSetVdop(0, 1.1f);
    GpsDbSetPdop(0, 1.4f);
    GpsDbSetAgeOfDiff(0, 3);
    GpsDbSetGpsStatus(0, 4);
    GpsDbSetConnectionType(0, 2);
    newPosition(0, 49.5, -97.25, 0.0, 2.0);

    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(dGpsDbGetAlt(i), 1048.5);
        EXPECT_EQ(dGpsDbGetVelocity(i), 2.0);
        EXPECT_EQ(dwGpsDbGetNewPosTick(i), 1234u);
        EXPECT_EQ(wGpsDbGetGPSWeek(i), 2200);
        EXPECT_EQ(dGpsDbGetTimeOfWeek(i), 345600.5);
        EXPECT_EQ(iGpsDbGetNumSats(i), 11);
        EXPECT_EQ(fGpsDbGetHdop(i), 0.9f);
        EXPECT_EQ(fGpsDbGetPdop(i), 1.4f);
        EXPECT_EQ(wGpsDbGetAgeOfDiff(i), 3);
        EXPECT_EQ(iGpsDbGetGpsStatus(i), 4);
        EXPECT_EQ(iGpsDbGetConnectionType(i), 2);
    }
    EXPECT_EQ(dGpsDbGetLat(1), 49.5);
    EXPECT_EQ(dGpsDbGetLon(1), -97.25);
    double n, e;
    expectedShift(49.5, 90.0, 10.0, &n, &e);
    EXPECT_NEAR(dGpsDbGetLat(2), 49.5, 1e-12);
    EXPECT_NEAR(dGpsDbGetLon(2), -97.25 - e, 1e-12);  // ten metres to the left
    EXPECT_NEAR(dGpsDbGetLat(3), 49.5, 1e-12);
    EXPECT_NEAR(dGpsDbGetLon(3), -97.25 + e, 1e-12);  // ten metres to the right
    EXPECT_EQ(dGpsDbGetRawLon(3), dGpsDbGetLon(1));
}

TEST_F(GpsDbTest, EchoHandleIgnoresTargetsAboveThreeAndItself) {
    _GPS_DB_RECORD* r = pGpsDbGetPosStruct(2);
    GpsDbSetEchoHandle(2, 0);
    EXPECT_EQ(r->iEchoHandle, 0);
    GpsDbSetEchoHandle(2, 4);
    EXPECT_EQ(r->iEchoHandle, 0);
    GpsDbSetEchoHandle(2, 2);
    EXPECT_EQ(r->iEchoHandle, 0);
    GpsDbSetEchoHandle(2, -1);  // stops mirroring
    EXPECT_EQ(r->iEchoHandle, -1);
    newPosition(0, 1.0, 2.0, 0.0, 0.0);
    EXPECT_EQ(dGpsDbGetLat(2), 0.0);
}

TEST_F(GpsDbTest, CourseFollowsTheCutOffSpeed) {
    GpsDbSetCourse(0, 10.0);
    GpsDbSetVelocity(0, 0.2);
    GpsDbSetCourse(0, 90.0);
    EXPECT_EQ(dGpsDbGetCourse(0), 0.0);  // too slow: the old course stays
    GpsDbSetVelocity(0, 0.3);
    GpsDbSetCourse(0, 90.0);
    EXPECT_EQ(dGpsDbGetCourse(0), 90.0);
    GpsDbSetVelocity(0, 0.0);
    GpsDbSetVectorReceiver(0, true);  // a vector receiver knows its heading standing still
    GpsDbSetCourse(0, 180.0);
    EXPECT_EQ(dGpsDbGetCourse(0), 180.0);
    GpsDbInit(1, true);  // no cut-off
    GpsDbSetCourse(1, 45.0);
    EXPECT_EQ(dGpsDbGetCourse(1), 45.0);
}

TEST_F(GpsDbTest, NewPositionTakesTheRawCourseUnlessTheGyroProvidesIt) {
    newPosition(0, 1.0, 1.0, 77.0, 1.0);
    EXPECT_EQ(dGpsDbGetCourse(0), 77.0);
    GpsDbSetGyroAdjustment(0, true);
    newPosition(0, 1.0, 1.0, 88.0, 1.0);
    EXPECT_EQ(dGpsDbGetCourse(0), 77.0);
    EXPECT_EQ(dGpsDbGetRawCourse(0), 88.0);
}

TEST_F(GpsDbTest, ClockFilterStepsByATenthAndJumpsBeyondFiftyMilliseconds) {
    TimerForTestOnlyFreeze(100000);
    const double base = 5.0e11;  // offset of the program clock from the tick
    GpsDbSetPositionTime(0, -1.0e9);
    GpsDbSetPositionTime(0, 100000 + base);  // far from anything before: taken at once
    const _GPS_DB_RECORD* r = pGpsDbGetPosStruct(0);
    EXPECT_EQ(r->dTimeOffset, base);

    GpsDbSetPositionTime(0, 100000 + base + 10.0);
    EXPECT_NEAR(r->dTimeOffset, base + 1.0, 1e-6);
    EXPECT_NEAR(dForTestOnlyClockDiff, -1.0, 1e-6);
    EXPECT_EQ(dGpsDbGetPositionTime(0), 100000 + base + 10.0);
    GpsDbSetPositionTime(0, 100000 + base + 10.0);
    EXPECT_NEAR(r->dTimeOffset, base + 1.9, 1e-6);

    TimerForTestOnlyFreeze(200000);  // the same offset at a later tick: no change
    GpsDbSetPositionTime(0, 200000 + base + 1.9);
    EXPECT_NEAR(r->dTimeOffset, base + 1.9, 1e-6);

    GpsDbSetPositionTime(0, 200000 + base + 1.9 + 50.0);  // 50 exactly: still filtered
    EXPECT_NEAR(r->dTimeOffset, base + 1.9 + 5.0, 1e-6);
    GpsDbSetPositionTime(0, 200000 + base + 6.9 + 60.0);  // 60 away: jumps
    EXPECT_NEAR(r->dTimeOffset, base + 66.9, 1e-6);
    EXPECT_NEAR(dForTestOnlyClockDiff, -60.0, 1e-6);

    TimerForTestOnlyFreeze(200500);
    EXPECT_NEAR(dGpsDbGetCurrentTime(0), base + 66.9 + 200500, 1e-3);
    GpsDbSetNewPosTick(0, 200250);
    EXPECT_NEAR(dGpsDbGetPosTime(0), base + 66.9 + 200250, 1e-3);
}

TEST_F(GpsDbTest, EstimatedPositionMovesAlongTheCourseAtTheCurrentSpeed) {
    TimerForTestOnlyFreeze(50000);
    const double clock = 1.0e12;
    GpsDbSetPositionTime(0, -1.0e9);
    GpsDbSetPositionTime(0, clock);  // clock = tick + offset, exactly
    GpsDbSetVelocity(0, 10.0);
    newPosition(0, 40.0, -3.0, 90.0, 10.0);
    TimerForTestOnlyFreeze(51000);  // one second after the position

    double lat = 0.0, lon = 0.0, n, e;
    GpsDbGetEstimatedPos(0, 0.0, &lat, &lon);  // now: 10 m further east
    expectedShift(40.0, 90.0, 10.0, &n, &e);
    EXPECT_NEAR(lat, 40.0 + n, 1e-12);
    EXPECT_NEAR(lon, -3.0 + e, 1e-12);

    // Two seconds from now is three seconds after the fix; now itself is the
    // same as asking with 0.
    GpsDbGetEstimatedPos(0, clock + 1000.0 + 2000.0, &lat, &lon);
    expectedShift(40.0, 90.0, 30.0, &n, &e);
    EXPECT_NEAR(lon, -3.0 + e, 1e-12);
    GpsDbGetEstimatedPos(0, clock + 1000.0, &lat, &lon);
    expectedShift(40.0, 90.0, 10.0, &n, &e);
    EXPECT_NEAR(lon, -3.0 + e, 1e-12);

    lat = lon = 7.0;
    GpsDbGetEstimatedPos(4, 0.0, &lat, &lon);
    EXPECT_EQ(lat, 7.0);
    EXPECT_EQ(lon, 7.0);
    GpsDbGetEstimatedPos(0, 0.0, nullptr, nullptr);  // nowhere to write: nothing happens
}

TEST_F(GpsDbTest, SatelliteCounts) {
    EXPECT_EQ(iCountSats(0u), 0);
    EXPECT_EQ(iCountSats(0xFFFFFFFFu), 32);
    EXPECT_EQ(iCountSats(0x80000001u), 2);
    GpsDbSetSatsUsedMask(0, 0x0000F00Fu);
    GpsDbSetSatsTrackedMask(0, 0x00FFF0FFu);
    EXPECT_EQ(iGpsDbGetNumSatsUsed(0), 8);
    EXPECT_EQ(iGpsDbGetNumSatsTracked(0), 20);
    EXPECT_EQ(iGpsDbGetNumSatsUsed(5), 0);
}

TEST_F(GpsDbTest, DifferentialTypeNames) {
    const char* names[] = {"Unknown", "LBAND",    "BEACON", "OTHER", "THIS",        "WAAS", "AUTO",
                           "AUTO_NA", "AUTO_NOSUB", "RTK",  "RTK_NOSUB", "LOCAL", "LOCAL_NOSUB", "NONE"};
    for (int type = 0; type < GPS_DB_DIFF_TYPES; ++type) {
        GpsDbSetDiffType(0, type);
        GpsDbSetOtherDiffType(0, GPS_DB_DIFF_TYPES - 1 - type);
        EXPECT_STREQ(szGpsDbGetDiffTypeString(0), names[type]);
        EXPECT_STREQ(szGpsDbGetOtherDiffTypeString(0), names[GPS_DB_DIFF_TYPES - 1 - type]);
    }
    for (int bad : {-1, 14, 1000}) {
        GpsDbSetDiffType(0, bad);
        EXPECT_STREQ(szGpsDbGetDiffTypeString(0), "Unknown");
    }
}

TEST_F(GpsDbTest, AlmanacRecordsByIndex) {
    _GPS_DB_ALMANAC almanac{};
    almanac.wWeek = 2100;
    almanac.dEccentricity = 0.01;
    almanac.dAf1 = -1e-12;
    GpsDbSetAlmanac(1, &almanac, 31);
    GpsDbSetAlmanac(1, &almanac, 32);
    GpsDbSetAlmanac(1, &almanac, -1);
    GpsDbSetAlmanac(1, nullptr, 0);
    const _GPS_DB_ALMANAC* stored = GpsDbGetAlmanac(1, 31);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->wWeek, 2100);
    EXPECT_EQ(stored->dAf1, -1e-12);
    EXPECT_EQ(GpsDbGetAlmanac(1, 30)->wWeek, 0);
    EXPECT_EQ(GpsDbGetAlmanac(1, 32), nullptr);
    EXPECT_EQ(GpsDbGetAlmanac(1, -1), nullptr);
    EXPECT_EQ(GpsDbGetAlmanac(2, 31)->wWeek, 0);
}

TEST_F(GpsDbTest, ApplicationSlotsSwap) {
    GpsDbSwapApps(0);
    EXPECT_EQ(iGpsDbGetThisApp(0), 0);  // not reported yet: stays
    GpsDbSetThisApp(0, 1);
    GpsDbSwapApps(0);
    EXPECT_EQ(iGpsDbGetThisApp(0), 2);
    GpsDbSwapApps(0);
    EXPECT_EQ(iGpsDbGetThisApp(0), 1);
}

TEST_F(GpsDbTest, PlainFieldsReadBackWhatWasSet) {
    GpsDbSetVectorPitch(3, 2.5);
    EXPECT_EQ(dGpsDbGetVectorFrenchRoll(3), 2.5);
    GpsDbSetNavConditionStatus(3, 0x1234);
    EXPECT_EQ(ulGpsDbGetNavConditionStatus(3), 0x1234ul);
    GpsDbSetDspStatus(3, 0x7F);
    EXPECT_EQ(bGpsDbGetDspStatus(3), 0x7F);
    GpsDbSetBaseBatteryType(3, 2);
    GpsDbSetBaseBatteryVoltage(3, 12.5f);
    EXPECT_EQ(GpsGetBaseBatteryType(3), 2u);
    EXPECT_EQ(GpsDbGetBaseBatteryVoltage(3), 12.5f);
    GpsDbSetDiffSv1(3, 133);
    GpsDbSetDiffSv2(3, 138);
    EXPECT_EQ(wGpsDbGetDiffSv1(3), 133);
    EXPECT_EQ(wGpsDbGetDiffSv2(3), 138);
    GpsDbSetPosPerSec(3, 10);
    EXPECT_EQ(wGpsDbGetPosPerSec(3), 10);
    GpsDbSetSubscriptionMask(3, 0x2);
    EXPECT_EQ(iGpsDbGetSubscriptionMask(3), 2);
    GpsDbSetStatusTick(3, 0xFFFFFFFFu);
    EXPECT_EQ(dwGpsDbGetStatusTick(3), 0xFFFFFFFFu);
}

} // namespace
