#include "gnssmon/NmeaFields.h"

#include "tools/gnssproto/NmeaEncode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Splits like the parser does: until null or the same token comes back.
std::vector<std::string> tokens(std::string text, int limit = 30)
{
    std::vector<std::string> out;
    char* previous = nullptr;
    for (char* t = pszGpsToken(text.data(), ",*"); t && t != previous && limit-- > 0;
         t = pszGpsToken(nullptr, ",*")) {
        out.emplace_back(t);
        previous = t;
    }
    return out;
}

using Tokens = std::vector<std::string>;

} // namespace

TEST(NmeaTokenTest, KeepsEmptyFieldsAndEndsAtTheLastToken)
{
    EXPECT_EQ(tokens("$>JI"), (Tokens{"$>JI"}));
    EXPECT_EQ(tokens("$HEHDG,238.8,,,13.9,W*07"), (Tokens{"$HEHDG", "238.8", "", "", "13.9", "W", "07"}));
    EXPECT_EQ(tokens("$A,,B"), (Tokens{"$A", "", "B"}));
    EXPECT_EQ(tokens(",*A*"), (Tokens{"", "", "A"}));
    // A field missing because the line ended is no token at all.
    EXPECT_EQ(tokens("$GPVTG,1,2,"), (Tokens{"$GPVTG", "1", "2"}));
    EXPECT_EQ(tokens(""), Tokens{});
}

TEST(NmeaTokenTest, RepeatsTheLastTokenOrNullAtTheEnd)
{
    std::string text = "$A,B";
    char* first = pszGpsToken(text.data(), ",");
    EXPECT_STREQ(first, "$A");
    char* last = pszGpsToken(nullptr, ",");
    EXPECT_STREQ(last, "B");
    EXPECT_EQ(pszGpsToken(nullptr, ","), last);
    EXPECT_EQ(pszGpsToken(nullptr, ","), last);

    std::string trailing = "$A,";
    EXPECT_STREQ(pszGpsToken(trailing.data(), ","), "$A");
    EXPECT_EQ(pszGpsToken(nullptr, ","), nullptr);
    EXPECT_EQ(pszGpsToken(nullptr, ","), nullptr);
}

TEST(NmeaChecksumTest, ComparesTheXorBetweenDollarAndStar)
{
    struct Case {
        const char* line;
        bool ok;
    };
    const Case cases[] = {
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48", true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", true},
        {"$HEROT,12.5,A*1d", true},  // lower-case hex digits
        {"$HEROT,12.5,A*1D", true},
        {"$PVRN,HPR,123519.00,271.50,-1.20,0.80*66", true},
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*49", false},
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K", false},  // no "*"
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*4", false},
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*", false},
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*G8", false},
    };
    for (const Case& c : cases) EXPECT_EQ(bNmeaChecksumOk(c.line), c.ok) << c.line;
}

TEST(NmeaChecksumTest, EncoderAppendsWhatReceiversSend)
{
    EXPECT_EQ(GnssProto::nmeaSentence("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"),
              "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n");
    EXPECT_EQ(GnssProto::nmeaSentence("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
              "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_FALSE(bNmeaChecksumOk(GnssProto::nmeaSentenceBadChecksum("$HEROT,12.5,A").c_str()));
}

TEST(NmeaHexTest, ReadsAlmanacFieldsUnsignedAndSignExtended)
{
    struct Case {
        const char* field;
        uint32_t u;
        int32_t s;
    };
    const Case cases[] = {
        {"441D", 0x441D, 0x441D},
        {"441d", 0x441D, 0x441D},
        {"FD5E", 0xFD5E, -674},             // top digit 8 or more: padded with F
        {"0A4", 0xA4, 0xA4},
        {"8", 8, -8},
        {"7", 7, 7},
        {"A10C9F", 0xA10C9F, static_cast<int32_t>(0xFFA10C9F)},
        {"FFFFFFFF", 0xFFFFFFFF, -1},
        {"G1", 0x01, 0x01},                // not a digit: counts as 0
        {"", 0, 0},
        {"123456789", 0, 0x12345678},      // over 8 characters
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dwNmeaHexUnsigned(c.field), c.u) << c.field;
        EXPECT_EQ(lNmeaHexSigned(c.field), c.s) << c.field;
    }
}

TEST(NmeaAngleTest, DegreesAndMinutesToDegrees)
{
    EXPECT_NEAR(dXlateGgaLatLon(4916.45), 49.0 + 16.45 / 60.0, 1e-12);
    EXPECT_NEAR(dXlateGgaLatLon(12311.12), 123.0 + 11.12 / 60.0, 1e-12);
    EXPECT_NEAR(dXlateGgaLatLon(-4916.45), -(49.0 + 16.45 / 60.0), 1e-12);
    EXPECT_EQ(dXlateGgaLatLon(0.0), 0.0);
}
