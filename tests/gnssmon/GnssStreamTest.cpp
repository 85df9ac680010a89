// Both parsers on one receiver stream, fed byte by byte as the receiver
// manager does: NMEA sentences, "$J" replies and "$BIN" frames interleaved.

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/TimeServices.h"
#include "tests/gnssmon/GnssFeed.h"
#include "tools/gnssproto/BinEncode.h"
#include "tools/gnssproto/NmeaEncode.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace GnssProto;

namespace {

constexpr uint32_t kNow = 99000;

std::vector<std::string> observed;
void observe(const char* line)
{
    observed.emplace_back(line);
}

class GnssStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TimerForTestOnlyFreeze(kNow);
        for (int i = 0; i < 4; ++i) {
            GpsDbInit(i, false);
            NmeaParseInit(i);
            QelParseInit(i);
        }
        PutTime(0.0);
        observed.clear();
        NmeaSetNmeaFoundCallback(observe);
    }
    void TearDown() override
    {
        NmeaSetNmeaFoundCallback(nullptr);
        TimerForTestOnlyThaw();
    }
};

Bin1 fix(double lat, double lon)
{
    Bin1 m;
    m.numSats = 8;
    m.week = 2250;
    m.timeOfWeek = 1000.0;
    m.lat = lat;
    m.lon = lon;
    m.velNorth = 1.0f;
    return m;
}

std::string text(const char* format, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST_F(GnssStreamTest, SentencesAndFramesInterleaved)
{
    Bin99 channels;
    channels.channels[0].sv = '$';       // a "$" in the binary data opens a text line
    channels.channels[3].sv = '\r';      // ... which a CR in the data closes
    channels.channels[5].sv = '$';       // this one stays open until the frame's CR LF
    channels.channels[7].sv = 17;
    const std::string stream = nmeaReply("$>JT,R320") + encodeBin1(fix(49.5, -123.25)) +
                               nmeaSentence("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") + encodeBin99(channels) +
                               nmeaSentence("$HEROT,12.5,A") + encodeBin2(Bin2{0, 0xFF, 18, 9, 14, 0}) +
                               nmeaSentence("$GPGSV,1,1,03,14,25,170,42,16,57,208,39,18,67,296,40,19,40,246,38");
    const GnssFeed::Counts counts = GnssFeed::both(stream);

    EXPECT_EQ(counts.frames, 3);
    EXPECT_STREQ(szGpsDbGetReceiverName(0), "R320");
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 49.5);
    EXPECT_NEAR(dGpsDbGetVelocity(0), 10.2 * 0.27777777778, 1e-9);
    EXPECT_EQ(GpsDbGetRateOfTurn(0), 12.5f);
    EXPECT_EQ(dwGpsDbGetSatsUsedMask(0), 0xFFu);
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 0), 14);  // from message 99, then from GPGSV,
    EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, 7), 0);   // whose cycle of four clears the rest
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(0), kNow);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), kNow);
    EXPECT_EQ(dwNmeaParseGetChrCnt(0), stream.size());
    EXPECT_EQ(dwQelParseGetChrCnt(0), stream.size());
    for (const std::string& line : observed) EXPECT_NE(line.rfind("$BIN", 0), 0u) << line;
    EXPECT_EQ(counts.lines, static_cast<int>(observed.size()));
}

TEST_F(GnssStreamTest, SplitAtEveryByteWithAnotherReceiverInBetween)
{
    const std::string mine = encodeBin1(fix(10.0, 20.0)) + nmeaSentence("$HEROT,-3.5,A");
    const std::string other = encodeBin1(fix(-30.0, -40.0)) + nmeaSentence("$HEROT,7.5,A");
    // Latitude 10 is 0x4024000000000000: its "$" opens a text line that the
    // frame's CR LF closes, so the observer sees two lines per pass.
    const int lines = GnssFeed::both(mine, 3).lines;
    ASSERT_EQ(lines, 2);
    for (std::size_t k = 1; k < mine.size(); ++k) {
        SetUp();
        const GnssFeed::Counts first = GnssFeed::both(mine.substr(0, k), 0);
        const GnssFeed::Counts between = GnssFeed::both(other, 1);
        const GnssFeed::Counts rest = GnssFeed::both(mine.substr(k), 0);

        EXPECT_EQ(first.frames + rest.frames, 1) << k;
        EXPECT_EQ(first.lines + rest.lines, lines) << k;
        EXPECT_EQ(between.frames, 1) << k;
        EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 10.0) << k;
        EXPECT_DOUBLE_EQ(dGpsDbGetRawLon(0), 20.0) << k;
        EXPECT_EQ(GpsDbGetRateOfTurn(0), -3.5f) << k;
        EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(1), -30.0) << k;
        EXPECT_EQ(GpsDbGetRateOfTurn(1), 7.5f) << k;
        TearDown();
    }
}

