#include "gnssmon/TpvReport.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/SkyReport.h"
#include "gnssmon/QelParse.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace {

using nlohmann::json;

TEST(TpvReportTime, GpsWeekAndTimeOfWeekToUtc) {
    const struct {
        uint16_t week;
        double timeOfWeek;
        int gpsUtcDiff;
        const char* utc;
    } rows[] = {
        {2300, 345600.0, 18, "2024-02-07T23:59:42.000Z"},
        {2300, 10.0, 17, "2024-02-03T23:59:53.000Z"},    // the leap seconds reach back into the last week
        {2300, 59.9996, 18, "2024-02-04T00:00:42.000Z"}, // rounds up into the next second
        {2300, 59.1234, 18, "2024-02-04T00:00:41.123Z"},
        {276, 100.25, 18, "2004-12-05T00:01:22.250Z"},   // a 10-bit week: one rollover, as the program clock
    };
    for (const auto& r : rows) EXPECT_EQ(r.utc, TpvReportTime(r.week, r.timeOfWeek, r.gpsUtcDiff)) << r.week << " " << r.timeOfWeek;
}

class TpvReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        GpsDbInit(0, false);
        QelParseInit(0);
        GpsDbSetGPSWeek(0, 2300);
        GpsDbSetTimeOfWeek(0, 345600.0);
        GpsDbSetRawLat(0, 49.2741666667);
        GpsDbSetRawLon(0, -123.1207375);
        GpsDbSetAlt(0, static_cast<double>(70.123f));
        GpsDbSetVelocity(0, 12.0);
        GpsDbSetCourse(0, 45.0);
        GpsDbSetVerticalVelocity(0, static_cast<double>(-0.25f));
        GpsDbSetDgpsAge(0, 2.5);
        GpsDbSetNumSats(0, 9);
        GpsDbSetGpsStatus(0, 4);
    }
    static json report() { return json::parse(TpvReportLine(0, "/dev/ttyO1")); }
};

TEST_F(TpvReportTest, WholeFixWithTheNamesAndUnitsOfATpvObject) {
    const json expected = {
        {"class", "TPV"}, {"device", "/dev/ttyO1"}, {"mode", 3}, {"status", 2},
        {"time", "2024-02-07T23:59:42.000Z"}, {"lat", 49.274166667}, {"lon", -123.1207375},
        {"alt", 70.123}, {"track", 45.0}, {"speed", 12.0}, {"climb", -0.25}, {"dgpsAge", 2.5},
    };
    EXPECT_EQ(expected, report());
    const std::string line = TpvReportLine(0, "/dev/ttyO1");
    EXPECT_EQ(0u, line.find("{\"class\":\"TPV\",\"device\":\"/dev/ttyO1\",\"mode\":3,")) << line;
    EXPECT_EQ(std::string::npos, line.find('\n'));
}

// The receiver's navigation mode gives the fix's mode and status, and which
// fields a fix of that kind has.
TEST_F(TpvReportTest, NavigationModeGivesModeStatusAndFields) {
    const struct {
        int navMode;
        int mode;
        int status;  // 0: left out
        bool position, height, dgpsAge;
    } rows[] = {
        {0, 1, 0, false, false, false}, {1, 2, 1, true, false, false}, {2, 3, 1, true, true, false},
        {3, 2, 2, true, false, true},   {4, 3, 2, true, true, true},    {5, 3, 4, true, true, true},
        {6, 3, 3, true, true, true},    {7, 0, 0, false, false, false},
    };
    for (const auto& r : rows) {
        GpsDbSetGpsStatus(0, r.navMode);
        const json j = report();
        EXPECT_EQ(r.mode, j["mode"]) << r.navMode;
        EXPECT_EQ(r.status != 0, j.contains("status")) << r.navMode;
        if (r.status != 0) {
            EXPECT_EQ(r.status, j["status"]) << r.navMode;
        }
        for (const char* f : {"lat", "lon", "speed", "track"}) EXPECT_EQ(r.position, j.contains(f)) << r.navMode << f;
        for (const char* f : {"alt", "climb"}) EXPECT_EQ(r.height, j.contains(f)) << r.navMode << f;
        EXPECT_EQ(r.dgpsAge, j.contains("dgpsAge")) << r.navMode;
        EXPECT_TRUE(j.contains("time")) << r.navMode;
        EXPECT_FALSE(j.contains("uSat")) << r.navMode;  // the SKY report's
    }
}

