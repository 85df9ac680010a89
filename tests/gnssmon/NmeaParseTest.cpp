#include "gnssmon/NmeaParse.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/TpvReport.h"
#include "gnssmon/TimeServices.h"
#include "tests/gnssmon/GnssFeed.h"
#include "tools/gnssproto/BinEncode.h"
#include "tools/gnssproto/NmeaEncode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using GnssProto::nmeaReply;
using GnssProto::nmeaSentence;
using GnssProto::nmeaSentenceBadChecksum;

namespace {

constexpr uint32_t kNow = 424242;
constexpr double kKmhToMs = 0.27777777778;

std::vector<std::string> observed;
void observe(const char* line)
{
    observed.emplace_back(line);
}

class NmeaParseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TimerForTestOnlyFreeze(kNow);
        // The differential type learnt from the replies is one for all
        // instances and survives a reset: bring it back to "unknown" the way
        // a receiver would.
        NmeaParseInit(0);
        feed("$>JSHOW,DIFF,NONE\r\n");
        for (int i = 0; i < 4; ++i) {
            GpsDbInit(i, false);
            NmeaParseInit(i);
            QelParseInit(i);
        }
        observed.clear();
        NmeaSetNmeaFoundCallback(observe);
    }
    void TearDown() override
    {
        NmeaSetNmeaFoundCallback(nullptr);
        TimerForTestOnlyThaw();
    }

    static int feed(const std::string& bytes, int instance = 0) { return GnssFeed::nmea(bytes, instance); }

    // Request codes waiting in the instance's queue, oldest first.
    static std::vector<int> requests(int instance = 0)
    {
        std::vector<int> codes;
        while (!BufferIsEmpty(&NmeaParseCmdBuffer[instance])) codes.push_back(BufferGetByte(&NmeaParseCmdBuffer[instance]));
        return codes;
    }

    static void expectTicks(bool status, bool good)
    {
        EXPECT_EQ(dwGpsDbGetStatusTick(0), status ? kNow : 0u);
        EXPECT_EQ(dwNmeaParseGetGoodMsgTick(0), good ? kNow : 0u);
    }
};

// ---- line collection ----------------------------------------------------------

TEST_F(NmeaParseTest, ShortReplyCompletesOnCrAndSetsBothTicks)
{
    EXPECT_EQ(feed("$>JI"), 0);
    EXPECT_EQ(NmeaParseProcessChrIn(0, '\r'), 1);
    EXPECT_EQ(observed, std::vector<std::string>{"$>JI"});
    expectTicks(true, true);
    EXPECT_STREQ(szGpsDbGetSerialNumber(0), "000-00-0000");
    EXPECT_STREQ(szGpsDbGetApplicationVersion(0), "0.0");
}

TEST_F(NmeaParseTest, CrOrLfEndsALineAndBytesOutsideLinesAreIgnored)
{
    const std::string stream = "noise\r\n$>JT,R320\r\nmore noise\n$>JT,R330\n\r";
    EXPECT_EQ(feed(stream), 2);
    EXPECT_EQ(observed, (std::vector<std::string>{"$>JT,R320", "$>JT,R330"}));
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "R330");
    EXPECT_EQ(dwNmeaParseGetChrCnt(0), stream.size());
}

TEST_F(NmeaParseTest, DollarInsideALineIsData)
{
    EXPECT_EQ(feed("$PFOO,1$>JT,R320\r\n"), 1);
    EXPECT_EQ(observed, std::vector<std::string>{"$PFOO,1$>JT,R320"});
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "Unknown");
    expectTicks(false, false);
}

TEST_F(NmeaParseTest, LineOf127CharactersIsDecodedAnd128IsDropped)
{
    const std::string head = "$>JT,R320,";
    const std::string longest = head + std::string(NMEA_PARSE_MAX_LINE + 1 - head.size(), 'x');
    ASSERT_EQ(longest.size(), 128u);  // "$" and 127 characters

    EXPECT_EQ(feed(longest + "X\r\n"), 0);
    EXPECT_TRUE(observed.empty());
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "Unknown");

    // The drop returns to idle: the next line is whole again.
    EXPECT_EQ(feed(longest + "\r\n"), 1);
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(observed[0], longest);
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "R320");
}

TEST_F(NmeaParseTest, BinaryHeaderIsNeverALine)
{
    EXPECT_EQ(feed(std::string("$BIN\x01\x00\x04\x00\r\n\x01\x02\x03\x04\x0a\x00\r\n", 18)), 0);
    EXPECT_TRUE(observed.empty());
    // "$BI" followed by anything else is an ordinary line.
    EXPECT_EQ(feed("$BIT\r\n"), 1);
    EXPECT_EQ(observed, std::vector<std::string>{"$BIT"});
}

