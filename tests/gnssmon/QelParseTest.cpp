#include "gnssmon/QelParse.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsTranslateBinMsg.h"
#include "gnssmon/TimeServices.h"
#include "tests/gnssmon/GnssFeed.h"
#include "tools/gnssproto/BinEncode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace GnssProto;

namespace {

constexpr uint32_t kNow = 777000;

Bin1 movingNorthEast()
{
    Bin1 m;
    m.ageOfDiff = 3;
    m.numSats = 9;
    m.week = 2200;
    m.timeOfWeek = 345600.5;
    m.lat = 49.274166;
    m.lon = -123.185;
    m.height = 85.25f;
    m.velNorth = 3.0f;
    m.velEast = 3.0f;
    m.velUp = 0.5f;
    m.stdDev = 0.75f;
    m.navMode = 0x0D;  // status 5
    return m;
}

Bin1 moving(float north, float east)
{
    Bin1 m = movingNorthEast();
    m.velNorth = north;
    m.velEast = east;
    return m;
}

class QelParseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TimerForTestOnlyFreeze(kNow);
        for (int i = 0; i < 4; ++i) {
            GpsDbInit(i, false);
            QelParseInit(i);
        }
        PutTime(0.0);
    }
    void TearDown() override { TimerForTestOnlyThaw(); }

    static int feed(const std::string& bytes, int instance = 0) { return GnssFeed::bin(bytes, instance); }

    // The database fields every translated message touches, to show that a
    // frame changed nothing.
    static void expectUntouched(int instance = 0)
    {
        EXPECT_EQ(dGpsDbGetRawLat(instance), 0.0);
        EXPECT_EQ(iGpsDbGetNumSats(instance), 0);
        EXPECT_EQ(wGpsDbGetGPSWeek(instance), 0);
        EXPECT_EQ(dwGpsDbGetNewPosTick(instance), 0u);
        EXPECT_EQ(dwGpsDbGetStatusTick(instance), 0u);
        EXPECT_EQ(iGpsDbGetConnectionType(instance), 0);
        EXPECT_EQ(dwGpsDbGetSatsTrackedMask(instance), 0u);
        EXPECT_EQ(fGpsDbGetHdop(instance), 0.0f);
        EXPECT_EQ(GpsDbGetGPSChannelDataSV(instance, 0), 0);
        EXPECT_EQ(GetTime(), 0.0);
    }
};

// ---- message 1 -----------------------------------------------------------------------

TEST_F(QelParseTest, Message1SetsPositionTimeAndQuality)
{
    Bin2 m2;
    m2.gpsUtcDiff = 18;
    EXPECT_EQ(feed(encodeBin2(m2)), 1);

    const Bin1 m = movingNorthEast();
    const std::string frame = encodeBin1(m);
    EXPECT_EQ(feed(frame.substr(0, frame.size() - 3)), 0);
    EXPECT_EQ(QelParseProcessChrIn(0, static_cast<unsigned char>(frame[frame.size() - 3])), 1);
    EXPECT_EQ(feed(frame.substr(frame.size() - 2)), 0);  // CR LF after the checksum

    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 49.274166);
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLon(0), -123.185);
    EXPECT_DOUBLE_EQ(dGpsDbGetLat(0), 49.274166);  // new-position processing ran
    EXPECT_DOUBLE_EQ(dGpsDbGetLon(0), -123.185);
    EXPECT_EQ(dGpsDbGetAlt(0), 85.25);
    EXPECT_EQ(iGpsDbGetNumSats(0), 9);
    EXPECT_EQ(wGpsDbGetGPSWeek(0), 2200);
    EXPECT_EQ(dGpsDbGetTimeOfWeek(0), 345600.5);
    EXPECT_DOUBLE_EQ(GetTime(), 2200 * 6.048e8 + (345600.5 - 18) * 1000.0);
    EXPECT_DOUBLE_EQ(dGpsDbGetPositionTime(0), GetTime());
    EXPECT_EQ(wGpsDbGetAgeOfDiff(0), 3);
    EXPECT_EQ(dGpsDbGetSTDEV(0), 0.75);
    EXPECT_EQ(iGpsDbGetGpsStatus(0), 5);
    EXPECT_EQ(dwGpsDbGetNewPosTick(0), kNow);
    EXPECT_EQ(dwGpsDbGetStatusTick(0), kNow);
    EXPECT_EQ(iGpsDbGetConnectionType(0), 2);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), kNow);
    EXPECT_NEAR(dGpsDbGetVelocity(0), std::sqrt(18.0), 1e-6);
    EXPECT_NEAR(dGpsDbGetRawCourse(0), 45.0, 1e-9);
    EXPECT_EQ(dGpsDbGetVerticalVelocity(0), 0.5);
    EXPECT_NEAR(dGpsDbGetCourse(0), 45.0, 1e-9);
}

