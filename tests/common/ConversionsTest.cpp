#include "common/Conversions.h"

#include <gtest/gtest.h>

#include "common/Exception.h"

using namespace Veltrio::Common;

TEST(ConversionsTest, StrToIntReadsFromTheStartAndIgnoresTrailingText) {
    const struct { const char* text; int value; } cases[] = {
        {"  -42", -42}, {"12abc", 12}, {"+5", 5}, {"7 MHz", 7}, {"0x10", 0},
        {"\t\r\n9", 9}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(convertStrToInt(c.text), c.value) << c.text;
}

TEST(ConversionsTest, StrToIntRejectsTextWithoutANumberOrOutOfRange) {
    for (const char* text : {"", "   ", "abc", "-", "+", "2147483648", "-2147483649"}) {
        try {
            convertStrToInt(text);
            ADD_FAILURE() << "no exception for '" << text << "'";
        } catch (const ConversionException& e) {
            EXPECT_STREQ(e.what(), "Conversion error: Invalid string to int conversion");
        }
    }
}

TEST(ConversionsTest, StrToDouble) {
    EXPECT_DOUBLE_EQ(convertStrToDouble("439.125"), 439.125);
    EXPECT_DOUBLE_EQ(convertStrToDouble("1e3x"), 1000.0);
    EXPECT_DOUBLE_EQ(convertStrToDouble(" -0.5"), -0.5);
    try {
        convertStrToDouble("x1");
        ADD_FAILURE();
    } catch (const ConversionException& e) {
        EXPECT_STREQ(e.what(), "Conversion error: Invalid string to double conversion");
    }
}

TEST(ConversionsTest, HexStrToIntAcceptsOnlyWholeHexText) {
    for (const char* text : {"1A", "1a", "0x1a", "0X1A", "001a"}) EXPECT_EQ(convertHexStrToInt(text), 26) << text;
    EXPECT_EQ(convertHexStrToInt("7FFFFFFF"), 2147483647);
    EXPECT_EQ(convertHexStrToInt("0"), 0);
    for (const char* text : {"", "0x", "0X", "1G", "-1", " 1A", "1A ", "80000000", "0x0x1", "FFFFFFFFF"}) {
        try {
            convertHexStrToInt(text);
            ADD_FAILURE() << "no exception for '" << text << "'";
        } catch (const ConversionException& e) {
            EXPECT_STREQ(e.what(), "Conversion error: Invalid hexstring to int conversion");
        }
    }
}

TEST(ConversionsTest, NumberToText) {
    EXPECT_EQ(convertIntToStr(-7), "-7");
    EXPECT_EQ(convertIntToStr(0), "0");
    EXPECT_EQ(convertDoubleToStr(5, 2), "5.00");
    EXPECT_EQ(convertDoubleToStr(439.125, 3), "439.125");
    EXPECT_EQ(convertDoubleToStr(0.5, 0).find('.'), std::string::npos);
    EXPECT_EQ(convertDoubleToStr(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(convertFloatToStr(2.25f, 1).substr(0, 2), "2.");
    EXPECT_EQ(convertFloatToStr(12.5f, 3), "12.500");
}

TEST(ConversionsTest, TokenizeKeepsEmptyPieces) {
    const struct { const char* text; std::vector<std::string> tokens; } cases[] = {
        {"a,b,,c", {"a", "b", "", "c"}},
        {",", {"", ""}},
        {"a,b,", {"a", "b", ""}},
        {",a", {"", "a"}},
        {"abc", {"abc"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> tokens{"stale"};
        tokenize(c.text, tokens, ',');
        EXPECT_EQ(tokens, c.tokens) << "'" << c.text << "'";
    }
}

TEST(ConversionsTest, CharVectorKeepsEmbeddedNul) {
    const std::string text("A\0B", 3);
    CharVector bytes(text);
    ASSERT_EQ(bytes.size(), 3u);
    EXPECT_EQ(bytes[1], '\0');
    EXPECT_EQ(bytes.str(), text);
    CharVector copy = bytes;
    EXPECT_EQ(copy, bytes);
}

TEST(ConversionsTest, GenVectorLeavesTheTerminatorOut) {
    char ok[] = "OK";
    EXPECT_EQ(genVector(ok, sizeof ok).str(), "OK");
    EXPECT_TRUE(genVector(ok, 0).empty());
}