TEST_F(NmeaParseTest, GgaGoesToTheObserverAndGivesThePositionWithoutMessage1)
{
    EXPECT_EQ(feed(nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")), 1);
    ASSERT_EQ(observed.size(), 1u);
    EXPECT_EQ(observed[0], "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 48.1173);
    expectTicks(true, true);  // its checksum is right: the link is alive
}

// Any line whose checksum is right shows the link alive, decoded or not; a
// corrupt line shows nothing, whatever its name.
TEST_F(NmeaParseTest, GoodTickComesFromEveryLineWithARightChecksum)
{
    struct Case {
        std::string line;
        bool good;
    };
    const Case cases[] = {
        {nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), true},
        {nmeaSentence("$HEROT,-3.25,A"), true},
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), true},
        {nmeaSentence("$PVRN,HPR,123519.00,271.50,-1.20,0.80"), true},
        {nmeaSentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"), true},
        {nmeaSentenceBadChecksum("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), false},
        {nmeaSentenceBadChecksum("$HEROT,-3.25,A"), false},
        {nmeaSentenceBadChecksum("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), false},
        {nmeaSentenceBadChecksum("$GPGST,123519.00,0.82,1.2,0.9,37.0,1.0,0.9,2.1"), false},
        {nmeaSentenceBadChecksum("$>JT,R320"), false},
        {nmeaReply("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), false},
        {nmeaReply("$HEROT,-3.25,A"), false},
    };
    for (const Case& c : cases) {
        NmeaParseInit(0);
        feed(c.line);
        EXPECT_EQ(dwNmeaParseGetGoodMsgTick(0), c.good ? kNow : 0u) << c.line;
    }
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "Unknown");
}

TEST_F(NmeaParseTest, InstancesCollectTheirOwnLines)
{
    feed("$>JT,AAA", 0);
    feed("$>JT,BBB\r\n", 2);
    feed("\r\n", 0);
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "AAA");
    EXPECT_STREQ(szGpsDbGetReceiverName(2), "BBB");
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(1), 0u);
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(2), kNow);

    // Outside 0 to 3: ignored.
    EXPECT_EQ(NmeaParseProcessChrIn(4, '$'), 0);
    EXPECT_EQ(NmeaParseProcessChrIn(-1, '\r'), 0);
    EXPECT_EQ(dwNmeaParseGetChrCnt(4), 0u);
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(-1), 0u);
}

TEST_F(NmeaParseTest, InitClearsCountersTicksAndTheRequestQueue)
{
    feed("$>JSHOW,DIFF,AUTO\r\n$>JSHOW,DIFF,NONE\r\n$>JT,R3");
    NmeaParseInit(0);
    EXPECT_EQ(dwNmeaParseGetChrCnt(0), 0u);
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(0), 0u);
    EXPECT_TRUE(requests().empty());
    // The half line is gone.
    feed("20\r\n");
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "Unknown");
}

// ---- "$>JSHOW" --------------------------------------------------------------------

TEST_F(NmeaParseTest, JshowDiffSelectsTheDifferentialType)
{
    struct Case {
        const char* line;
        int type;
    };
    const Case cases[] = {
        {"$>JSHOW,DIFF,LBAND", 1}, {"$>JSHOW,DIFF,BEACON", 2}, {"$>JSHOW,DIFF,OTHER", 3},
        {"$>JSHOW,DIFF,THIS PORT", 4}, {"$>JSHOW,DIFF,WAAS", 5}, {"$>JSHOW,DIFF,NONE", 0},
        {"$>JSHOW,DIFF,WAAS", 5}, {"$>JSHOW,DIFF", 0},
    };
    for (const Case& c : cases) {
        feed(nmeaReply(c.line));
        EXPECT_EQ(iGpsDbGetDiffType(0), c.type) << c.line;
    }
    EXPECT_TRUE(requests().empty());
    expectTicks(true, true);
}

TEST_F(NmeaParseTest, AutoIsTakenOnlyFromUnknownAndRefinedBySubscription)
{
    feed(nmeaReply("$>JSHOW,DIFF,AUTO"));
    EXPECT_EQ(iGpsDbGetDiffType(0), 8);  // AUTO_NOSUB
    EXPECT_EQ(requests(), std::vector<int>{NMEA_PARSE_CMD_DIFF_NOSUB});

    feed(nmeaReply("$>JK,31/12/2024,2"));
    EXPECT_EQ(iGpsDbGetDiffType(0), 6);  // AUTO
    EXPECT_EQ(iGpsDbGetSubscriptionMask(0), 2);

    feed(nmeaReply("$>JSHOW,DIFF,AUTO"));
    EXPECT_EQ(iGpsDbGetDiffType(0), 6);
    EXPECT_TRUE(requests().empty());
    feed(nmeaReply("$>JSHOW,DIFF,RTK"));
    EXPECT_EQ(iGpsDbGetDiffType(0), 6);
    EXPECT_TRUE(requests().empty());
}

TEST_F(NmeaParseTest, SubscriptionMaskRefinesAutoAndRtk)
{
    struct Case {
        const char* diff;
        const char* mask;
        int type;
        const char* name;
    };
    const Case cases[] = {
        {"AUTO", "2", 6, "AUTO"}, {"AUTO", "8", 7, "AUTO_NA"}, {"AUTO", "A", 6, "AUTO"},
        {"AUTO", "1", 8, "AUTO_NOSUB"}, {"RTK", "4", 9, "RTK"}, {"RTK", "2", 10, "RTK_NOSUB"},
        {"WAAS", "F", 5, "WAAS"},
    };
    for (const Case& c : cases) {
        feed(nmeaReply("$>JSHOW,DIFF,NONE"));
        feed(nmeaReply(std::string("$>JSHOW,DIFF,") + c.diff));
        feed(nmeaReply(std::string("$>JK,31/12/2024,") + c.mask));
        EXPECT_EQ(iGpsDbGetDiffType(0), c.type) << c.diff << " " << c.mask;
        EXPECT_STREQ(szGpsDbGetDiffTypeString(0), c.name) << c.diff << " " << c.mask;
    }
    // RTK from unknown posts the request too.
    EXPECT_EQ(requests(), (std::vector<int>{1, 1, 1, 1, 1, 1}));
}