TEST_F(QelParseTest, Message1EarlyWeekCountsFromTheLastRollover)
{
    Bin1 m = movingNorthEast();
    m.week = 100;
    m.timeOfWeek = 0.0;
    feed(encodeBin1(m));
    EXPECT_DOUBLE_EQ(GetTime(), 1124 * 6.048e8);
}

TEST_F(QelParseTest, Message1ExtendedAgeWinsWhenNotZero)
{
    Bin1 m = movingNorthEast();
    m.extAgeOfDiff = 300;
    feed(encodeBin1(m));
    EXPECT_EQ(wGpsDbGetAgeOfDiff(0), 300);
    m.extAgeOfDiff = 0;
    feed(encodeBin1(m));
    EXPECT_EQ(wGpsDbGetAgeOfDiff(0), 3);
}

TEST_F(QelParseTest, Message1CourseFromVelocity)
{
    struct Case {
        float north, east;
        double course;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 90.0}, {0.0f, -1.0f, 270.0}, {1.0f, 0.0f, 0.0}, {-1.0f, 0.0f, 180.0},
        {-1.0f, -1.0f, 225.0}, {2.0f, -2.0f, 315.0},
    };
    for (const Case& c : cases) {
        feed(encodeBin1(moving(c.north, c.east)));
        EXPECT_NEAR(dGpsDbGetRawCourse(0), c.course, 1e-9) << c.north << " " << c.east;
        EXPECT_NEAR(dGpsDbGetCourse(0), c.course, 1e-9) << c.north << " " << c.east;
        EXPECT_NEAR(dGpsDbGetVelocity(0), std::hypot(c.north, c.east), 1e-6);
    }
}

TEST_F(QelParseTest, Message1StandingStillKeepsTheCourse)
{
    feed(encodeBin1(moving(0.0f, 1.0f)));
    feed(encodeBin1(moving(0.0f, 0.0f)));
    EXPECT_EQ(dGpsDbGetVelocity(0), 0.0);
    EXPECT_NEAR(dGpsDbGetCourse(0), 90.0, 1e-9);
}

TEST_F(QelParseTest, Message1SlowCourseOnlyInRtk)
{
    // 0.4 m/s towards 90 degrees, after a fix towards 0 degrees.
    feed(encodeBin1(moving(1.0f, 0.0f)));
    feed(encodeBin1(moving(0.0f, 0.4f)));
    EXPECT_NEAR(dGpsDbGetVelocity(0), 0.4, 1e-6);  // the speed measured; only the track is not known
    EXPECT_FALSE(bGpsDbGetTrackKnown(0));
    EXPECT_NEAR(dGpsDbGetRawCourse(0), 0.0, 1e-9);

    // Differential type RTK on instance 0 (it also rules the other instances).
    GpsDbSetDiffType(0, 9);
    feed(encodeBin1(moving(0.0f, 0.4f)));
    EXPECT_NEAR(dGpsDbGetVelocity(0), 0.4, 1e-6);
    EXPECT_NEAR(dGpsDbGetRawCourse(0), 90.0, 1e-9);
    feed(encodeBin1(moving(0.0f, 0.4f)), 1);
    EXPECT_NEAR(dGpsDbGetRawCourse(1), 90.0, 1e-9);

    GpsDbSetDiffType(0, 10);
    feed(encodeBin1(moving(0.4f, 0.0f)));
    EXPECT_NEAR(dGpsDbGetRawCourse(0), 0.0, 1e-9);
}