TEST_F(TpvReportTest, UnknownValuesAreLeftOut) {
    GpsDbSetVelocity(0, 0.048);  // below the course cut-off: the speed stands, the track is not known
    GpsDbSetCourse(0, 300.0);
    EXPECT_FALSE(report().contains("track"));
    EXPECT_EQ(0.048, report()["speed"]);

    GpsDbSetRawLat(0, std::numeric_limits<double>::quiet_NaN());
    GpsDbSetAlt(0, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(report().contains("lat"));
    EXPECT_FALSE(report().contains("alt"));
    EXPECT_TRUE(report().contains("lon"));

    // Out of their ranges: not known either.
    GpsDbSetRawLat(0, 1e300);
    GpsDbSetRawLon(0, -180.5);
    GpsDbSetAlt(0, 1e300);
    GpsDbSetVelocity(0, -1.0);
    GpsDbSetDgpsAge(0, 1e300);
    for (const char* field : {"lat", "lon", "alt", "speed", "dgpsAge"}) EXPECT_FALSE(report().contains(field)) << field;

    GpsDbSetDgpsAge(0, std::numeric_limits<double>::quiet_NaN());  // never reported
    EXPECT_FALSE(report().contains("dgpsAge"));

    GpsDbInit(0, false);  // no message 1 yet: no week, no time
    EXPECT_FALSE(report().contains("time"));
}

TEST_F(TpvReportTest, LeapSecondsFromTheReceiverWhenItSentThem) {
    EXPECT_EQ("2024-02-07T23:59:42.000Z", report()["time"]);
    EXPECT_FALSE(report().contains("leapseconds"));  // not given: 18 assumed, not told
    pQelParseGetState(0)->wGpsUtcDiff = 19;
    EXPECT_EQ("2024-02-07T23:59:41.000Z", report()["time"]);
    EXPECT_EQ(19, report()["leapseconds"]);
}

int skyReports = 0;
void countSky(int, int report) { skyReports += report == GPS_DB_REPORT_SKY; }

TEST(SkyReport, EachSatelliteOnceWithWhatIsKnown) {
    GpsDbInit(0, false);
    QelParseInit(0);
    GpsDbSetReportCallback(countSky);
    const float unknown = std::numeric_limits<float>::quiet_NaN();
    const _GPS_DB_SATELLITE l1[] = {{66, 6, 2, 0, 37.0f, 78.0f, 27.0f}, {7, 0, 7, 0, 5.0f, 97.0f, unknown}};
    const _GPS_DB_SATELLITE l5[] = {{7, 0, 7, 0, 5.0f, 97.0f, 40.0f}};  // GPS 7 again, on another signal
    GpsDbReplaceSatellites(0, 1, l1, 2);
    GpsDbReplaceSatellites(0, 2, l5, 1);
    GpsDbSetReportCallback(nullptr);
    GpsDbSetUsedSatellitesFix(0, 1.0);
    GpsDbAddUsedSatellite(0, 6, 2);
    GpsDbSetHdop(0, 0.9f);
    GpsDbSetNumSats(0, 9);

    const json expected = {
        {"class", "SKY"}, {"device", "/dev/ttyO1"}, {"hdop", 0.9}, {"nSat", 2}, {"uSat", 9},
        {"satellites",
         {{{"PRN", 66}, {"gnssid", 6}, {"svid", 2}, {"el", 37.0}, {"az", 78.0}, {"ss", 27.0}, {"used", true}},
          {{"PRN", 7}, {"gnssid", 0}, {"svid", 7}, {"el", 5.0}, {"az", 97.0}, {"used", false}}}},
    };
    EXPECT_EQ(expected, json::parse(SkyReportLine(0, "/dev/ttyO1")));
    EXPECT_EQ(2, skyReports);

    // The next fix's used satellites replace the last fix's.
    GpsDbSetUsedSatellitesFix(0, 2.0);
    GpsDbAddUsedSatellite(0, 0, 7);
    const json sky = json::parse(SkyReportLine(0, nullptr));
    EXPECT_FALSE(sky["satellites"][0]["used"]);
    EXPECT_TRUE(sky["satellites"][1]["used"]);
    EXPECT_FALSE(sky.contains("device"));
}

} // namespace