TEST_F(NmeaParseTest, SubscriptionMaskNeedsItsFieldAndKeeps16Bits)
{
    feed(nmeaReply("$>JK,31/12/2024,1FFFF"));
    EXPECT_EQ(iGpsDbGetSubscriptionMask(0), 0xFFFF);
    feed(nmeaReply("$>JK,31/12/2024"));
    EXPECT_EQ(iGpsDbGetSubscriptionMask(0), 0xFFFF);
    expectTicks(true, true);
}

TEST_F(NmeaParseTest, JshowBinSetsPositionsPerSecondForMessage1OnThisPort)
{
    struct Case {
        const char* line;
        int rate;
    };
    const Case cases[] = {
        {"$>JSHOW,BIN,1,10.0", 10},
        {"$>JSHOW,BIN,1,5.0,PORTB", 10},  // another port
        {"$>JSHOW,BIN,2,5.0", 10},        // another message
        {"$>JSHOW,BIN,1", 10},            // no rate
        {"$>JSHOW,BIN,1,0.2", 0},
        {"$>JSHOW,BIN,1,20", 20},
    };
    for (const Case& c : cases) {
        feed(nmeaReply(c.line));
        EXPECT_EQ(wGpsDbGetPosPerSec(0), c.rate) << c.line;
    }
}

TEST_F(NmeaParseTest, OtherJshowLinesOnlyTick)
{
    feed(nmeaReply("$>JSHOW,BAUD,19200") + nmeaReply("$>JSHOW,ASC,GPGGA,1.0") + nmeaReply("$>JSHOW,ALT,NEVER") +
         nmeaReply("$>JSHOW,MASK,5"));
    expectTicks(true, true);
    EXPECT_EQ(iGpsDbGetDiffType(0), 0);
    EXPECT_EQ(wGpsDbGetPosPerSec(0), 0);
}

// ---- identity replies ---------------------------------------------------------------

TEST_F(NmeaParseTest, JappStoresNamesBySlot)
{
    feed(nmeaReply("$>JAPP,WAAS,RTK,1,2"));
    EXPECT_STREQ(szGpsDbGetApp1(0), "WAAS");
    EXPECT_STREQ(szGpsDbGetApp2(0), "RTK");
    EXPECT_EQ(iGpsDbGetThisApp(0), 1);

    feed(nmeaReply("$>JAPP,RTK,WAAS,2,1"));
    EXPECT_STREQ(szGpsDbGetApp1(0), "WAAS");
    EXPECT_STREQ(szGpsDbGetApp2(0), "RTK");
    EXPECT_EQ(iGpsDbGetThisApp(0), 2);

    feed(nmeaReply("$>JAPP,AAA,BBB,3,1"));  // no such slot
    feed(nmeaReply("$>JAPP,AAA,BBB,1"));    // too short
    EXPECT_STREQ(szGpsDbGetApp1(0), "WAAS");
    EXPECT_EQ(iGpsDbGetThisApp(0), 2);
    expectTicks(false, false);
}

TEST_F(NmeaParseTest, JappNameTooLongForItsFieldIsNotTaken)
{
    const std::string longest(GPS_DB_APP_NAME_LEN - 1, 'A');
    const std::string tooLong(GPS_DB_APP_NAME_LEN, 'B');
    feed(nmeaReply("$>JAPP," + longest + "," + tooLong + ",1,2"));
    EXPECT_EQ(szGpsDbGetApp1(0), longest);
    EXPECT_STREQ(szGpsDbGetApp2(0), "Unknown");
    EXPECT_EQ(iGpsDbGetThisApp(0), 1);
    feed(nmeaReply("$>JAPP," + std::string(100, 'C') + ",RTK,1,2"));
    EXPECT_EQ(szGpsDbGetApp1(0), longest);
    EXPECT_STREQ(szGpsDbGetApp2(0), "RTK");
}

TEST_F(NmeaParseTest, JiTakesSerialNumberAndVersionThatFit)
{
    feed(nmeaReply("$>JI,311052,1,3,10092013,01/01/1900,01/01/3000,6.2Ab04,10"));
    EXPECT_STREQ(szGpsDbGetSerialNumber(0), "311052");
    EXPECT_STREQ(szGpsDbGetApplicationVersion(0), "6.2Ab04");
    expectTicks(true, true);

    // 8 characters do not fit the copy; the rest of the line is still used.
    feed(nmeaReply("$>JI,31105299,1,3,10092013,01/01/1900,01/01/3000,6.3,10"));
    EXPECT_STREQ(szGpsDbGetSerialNumber(0), "311052");
    EXPECT_STREQ(szGpsDbGetApplicationVersion(0), "6.3");

    feed(nmeaReply("$>JI,1234567,1,3,10092013,01/01/1900,01/01/3000,6.4"));  // 8 tokens
    EXPECT_STREQ(szGpsDbGetSerialNumber(0), "311052");
    EXPECT_STREQ(szGpsDbGetApplicationVersion(0), "6.3");
}

TEST_F(NmeaParseTest, JtTakesReceiverNameShorterThan16)
{
    feed(nmeaReply("$>JT,ABCDEFGHIJKLMNO"));
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "ABCDEFGHIJKLMNO");
    feed(nmeaReply("$>JT,ABCDEFGHIJKLMNOP"));
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "ABCDEFGHIJKLMNO");
    feed(nmeaReply("$>JT"));
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "ABCDEFGHIJKLMNO");
    expectTicks(true, true);
}