TEST_F(QelParseTest, Message1SlowCourseWhenThePreviousFixWasRtk)
{
    Bin1 fixed = moving(0.4f, 0.0f);
    fixed.navMode = 6;
    feed(encodeBin1(fixed));  // status 6 is stored after this message's course
    EXPECT_FALSE(bGpsDbGetTrackKnown(0));
    EXPECT_EQ(iGpsDbGetGpsStatus(0), 6);

    Bin1 next = moving(0.0f, 0.4f);
    feed(encodeBin1(next));
    EXPECT_NEAR(dGpsDbGetVelocity(0), 0.4, 1e-6);
    EXPECT_NEAR(dGpsDbGetRawCourse(0), 90.0, 1e-9);
    EXPECT_TRUE(bGpsDbGetTrackKnown(0));
}

// ---- message 2 ---------------------------------------------------------------------

TEST_F(QelParseTest, Message2SetsMasksDopsAndSbas)
{
    Bin2 m;
    m.trackedMask = 0x8000F00F;
    m.usedMask = 0x0000300F;
    m.gpsUtcDiff = 18;
    m.hdopX10 = 12;
    m.vdopX10 = 16;
    m.sbas = binSbasWord(135, 138);
    EXPECT_EQ(feed(encodeBin2(m)), 1);
    EXPECT_EQ(dwGpsDbGetSatsTrackedMask(0), 0x8000F00Fu);
    EXPECT_EQ(dwGpsDbGetSatsUsedMask(0), 0x0000300Fu);
    EXPECT_EQ(fGpsDbGetHdop(0), 1.2f);
    EXPECT_EQ(fGpsDbGetVdop(0), 1.6f);
    EXPECT_NEAR(fGpsDbGetPdop(0), 2.0f, 1e-6);
    EXPECT_EQ(wGpsDbGetDiffSv1(0), 135);
    EXPECT_EQ(wGpsDbGetDiffSv2(0), 138);
    EXPECT_EQ(dwGpsDbGetStatusTick(0), kNow);
    EXPECT_EQ(pQelParseGetState(0)->wGpsUtcDiff, 18);

    // Only bit 0: the first PRN moves, the second stays.
    m.sbas = 0x0001;
    feed(encodeBin2(m));
    EXPECT_EQ(wGpsDbGetDiffSv1(0), 120);
    EXPECT_EQ(wGpsDbGetDiffSv2(0), 138);
    m.sbas = 0;
    feed(encodeBin2(m));
    EXPECT_EQ(wGpsDbGetDiffSv1(0), 120);
}

// ---- message 99 --------------------------------------------------------------------