// ---- a long generated stream --------------------------------------------------------

// What the database should hold after the stream, kept alongside it.
struct Expected {
    double lat = 0, lon = 0, alt = 0, timeOfWeek = 0, stdev = -1.0;
    int numSats = 0, status = 0, ageOfDiff = 9999;
    uint16_t week = 0, utcDiffAtFix = 0, utcDiff = 0;
    double velocity = 0, rawCourse = 0;
    uint32_t tracked = 0, used = 0;
    float hdop = 0, vdop = 0;
    uint16_t sv1 = 0, sv2 = 0, posPerSec = 0;
    struct Channel {
        int sv = 0, elevation = 0, azimuth = 0;
        double snr = 0;
    };
    std::array<Channel, 12> channels{};
    float rateOfTurn = 100.0f, variation = 100.0f, yaw = 100.0f, pitch = 100.0f, roll = 100.0f;
    int frames = 0;
    std::vector<std::string> lines;
};

class StreamGenerator {
public:
    explicit StreamGenerator(unsigned seed) : rng(seed) {}

    std::string next(Expected& e)
    {
        switch (pick(0, 13)) {
        case 0: case 1: case 2: return bin1(e);
        case 3: return bin2(e);
        case 4: return bin99(e);
        case 5: return badFrame();
        case 6: return vtg(e);
        case 7: return gsv(e);
        case 8: return rot(e);
        case 9: return hdg(e);
        case 10: return pvrn(e);
        case 11: return jshowBin(e);
        case 12: return line(e, nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
        default: return garbage();
        }
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    double real(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng); }

    std::string line(Expected& e, const std::string& sentence)
    {
        e.lines.push_back(sentence.substr(0, sentence.size() - 2));
        return sentence;
    }

    std::string bin1(Expected& e)
    {
        Bin1 m;
        m.ageOfDiff = static_cast<uint8_t>(pick(0, 99));
        m.extAgeOfDiff = static_cast<uint16_t>(pick(0, 3) == 0 ? pick(100, 900) : 0);
        m.numSats = static_cast<uint8_t>(pick(0, 20));
        m.week = static_cast<uint16_t>(pick(2000, 2400));
        m.timeOfWeek = pick(0, 604799) + 0.25 * pick(0, 3);
        m.lat = real(-80, 80);
        m.lon = real(-180, 180);
        m.height = static_cast<float>(real(-50, 3000));
        switch (pick(0, 2)) {
        case 0: break;  // standing still
        case 1: m.velNorth = static_cast<float>(real(-0.3, 0.3)); m.velEast = static_cast<float>(real(-0.3, 0.3)); break;
        default: m.velNorth = static_cast<float>(real(-30, 30)); m.velEast = static_cast<float>(real(-30, 30)); break;
        }
        m.stdDev = static_cast<float>(real(0, 5));
        m.navMode = static_cast<uint8_t>(pick(0, 255));

        e.lat = m.lat;
        e.lon = m.lon;
        e.alt = m.height;
        e.numSats = m.numSats;
        e.week = m.week;
        e.timeOfWeek = m.timeOfWeek;
        e.utcDiffAtFix = e.utcDiff;
        const double north = m.velNorth, east = m.velEast;
        if (north == 0.0 && east == 0.0) {
            e.velocity = 0.0;
        } else {
            const double speed = std::sqrt(east * east + north * north);
            e.velocity = speed;  // measured, whether or not the course is taken
            if (e.status == 6 || speed >= 0.5) {
                e.rawCourse = std::atan2(east, north) * 360.0 / 6.283185307179586;
                if (e.rawCourse < 0) e.rawCourse += 360.0;
            }
        }
        e.ageOfDiff = m.extAgeOfDiff ? m.extAgeOfDiff : m.ageOfDiff;
        e.stdev = m.stdDev;
        e.status = m.navMode & 7;
        ++e.frames;
        return encodeBin1(m);
    }

    std::string bin2(Expected& e)
    {
        Bin2 m;
        m.trackedMask = static_cast<uint32_t>(rng());
        m.usedMask = m.trackedMask & static_cast<uint32_t>(rng());
        m.gpsUtcDiff = static_cast<uint16_t>(pick(17, 18));
        m.hdopX10 = static_cast<uint16_t>(pick(5, 99));
        m.vdopX10 = static_cast<uint16_t>(pick(5, 99));
        m.sbas = static_cast<uint16_t>(pick(0, 0x7FFF));
        e.tracked = m.trackedMask;
        e.used = m.usedMask;
        e.utcDiff = m.gpsUtcDiff;
        e.hdop = m.hdopX10 / 10.0f;
        e.vdop = m.vdopX10 / 10.0f;
        if (m.sbas & 1) e.sv1 = static_cast<uint16_t>(((m.sbas >> 5) & 0x1F) + 120);
        if (m.sbas & 2) e.sv2 = static_cast<uint16_t>(((m.sbas >> 10) & 0x1F) + 120);
        ++e.frames;
        return encodeBin2(m);
    }

    std::string bin99(Expected& e)
    {
        Bin99 m;
        for (int i = 0; i < 12; ++i) {
            Bin99Channel& c = m.channels[i];
            c.sv = static_cast<uint8_t>(pick(0, 255));
            c.elevation = static_cast<int8_t>(pick(-10, 90));
            c.halfAzimuth = static_cast<uint8_t>(pick(0, 179));
            c.level = static_cast<uint16_t>(pick(0, 3) == 0 ? 0 : pick(1, 20000));
            e.channels[i] = {c.sv, c.elevation, 2 * c.halfAzimuth,
                             c.level ? 10.0 * std::log10(c.level * 4096.0 / 80000.0) : 0.0};
        }
        ++e.frames;
        return encodeBin99(m);
    }

    std::string badFrame()
    {
        Bin1 m;
        m.lat = 1.0;
        m.numSats = 99;
        const std::string data = encodeBin1(m).substr(8, kBin1Length);
        return binFrameWithChecksum(1, data, static_cast<uint16_t>(binChecksum(data) ^ (1u << pick(0, 15))));
    }

    std::string vtg(Expected& e)
    {
        const std::string kmh = text("%.1f", real(0, 120));
        e.velocity = std::atof(kmh.c_str()) * 0.27777777778;
        return line(e, nmeaSentence("$GPVTG," + text("%.1f", real(0, 359)) + ",T,034.4,M,005.5,N," + kmh + ",K"));
    }

    // A whole cycle of up to 12 satellites: it replaces the channel table.
    std::string gsv(Expected& e)
    {
        const int count = pick(0, 12);
        const int messages = count == 0 ? 1 : (count + 3) / 4;
        std::string lines;
        for (int channel = 0; channel < 12; ++channel) e.channels[channel] = {};
        for (int message = 1; message <= messages; ++message) {
            std::string body = "$GPGSV," + std::to_string(messages) + "," + std::to_string(message) + "," +
                               std::to_string(count);
            for (int channel = (message - 1) * 4; channel < count && channel < message * 4; ++channel) {
                const int sv = pick(1, 32), elevation = pick(0, 90), azimuth = pick(0, 359), snr = pick(0, 55);
                body += "," + std::to_string(sv) + "," + std::to_string(elevation) + "," +
                        std::to_string(azimuth) + "," + std::to_string(snr);
                e.channels[channel] = {sv, elevation, azimuth, static_cast<double>(snr)};
            }
            lines += line(e, nmeaSentence(body));
        }
        return lines;
    }

    // A corrupt sentence changes nothing; one marked not valid is missing.
    std::string rot(Expected& e)
    {
        const std::string rate = text("%.2f", real(-90, 90));
        switch (pick(0, 3)) {
        case 0: return line(e, nmeaSentenceBadChecksum("$HEROT," + rate + ",A"));
        case 1: e.rateOfTurn = 100.0f; return line(e, nmeaSentence("$HEROT," + rate + ",V"));
        default: e.rateOfTurn = static_cast<float>(std::atof(rate.c_str())); return line(e, nmeaSentence("$HEROT," + rate + ",A"));
        }
    }

    std::string hdg(Expected& e)
    {
        const std::string variation = text("%.1f", real(0, 30));
        const bool west = pick(0, 1) == 1;
        const bool good = pick(0, 4) != 0;
        const std::string body = "$HEHDG," + text("%.1f", real(0, 359)) + ",,," + variation + (west ? ",W" : ",E");
        if (good) e.variation = static_cast<float>(west ? -std::atof(variation.c_str()) : std::atof(variation.c_str()));
        return line(e, good ? nmeaSentence(body) : nmeaSentenceBadChecksum(body));
    }

    std::string pvrn(Expected& e)
    {
        const bool good = pick(0, 4) != 0;
        std::string body = "$PVRN,HPR,123519.00";
        // Yaw, then pitch (within 90 degrees), then roll.
        for (float* angle : {&e.yaw, &e.pitch, &e.roll}) {
            const bool empty = pick(0, 5) == 0;
            const double limit = angle == &e.pitch ? 90.0 : 180.0;
            const std::string value = empty ? "" : text("%.2f", real(-limit, limit));
            body += "," + value;
            if (good) *angle = empty ? 100.0f : static_cast<float>(std::atof(value.c_str()));
        }
        return line(e, good ? nmeaSentence(body) : nmeaSentenceBadChecksum(body));
    }

    std::string jshowBin(Expected& e)
    {
        const int rate = pick(1, 20);
        e.posPerSec = static_cast<uint16_t>(rate);
        return line(e, nmeaReply("$>JSHOW,BIN,1," + std::to_string(rate) + ".0"));
    }

    // Line noise between messages; never a "$", which would open a message.
    std::string garbage()
    {
        std::string bytes(static_cast<std::size_t>(pick(1, 40)), '\0');
        for (char& c : bytes) {
            do c = static_cast<char>(pick(0, 255));
            while (c == '$');
        }
        return bytes;
    }

    std::mt19937 rng;
};

TEST_F(GnssStreamTest, LongGeneratedStreamLeavesTheLastValues)
{
    Expected e;
    StreamGenerator generator(20240611);
    std::string stream;
    for (int i = 0; i < 4000; ++i) stream += generator.next(e);

    const GnssFeed::Counts counts = GnssFeed::both(stream);

    EXPECT_EQ(counts.frames, e.frames);
    EXPECT_EQ(dwNmeaParseGetChrCnt(0), stream.size());
    EXPECT_EQ(dwQelParseGetChrCnt(0), stream.size());
    // Every sentence reached the observer whole and in order; the other lines
    // it saw were opened by a "$" inside binary data.
    const std::set<std::string> sent(e.lines.begin(), e.lines.end());
    std::vector<std::string> seen;
    for (const std::string& line : observed)
        if (sent.count(line)) seen.push_back(line);
    EXPECT_EQ(seen, e.lines);

    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), e.lat);
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLon(0), e.lon);
    EXPECT_DOUBLE_EQ(dGpsDbGetAlt(0), e.alt);
    EXPECT_EQ(iGpsDbGetNumSats(0), e.numSats);
    EXPECT_EQ(wGpsDbGetGPSWeek(0), e.week);
    EXPECT_EQ(dGpsDbGetTimeOfWeek(0), e.timeOfWeek);
    EXPECT_DOUBLE_EQ(GetTime(), e.week * 6.048e8 + (e.timeOfWeek - e.utcDiffAtFix) * 1000.0);
    EXPECT_EQ(iGpsDbGetGpsStatus(0), e.status);
    EXPECT_EQ(wGpsDbGetAgeOfDiff(0), e.ageOfDiff);
    EXPECT_DOUBLE_EQ(dGpsDbGetSTDEV(0), e.stdev);
    EXPECT_NEAR(dGpsDbGetVelocity(0), e.velocity, 1e-9);
    EXPECT_NEAR(dGpsDbGetRawCourse(0), e.rawCourse, 1e-9);
    EXPECT_EQ(dwGpsDbGetSatsTrackedMask(0), e.tracked);
    EXPECT_EQ(dwGpsDbGetSatsUsedMask(0), e.used);
    EXPECT_EQ(fGpsDbGetHdop(0), e.hdop);
    EXPECT_EQ(fGpsDbGetVdop(0), e.vdop);
    EXPECT_EQ(wGpsDbGetDiffSv1(0), e.sv1);
    EXPECT_EQ(wGpsDbGetDiffSv2(0), e.sv2);
    EXPECT_EQ(wGpsDbGetPosPerSec(0), e.posPerSec);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(GpsDbGetGPSChannelDataSV(0, i), e.channels[i].sv) << i;
        EXPECT_EQ(GpsDbGetGPSChannelDataElevation(0, i), e.channels[i].elevation) << i;
        EXPECT_EQ(GpsDbGetGPSChannelDataHalfAzimuth(0, i), e.channels[i].azimuth) << i;
        EXPECT_NEAR(GpsDbGetGPSChannelDataSNR(0, i), e.channels[i].snr, 1e-9) << i;
    }
    EXPECT_EQ(GpsDbGetRateOfTurn(0), e.rateOfTurn);
    EXPECT_EQ(GpsDbGetVariation(0), e.variation);
    EXPECT_EQ(GpsDbGetYaw(0), e.yaw);
    EXPECT_EQ(GpsDbGetPitch(0), e.pitch);
    EXPECT_EQ(GpsDbGetRoll(0), e.roll);
    EXPECT_EQ(dwQelParseGetGoodMsgTick(0), kNow);
    EXPECT_EQ(dwNmeaParseGetGoodMsgTick(0), kNow);
}