TEST_F(NmeaParseTest, Rd1TakesBitErrorTextFromTwelveFields)
{
    feed(nmeaReply("$RD1,43852,1723,1557.8450,1,0.000,9,1,0,0,12,0,0"));
    EXPECT_STREQ(szGpsDbGetBER(0), "0.000");
    expectTicks(true, true);
    feed(nmeaReply("$RD1,43852,1723,1557.8450,1,0.125,9,1,0,0,12,0"));  // 11 fields
    EXPECT_STREQ(szGpsDbGetBER(0), "0.000");
    feed(nmeaReply("$RD1,43852,1723,1557.8450,1,0123456789ABCDEF,9,1,0,0,12,0,0"));
    EXPECT_STREQ(szGpsDbGetBER(0), "0.000");
}

TEST_F(NmeaParseTest, JomsTakesExpiryThatFits)
{
    feed(nmeaReply("$>JOMS,OMNISTAR,VBS,1,2,1557.8450,31/12/2024"));
    EXPECT_STREQ(szGpsDbGetVBSexpire(0), "31/12/2024");
    feed(nmeaReply("$>JOMS,OMNISTAR,VBS,1,2,1557.8450"));
    EXPECT_STREQ(szGpsDbGetVBSexpire(0), "31/12/2024");
    feed(nmeaReply("$>JOMS,OMNISTAR,VBS,1,2,1557.8450," + std::string(GPS_DB_VBS_EXPIRE_LEN, '9')));
    EXPECT_STREQ(szGpsDbGetVBSexpire(0), "31/12/2024");
    expectTicks(false, false);
}

// ---- other replies ----------------------------------------------------------------

TEST_F(NmeaParseTest, JrtkAcknowledgementPostsARequest)
{
    feed(nmeaReply("$>JRTK,10,FAIL") + nmeaReply("$>JRTK,10") + nmeaReply("$>JRTK,10,OK,1,2,3,4,5,6,7,8,9"));
    EXPECT_TRUE(requests().empty());
    expectTicks(false, true);
    feed(nmeaReply("$>JRTK,10,OK"));
    EXPECT_EQ(requests(), std::vector<int>{NMEA_PARSE_CMD_RTK_OK});
}

TEST_F(NmeaParseTest, RequestQueueDropsCodesWhenFull)
{
    for (int i = 0; i < NMEA_PARSE_CMD_QUEUE + 5; ++i) feed(nmeaReply("$>JRTK,10,OK"));
    EXPECT_EQ(requests().size(), static_cast<std::size_t>(NMEA_PARSE_CMD_QUEUE));
}

TEST_F(NmeaParseTest, WaasPrnReplyNamesTheSbasSystem)
{
    feed(nmeaReply("$>JWAASPRN,122,134"));
    EXPECT_STREQ(szNmeaParseGetSbasSystem(), "WAAS");
    feed(nmeaReply("$>JWAASPRN,120"));  // fewer than 3 tokens
    EXPECT_STREQ(szNmeaParseGetSbasSystem(), "WAAS");
    feed(nmeaReply("$>JWAASPRN,126,120"));
    EXPECT_STREQ(szNmeaParseGetSbasSystem(), "EGNOS");
    feed(nmeaReply("$>JWAASPRN,135,138"));
    EXPECT_STREQ(szNmeaParseGetSbasSystem(), "EGNOS");
    expectTicks(false, false);
}

// ---- NMEA sentences ----------------------------------------------------------------

TEST_F(NmeaParseTest, VtgSetsSpeedAndCourse)
{
    constexpr double kKnotsToMs = 1852.0 / 3600.0;
    // Each line in turn; a line that changes nothing leaves the values of the
    // line before. The speed is stored before the course, which is taken only
    // at or above the cut-off speed (0.24704 m/s) of this sentence.
    struct Case {
        std::string line;
        double speed;
        double course;
    };
    const Case cases[] = {
        {nmeaSentence("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"), 10.2 * kKmhToMs, 54.7},
        {"$GPVTG,,T,,M,,N,,K,N*2C\r\n", 10.2 * kKmhToMs, 54.7},                // mode N: not valid
        {"$GPVTG,3.0,T,,,0.50,N,,,D*16\r\n", 0.50 * kKnotsToMs, 3.0},           // no km/h: the knots
        {nmeaSentence("$GPVTG,099.0,T,034.4,M,0.10,N,0.19,K,A"), 0.19 * kKmhToMs, 3.0},  // below the cut-off
        {"$GPVTG,133.96,T,,,1.93,N,3.57,K,A*74\r\n", 3.57 * kKmhToMs, 133.96},  // first moving epoch
        {nmeaSentence("$GPVTG,054.7,T,034.4,M,005.5,N"), 5.5 * kKnotsToMs, 54.7},  // "*hh" is not the km/h
        {nmeaSentence("$GPVTG,,T,,M,,N,,K"), 5.5 * kKnotsToMs, 54.7},             // no speed at all
        {nmeaSentence("$GPVTG,099.0,T,,M,,N,nan,K,A"), 5.5 * kKnotsToMs, 54.7},
        {nmeaSentence("$GPVTG,099.0,T,,M,,N,1e999,K,A"), 5.5 * kKnotsToMs, 54.7},
        {nmeaSentence("$GPVTG,099.0,T,,M,,N,-3.0,K,A"), 5.5 * kKnotsToMs, 54.7},
        {nmeaSentence("$GPVTG,099.0,T,,M,-1.0,N,,K,A"), 5.5 * kKnotsToMs, 54.7},
        {nmeaSentence("$GPVTG,099.0,T,,M,,N,3700,K,A"), 5.5 * kKnotsToMs, 54.7},  // above 1000 m/s
        {nmeaSentence("$GPVTG,361.0,T,,M,,N,36.0,K,A"), 10.0, 54.7},              // course refused, speed kept
        {nmeaSentence("$GPVTG,nan,T,,M,,N,36.0,K,A"), 10.0, 54.7},
        {nmeaSentenceBadChecksum("$GPVTG,099.0,T,034.4,M,005.5,N,072.0,K,A"), 10.0, 54.7},
        {nmeaReply("$GPVTG,099.0,T,034.4,M,005.5,N,072.0,K,A"), 10.0, 54.7},     // no checksum: cut short
        {nmeaSentence("$GNVTG,099.0,T,034.4,M,005.5,N,072.0,K,A"), 20.0, 99.0},  // any GNSS talker
        {nmeaSentence("$HEVTG,100.0,T,034.4,M,005.5,N,036.0,K,A"), 20.0, 99.0},  // not a GNSS talker
    };
    for (const Case& c : cases) {
        feed(c.line);
        EXPECT_NEAR(dGpsDbGetVelocity(0), c.speed, 1e-9) << c.line;
        EXPECT_NEAR(dGpsDbGetCourse(0), c.course, 1e-9) << c.line;
    }
    expectTicks(false, true);
}