TEST_F(QelParseTest, Message99SetsTwelveChannels)
{
    Bin99 m;
    for (int i = 0; i < 12; ++i) {
        Bin99Channel& c = m.channels[i];
        c.sv = static_cast<uint8_t>(i + 1);
        c.elevation = static_cast<int8_t>(i * 7 - 5);
        c.halfAzimuth = static_cast<uint8_t>(i * 15);
        c.level = static_cast<uint16_t>(i * 100);
        c.diffCorrCm = static_cast<uint16_t>(150 + i);
        c.posResidDm = static_cast<uint16_t>(25 + i);
    }
    m.channels[11].level = 20;
    m.channels[11].halfAzimuth = 179;
    EXPECT_EQ(feed(encodeBin99(m)), 1);

    for (int i = 0; i < 12; ++i) {
        const Bin99Channel& c = m.channels[i];
        EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, i), c.sv);
        EXPECT_EQ(GpsDbGetGPSChannelDataElevation(0, i), c.elevation);
        EXPECT_EQ(GpsDbGetGPSChannelDataHalfAzimuth(0, i), 2 * c.halfAzimuth);
        EXPECT_NEAR(GpsDbGetGPSChannelDataDiffCorr(0, i), c.diffCorrCm * 0.01, 1e-12);
        EXPECT_NEAR(GpsDbGetGPSChannelDataPosResid(0, i), c.posResidDm * 0.1, 1e-12);
    }
    EXPECT_EQ(GpsDbGetGPSChannelDataSNR(0, 0), 0.0);  // level 0
    EXPECT_NEAR(GpsDbGetGPSChannelDataSNR(0, 5), 10.0 * std::log10(500 * 4096.0 / 80000.0), 1e-9);
    EXPECT_NEAR(GpsDbGetGPSChannelDataSNR(0, 11), 0.103, 5e-4);  // 10 log10(1.024)
    EXPECT_EQ(GpsDbGetGPSChannelDataHalfAzimuth(0, 11), 358);
    EXPECT_EQ(GpsDbGetGPSChannelDataElevation(0, 0), -5);
    EXPECT_EQ(dwGpsDbGetStatusTick(0), kNow);
}

// ---- framing ---------------------------------------------------------------------------

TEST_F(QelParseTest, Messages97And98AreCheckedButNotTranslated)
{
    EXPECT_EQ(feed(binFrame(97, BinData(40).u32(0, 0xFFFFFFFF).data())), 1);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), kNow);
    EXPECT_EQ(feed(binFrame(98, BinData(300).u8(1, 7).data())), 1);
    expectUntouched();
}

TEST_F(QelParseTest, WrongChecksumChangesNothing)
{
    const std::string data = encodeBin1(movingNorthEast()).substr(8, kBin1Length);
    EXPECT_EQ(feed(binFrameWithChecksum(1, data, static_cast<uint16_t>(binChecksum(data) + 1))), 0);
    EXPECT_EQ(feed(binFrameWithChecksum(2, encodeBin2(Bin2{0xFF, 0xF, 18, 12, 16, 1}).substr(8, kBin2Length), 0)), 0);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), 0u);
    EXPECT_EQ(pQelParseGetState(0)->wGpsUtcDiff, 0);
    expectUntouched();
}

TEST_F(QelParseTest, HeaderOtherThanBinIsDroppedAtItsFourthByte)
{
    const std::string good = binFrame(97, "abc");
    EXPECT_EQ(feed("$BIX" + good), 1);
    EXPECT_EQ(feed("$GPGGA,1*00\r\n" + good), 1);
    // "$" right before the frame: "$$BI" is not a header, and the frame's own
    // "$" was taken as data, so it is lost.
    EXPECT_EQ(feed("$" + good), 0);
}

TEST_F(QelParseTest, UnknownMessageNumberIsDroppedAtItsEighthByte)
{
    const std::string three = binFrame(3, BinData(20).data());
    EXPECT_EQ(feed(three.substr(0, 8)), 0);
    EXPECT_FALSE(pQelParseGetState(0)->bInMessage);
    EXPECT_EQ(feed(three.substr(8) + binFrame(97, "x")), 1);
    for (uint16_t number : {0, 4, 96, 100, 0xFFFF}) EXPECT_EQ(feed(binFrame(number, "abc")), 0) << number;
}

TEST_F(QelParseTest, FrameLimitIs512Bytes)
{
    // Data of 502 bytes: 512 with header and checksum, the largest frame.
    EXPECT_EQ(feed(binFrame(97, std::string(QEL_PARSE_MAX_DATA, 'a'))), 1);
    EXPECT_EQ(feed(binFrame(97, std::string(QEL_PARSE_MAX_DATA + 1, 'a'))), 0);
    EXPECT_EQ(dwQelParseGetChrCnt(0), 512u + 2 + 513 + 2);
}