TEST_F(GnssStreamTest, ArbitraryBytesKeepTheParsersInBoundsAndResynchronised)
{
    // Headers with every accepted and some refused message numbers and
    // lengths around the limits, text lines of any length, raw noise.
    std::mt19937 rng(7);
    const auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const uint16_t numbers[] = {1, 2, 97, 98, 99, 3, 0xFFFF};
    const uint16_t lengths[] = {0, 1, 15, 16, 51, 52, 299, 300, 501, 502, 503, 65526, 65534, 65535};
    for (int round = 0; round < 3000; ++round) {
        std::string chunk;
        switch (pick(0, 2)) {
        case 0:
            chunk = "$BIN" + BinData().u16(0, numbers[pick(0, 6)]).u16(2, lengths[pick(0, 13)]).data();
            break;
        case 1:
            chunk = "$" + std::string(static_cast<std::size_t>(pick(0, 200)), static_cast<char>(pick(' ', '~'))) + "\r";
            break;
        default:
            break;
        }
        for (int noise = pick(0, 300); noise > 0; --noise) chunk += static_cast<char>(pick(0, 255));
        GnssFeed::both(chunk);
        ASSERT_LT(pQelParseGetState(0)->wCount, QEL_PARSE_MAX_FRAME);
    }

    // Any frame in progress ends within 512 bytes, any line at CR.
    GnssFeed::both(std::string(QEL_PARSE_MAX_FRAME, 'x') + "\r\n");
    const GnssFeed::Counts counts = GnssFeed::both(encodeBin1(fix(12.5, 45.0)) + nmeaSentence("$HEROT,2.5,A"));
    EXPECT_EQ(counts.frames, 1);
    EXPECT_DOUBLE_EQ(dGpsDbGetRawLat(0), 12.5);
    EXPECT_EQ(GpsDbGetRateOfTurn(0), 2.5f);
}

} // namespace