TEST_F(NmeaParseTest, GstOnlyTicks)
{
    feed(nmeaSentence("$GPGST,123519.00,0.82,1.2,0.9,37.0,1.0,0.9,2.1"));
    expectTicks(true, true);
}

TEST_F(NmeaParseTest, GsvFillsFourChannelsPerMessageAndTheShortLastOne)
{
    // A cycle of three messages for 11 satellites; the last one has three
    // blocks, the last of them without SNR (not tracked).
    feed(nmeaSentence("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00") +
         nmeaSentence("$GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00") +
         nmeaSentence("$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,"));
    struct Expected {
        int sv, elevation, azimuth;
        double snr;
    };
    const Expected expected[] = {
        {3, 3, 111, 0},   {4, 15, 270, 0},  {6, 1, 10, 0},    {13, 6, 292, 0},
        {14, 25, 170, 0}, {16, 57, 208, 39}, {18, 67, 296, 40}, {19, 40, 246, 0},
        {22, 42, 67, 42}, {24, 14, 311, 43}, {27, 5, 244, 0},   {0, 0, 0, 0},
    };
    for (int channel = 0; channel < GPS_DB_CHANNELS; ++channel) {
        const Expected& e = expected[channel];
        EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, channel), e.sv) << channel;
        EXPECT_EQ(GpsDbGetGPSChannelDataElevation(0, channel), e.elevation) << channel;
        EXPECT_EQ(GpsDbGetGPSChannelDataHalfAzimuth(0, channel), e.azimuth) << channel;
        EXPECT_DOUBLE_EQ(GpsDbGetGPSChannelDataSNR(0, channel), e.snr) << channel;
    }
    expectTicks(false, true);
}

TEST_F(NmeaParseTest, GsvThatIsCorruptOrOutOfRangeChangesNothing)
{
    const std::string block = ",14,25,170,42";
    const std::string lines[] = {
        nmeaSentenceBadChecksum("$GPGSV,3,1,11" + block + block + block + block),
        nmeaSentence("$GPGSV,4,1431655767,16" + block + block + block + block),  // overflows * 3 or * 4
        nmeaSentence("$GPGSV,4,4,16" + block + block + block + block),           // channels 12 to 15
        nmeaSentence("$GPGSV,4,0,16" + block),
        nmeaSentence("$GPGSV,4,-1,16" + block),
        nmeaSentence("$GPGSV,3,x,11" + block),
        nmeaSentence("$GPGSV,3,1,11,14,25,99999,42"),                               // azimuth
        nmeaSentence("$GPGSV,3,1,11,14,-200,170,42"),                               // elevation
        nmeaSentence("$GPGSV,3,1,11,14,25,170,nan"),                                // SNR
        nmeaSentence("$GPGSV,3,1,11,14,25,170,100"),
        nmeaSentence("$GPGSV,3,1,11,256,25,170,42"),                                // satellite number
        nmeaSentence("$GPGSV,3,1,11,,25,170,42"),
    };
    for (const std::string& line : lines) {
        feed(line);
        for (int channel = 0; channel < GPS_DB_CHANNELS; ++channel)
            ASSERT_EQ(GpsDbGetGPSChannelDataSV(0, channel), 0) << line << " channel " << channel;
    }
    // One block out of range does not cost the others.
    feed(nmeaSentence("$GPGSV,1,1,02,15,25,99999,42" + block));
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 0), 14);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 1), 0);
}