TEST_F(QelParseTest, LengthNear65535IsRefusedAtOnce)
{
    // A 16-bit frame length of N + 10 would wrap for these lengths and end the
    // frame within its header, summing a checksum far past the buffer.
    for (uint32_t length : {65526u, 65527u, 65533u, 65534u, 65535u}) {
        const std::string header = "$BIN" + BinData().u16(0, 1).u16(2, static_cast<uint16_t>(length)).data();
        EXPECT_EQ(feed(header), 0) << length;
        EXPECT_FALSE(pQelParseGetState(0)->bInMessage) << length;
        EXPECT_EQ(feed(std::string(40, '\x11')), 0) << length;
    }
    EXPECT_EQ(feed(encodeBin1(movingNorthEast())), 1);
    EXPECT_EQ(iGpsDbGetNumSats(0), 9);
}

TEST_F(QelParseTest, MessagesShorterThanTheirLayoutAreNotTranslated)
{
    // A frame with a wrong checksum leaves its bytes in the receive buffer; a
    // following short message must not read its missing fields from them.
    Bin1 stale = movingNorthEast();
    const std::string staleData = encodeBin1(stale).substr(8, kBin1Length);
    feed(binFrameWithChecksum(1, staleData, 0));

    struct Case {
        uint16_t number;
        std::size_t length;
    };
    const Case cases[] = {{1, kBin1Length - 1}, {1, 2}, {1, 0}, {2, kBin2Length - 1}, {99, kBin99Length - 1}, {99, 12}};
    for (const Case& c : cases) {
        EXPECT_EQ(feed(binFrame(c.number, staleData.substr(0, std::min(c.length, staleData.size())) +
                                         std::string(c.length > staleData.size() ? c.length - staleData.size() : 0, '\x05'))),
                  1)
            << c.number << " " << c.length;
    }
    // The frames were sound: the link is alive, but nothing was translated.
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), kNow);
    expectUntouched();
    EXPECT_EQ(pQelParseGetState(0)->wGpsUtcDiff, 0);
}

TEST_F(QelParseTest, LongerMessagesAreTranslatedFromTheirLayout)
{
    std::string data = encodeBin1(movingNorthEast()).substr(8, kBin1Length) + std::string(20, '\x7F');
    EXPECT_EQ(feed(binFrame(1, data)), 1);
    EXPECT_EQ(iGpsDbGetNumSats(0), 9);
}

TEST_F(QelParseTest, DollarInsideAFrameIsData)
{
    const std::string data = "$BIN$BIN$$$" + std::string(5, '$');
    EXPECT_EQ(feed(binFrame(97, data)), 1);
    Bin1 m = movingNorthEast();
    m.numSats = '$';
    m.ageOfDiff = '$';
    EXPECT_EQ(feed(encodeBin1(m)), 1);
    EXPECT_EQ(iGpsDbGetNumSats(0), '$');
}

TEST_F(QelParseTest, InstancesOutside0To3AreIgnored)
{
    EXPECT_EQ(feed(encodeBin1(movingNorthEast()), 4), 0);
    EXPECT_EQ(feed(encodeBin1(movingNorthEast()), -1), 0);
    EXPECT_EQ(dwQelParseGetChrCnt(4), 0u);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(-1), 0u);
    EXPECT_EQ(pQelParseGetState(4), nullptr);
    for (int i = 0; i < 4; ++i) expectUntouched(i);
}

TEST_F(QelParseTest, InitClearsCountersTicksAndAHalfFrame)
{
    const std::string frame = encodeBin1(movingNorthEast());
    feed(encodeBin2(Bin2{0, 0, 18, 0, 0, 0}));
    feed(frame.substr(0, 20));
    QelParseInit(0);
    EXPECT_EQ(dwQelParseGetChrCnt(0), 0u);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), 0u);
    EXPECT_EQ(pQelParseGetState(0)->wGpsUtcDiff, 0);
    EXPECT_EQ(feed(frame.substr(20)), 0);
    EXPECT_EQ(iGpsDbGetNumSats(0), 0);
}

} // namespace