TEST_F(NmeaParseTest, AlmanacFillsTheRecordOfItsPrn)
{
    feed(nmeaSentence("$GPALM,1,1,15,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,D8CBE1,0A4,FFF"));
    const _GPS_DB_ALMANAC* a = GpsDbGetAlmanac(0, 14);
    ASSERT_NE(a, nullptr);
    const double pi = 3.141592653589793;
    EXPECT_EQ(a->wWeek, 1159);
    EXPECT_EQ(a->wHealth, 0);
    EXPECT_DOUBLE_EQ(a->dEccentricity, 0x441D * std::ldexp(1.0, -21));
    EXPECT_DOUBLE_EQ(a->dRefTime, 0x4E * 4096.0);
    EXPECT_DOUBLE_EQ(a->dInclination, 0x16BE * std::ldexp(1.0, -19) * pi);
    EXPECT_DOUBLE_EQ(a->dRateRightAsc, -674 * std::ldexp(1.0, -38) * pi);
    EXPECT_DOUBLE_EQ(a->dSemiMajorAxis, std::pow(0xA10C9F * std::ldexp(1.0, -11), 2));
    EXPECT_DOUBLE_EQ(a->dArgPerigee, 0x4A2DA4 * std::ldexp(1.0, -23) * pi);
    EXPECT_DOUBLE_EQ(a->dLongAscNode, 0x686E81 * std::ldexp(1.0, -23) * pi);
    EXPECT_DOUBLE_EQ(a->dMeanAnomaly, static_cast<int32_t>(0xFFD8CBE1) * std::ldexp(1.0, -23) * pi);
    EXPECT_DOUBLE_EQ(a->dAf0, 0xA4 * std::ldexp(1.0, -20));
    EXPECT_DOUBLE_EQ(a->dAf1, -1 * std::ldexp(1.0, -38));
    EXPECT_NEAR(std::sqrt(a->dSemiMajorAxis), 5153.6, 0.1);  // a GPS orbit
    expectTicks(false, true);
}

TEST_F(NmeaParseTest, AlmanacOutsidePrn1To32OrShortChangesNothing)
{
    for (const char* prn : {"0", "33"}) {
        feed(nmeaSentence(std::string("$GPALM,1,1,") + prn + ",1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4,001"));
    }
    // Without its checksum, or with a wrong one, or one field short.
    feed(nmeaReply("$GPALM,1,1,1,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4,001"));
    feed(nmeaSentenceBadChecksum("$GPALM,1,1,1,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4,001"));
    feed(nmeaSentence("$GPALM,1,1,1,1159,00,441D,4E,16BE,FD5E,A10C9F,4A2DA4,686E81,58CBE1,0A4"));
    for (int i = 0; i < GPS_DB_ALMANACS; ++i) EXPECT_EQ(GpsDbGetAlmanac(0, i)->wWeek, 0) << i;
}

TEST_F(NmeaParseTest, RateOfTurnNeedsValidFlagAndChecksum)
{
    struct Case {
        std::string line;
        float rate;
    };
    const Case cases[] = {
        {nmeaSentence("$HEROT,12.5,A"), 12.5f},
        {nmeaSentenceBadChecksum("$HEROT,-3.25,A"), 12.5f},  // corrupt: the good value stays
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,12.5,V"), 100.0f},
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,,A"), 100.0f},
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaReply("$HEROT,12.5,A"), -3.25f},  // no checksum: cut short
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,nan,A"), 100.0f},
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,1e999,A"), 100.0f},
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,1e300,A"), 100.0f},  // no float holds it
        {nmeaSentence("$HEROT,-3.25,A"), -3.25f},
        {nmeaSentence("$HEROT,12.5"), 100.0f},     // the checksum digits are no flag
    };
    for (const Case& c : cases) {
        feed(c.line);
        EXPECT_EQ(GpsDbGetRateOfTurn(0), c.rate) << c.line;
    }
}

TEST_F(NmeaParseTest, AttitudeTakesEachAngleThatIsThere)
{
    feed(nmeaSentence("$PVRN,HPR,123519.00,271.50,-1.20,0.80"));
    EXPECT_EQ(GpsDbGetYaw(0), 271.5f);
    EXPECT_EQ(GpsDbGetPitch(0), -1.2f);
    EXPECT_EQ(GpsDbGetRoll(0), 0.8f);

    feed(nmeaSentence("$PVRN,HPR,123520.00,272.00,,0.90"));
    EXPECT_EQ(GpsDbGetYaw(0), 272.0f);
    EXPECT_EQ(GpsDbGetPitch(0), 100.0f);
    EXPECT_EQ(GpsDbGetRoll(0), 0.9f);

    feed(nmeaSentence("$PVRN,XYZ,123521.00,1.0,2.0,3.0"));
    EXPECT_EQ(GpsDbGetYaw(0), 272.0f);

    feed(nmeaSentenceBadChecksum("$PVRN,HPR,123522.00,273.00,1.00,1.00"));  // corrupt: the good values stay
    EXPECT_EQ(GpsDbGetYaw(0), 272.0f);
    EXPECT_EQ(GpsDbGetPitch(0), 100.0f);
    EXPECT_EQ(GpsDbGetRoll(0), 0.9f);

    feed(nmeaSentence("$PVRN,HPR,123523.00,inf,-91.0,1e999"));
    EXPECT_EQ(GpsDbGetYaw(0), 100.0f);
    EXPECT_EQ(GpsDbGetPitch(0), 100.0f);
    EXPECT_EQ(GpsDbGetRoll(0), 100.0f);
}

TEST_F(NmeaParseTest, VariationIsNegativeToTheWest)
{
    struct Case {
        std::string line;
        float variation;
    };
    const Case cases[] = {
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), -13.9f},
        {nmeaSentence("$HEHDG,238.8,,,13.9,E"), 13.9f},
        {nmeaSentenceBadChecksum("$HEHDG,238.8,,,14.9,W"), 13.9f},  // corrupt: the good value stays
        {nmeaSentence("$HEHDG,238.8,,,,E"), 100.0f},
        {nmeaSentence("$HEHDG,238.8,,,,W"), 100.0f},  // missing to the west is missing all the same
        {nmeaSentence("$SDHDG,238.8,,,2.5,W"), -2.5f},  // any heading talker
        {nmeaReply("$HEHDG,238.8,,,3.0,E"), -2.5f},    // no checksum: cut short
        {nmeaSentence("$HEHDG,238.8,,,200.0,W"), 100.0f},
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), -13.9f},
        {nmeaSentence("$HEHDG,238.8"), 100.0f},
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), -13.9f},
        {"$HEHDG,238.8,,*45\r\n", 100.0f},  // "45" is the checksum, not a variation
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), -13.9f},
        {nmeaSentence("$HEHDG,238.8,,,nan,E"), 100.0f},
        {nmeaSentence("$HEHDG,238.8,,,13.9,W"), -13.9f},
        {nmeaSentence("$HEHDG,238.8,,,200.0,E"), 100.0f},
    };
    for (const Case& c : cases) {
        feed(c.line);
        EXPECT_EQ(GpsDbGetVariation(0), c.variation) << c.line;
    }
}

// ---- satellites of every talker -------------------------------------------------

// (gnssid, svid, PRN) of every satellite in the view, in order.
std::vector<std::vector<int>> view()
{
    std::vector<std::vector<int>> satellites;
    for (int i = 0; i < iGpsDbGetSatelliteCount(0); ++i) {
        const _GPS_DB_SATELLITE* s = pGpsDbGetSatellite(0, i);
        satellites.push_back({s->byGnssId, s->bySvid, s->wPrn});
    }
    return satellites;
}

TEST_F(NmeaParseTest, GsvOfEveryTalkerNamesItsConstellation)
{
    struct Case {
        const char* sentence;
        std::vector<int> satellite;  // gnssid, svid, PRN
    };
    const Case cases[] = {
        {"$GPGSV,1,1,01,07,05,097,30", {0, 7, 7}},      {"$GPGSV,1,1,01,36,19,156,51", {1, 123, 36}},
        {"$GPGSV,1,1,01,193,40,100,", {5, 1, 193}},     {"$GLGSV,1,1,01,66,37,078,27", {6, 2, 66}},
        {"$GAGSV,1,1,01,04,52,298,,7", {2, 4, 304}},    {"$GBGSV,1,1,01,05,27,090,", {3, 5, 405}},
        {"$BDGSV,1,1,01,214,19,016,", {3, 14, 414}},    {"$PQGSV,1,1,01,02,20,116,,0,4", {3, 2, 402}},
        {"$QZGSV,1,1,01,01,60,100,40", {5, 1, 193}},    {"$GQGSV,1,1,01,02,60,100,40", {5, 2, 194}},
        {"$GIGSV,1,1,01,03,30,200,35", {7, 3, 3}},      {"$GNGSV,1,1,01,301,30,200,35", {2, 1, 301}},
    };
    for (const Case& c : cases) {
        GpsDbInit(0, false);
        feed(nmeaSentence(c.sentence));
        EXPECT_EQ(view(), (std::vector<std::vector<int>>{c.satellite})) << c.sentence;
    }
}

TEST_F(NmeaParseTest, GsvCycleReplacesItsTalkersSatellitesOnly)
{
    feed(nmeaSentence("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00") +
         nmeaSentence("$GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00") +
         nmeaSentence("$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,") +
         nmeaSentence("$GLGSV,1,1,02,66,37,078,27,67,62,349,26"));
    EXPECT_EQ(iGpsDbGetSatelliteCount(0), 13);
    // Satellites that have set leave with the next cycle, and their channels with them.
    feed(nmeaSentence("$GPGSV,1,1,02,22,42,067,42,24,14,311,43"));
    EXPECT_EQ(view(), (std::vector<std::vector<int>>{{6, 2, 66}, {6, 3, 67}, {0, 22, 22}, {0, 24, 24}}));
    for (int channel = 2; channel < GPS_DB_CHANNELS; ++channel) EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, channel), 0) << channel;
    EXPECT_EQ(GpsDbGetGLONASSChannelDataSV(0, 1), 67);
}

// NMEA 4.10 ends a GSV message with the signal ID: not a satellite.
TEST_F(NmeaParseTest, GsvSignalIdIsNoSatellite)
{
    feed(nmeaSentence("$GPGSV,2,1,06,14,49,042,20,19,34,153,22,30,34,085,24,05,16,232,,1") +
         nmeaSentence("$GPGSV,2,2,06,07,05,097,,13,80,264,,1"));
    EXPECT_EQ(iGpsDbGetSatelliteCount(0), 6);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 5), 13);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 6), 0);
}

TEST_F(NmeaParseTest, GsvCycleNotWholeChangesNothing)
{
    feed(nmeaSentence("$GPGSV,1,1,01,07,05,097,30"));
    const std::string lines[] = {
        nmeaReply("$GPGSV,1,1,01,25,32,097"),                                        // cut short: no checksum
        nmeaSentence("$GPGSV,2,2,05,25,32,097,40"),                                  // its message 1 missed
        nmeaSentence("$GPGSV,2,1,05,25,32,097,40") + nmeaSentence("$GPGSV,3,2,05,26,32,097,40"),  // another cycle's
        nmeaSentence("$GPGSV,2,1,05,25,32,097,40") + nmeaSentence("$GPGSV,2,2,05,27,32,097,40,1"),  // another signal's
        nmeaSentence("$GPGSV,2,1,05,25,32,097,40") + nmeaSentence("$GLGSV,2,1,05,66,37,078,27") +
            nmeaSentence("$GPGSV,2,2,05,27,32,097,40"),                                            // interrupted
    };
    for (const std::string& line : lines) {
        feed(line);
        EXPECT_EQ(view(), (std::vector<std::vector<int>>{{0, 7, 7}})) << line;
        EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 0), 7) << line;
    }
}

TEST_F(NmeaParseTest, GsaMarksTheSatellitesOfItsSystemUsed)
{
    feed(nmeaSentence("$GNGSA,A,3,68,69,,,,,,,,,,,1.5,1.3,1.0,2") + nmeaSentence("$GNGSA,A,3,04,05,,,,,,,,,,,1.5,1.3,1.0,3") +
         nmeaSentence("$GNGSA,A,3,11,,,,,,,,,,,,1.5,1.3,1.0"));
    EXPECT_TRUE(bGpsDbSatelliteUsed(0, 6, 4));   // GLONASS 68
    EXPECT_TRUE(bGpsDbSatelliteUsed(0, 2, 5));   // Galileo 5
    EXPECT_TRUE(bGpsDbSatelliteUsed(0, 0, 11));  // GPS 11, by its number
    EXPECT_FALSE(bGpsDbSatelliteUsed(0, 0, 4));
    EXPECT_FLOAT_EQ(fGpsDbGetPdop(0), 1.5f);
    EXPECT_FLOAT_EQ(fGpsDbGetVdop(0), 1.0f);
}

// ---- positions from NMEA ---------------------------------------------------------

TEST_F(NmeaParseTest, PositionsFromTheSentencesOfAnEpoch)
{
    // A fix has its time once a ZDA or RMC has given the date.
    const std::string gga = "$GPGGA,213120.000,4404.1295864,N,12118.8685453,W,1,07,1.2,1102.537,M,-20.300,M,,";
    feed(nmeaSentence(gga));
    EXPECT_EQ(TpvReportLine(0, nullptr).find("time"), std::string::npos);
    feed(nmeaSentence("$GPZDA,213120.000,07,04,2016,00,00") + nmeaSentence(gga));
    EXPECT_NE(TpvReportLine(0, nullptr).find("\"time\":\"2016-04-07T21:31:20.000Z\""), std::string::npos);

    feed(nmeaSentence("$GPRMC,213121.000,A,4404.1295864,N,12118.8685453,W,005.0,122.7,070416,,,D") +
         nmeaSentence("$GPGGA,213121.000,4404.1295864,N,12118.8685453,W,2,07,1.2,1102.537,M,-20.300,M,1.5,0000"));
    EXPECT_NEAR(dGpsDbGetRawLat(0), 44.06882644, 1e-9);
    EXPECT_NEAR(dGpsDbGetRawLon(0), -121.314475755, 1e-9);
    const std::string tpv = TpvReportLine(0, nullptr);
    for (const char* field : {"\"mode\":3,\"status\":2,\"time\":\"2016-04-07T21:31:21.000Z\"", "\"alt\":1102.537",
                              "\"track\":122.7", "\"speed\":2.572", "\"dgpsAge\":1.5"})
        EXPECT_NE(tpv.find(field), std::string::npos) << field << " in " << tpv;
    EXPECT_EQ(tpv.find("climb"), std::string::npos) << tpv;
    EXPECT_EQ(iGpsDbGetNumSats(0), 7);

    // Three satellites give a 2D fix; a sentence without a fix gives none.
    feed(nmeaSentence("$GNGGA,213122.000,4404.1296266,N,12118.8685655,W,1,03,1.2,1102.396,M,-20.300,M,,"));
    EXPECT_EQ(iGpsDbGetGpsStatus(0), 1);
    feed(nmeaSentence("$GNGLL,4404.1296473,N,12118.8685846,W,213123.000,V,N"));
    EXPECT_EQ(iGpsDbGetGpsStatus(0), 0);
    EXPECT_NEAR(dGpsDbGetRawLat(0), 44.06882711, 1e-8);
}

TEST_F(NmeaParseTest, PositionsFromNmeaOnlyWhileMessage1IsQuiet)
{
    GnssProto::Bin1 m;
    m.week = 2000;
    m.lat = 10.0;
    m.lon = 20.0;
    GnssFeed::bin(GnssProto::encodeBin1(m));
    const std::string gga = nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    feed(gga);
    EXPECT_EQ(dGpsDbGetRawLat(0), 10.0);
    TimerForTestOnlyFreeze(kNow + 2999);
    feed(gga);
    EXPECT_EQ(dGpsDbGetRawLat(0), 10.0);
    TimerForTestOnlyFreeze(kNow + 3000);
    feed(gga);
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 48.1173);
}

TEST_F(NmeaParseTest, UnknownNamesAreIgnored)
{
    EXPECT_EQ(feed(nmeaSentence("$GPXTE,A,A,0.67,L,N") +
                   nmeaReply("$>JX,1,2") + nmeaReply("$>JSHOWX,DIFF,WAAS") + nmeaReply("$")),
              4);
    expectTicks(false, true);  // the GPXTE: its checksum is right
    EXPECT_EQ(iGpsDbGetDiffType(0), 0);
}

} // namespace
