#include "common/Exception.h"

#include <gtest/gtest.h>

#include <string>

using namespace Veltrio::Common;

TEST(ExceptionTest, MessagesAndExtraInfo) {
    EXPECT_STREQ(Exception("plain").what(), "plain");
    EXPECT_EQ(Exception("plain").getMsg(), "plain");
    EXPECT_STREQ(ExceptionWithExtraInfo("msg", "").what(), "msg: ");
    EXPECT_EQ(ExceptionWithExtraInfo("msg", "extra").getMsg(), "msg: extra");
    EXPECT_STREQ(ProgrammingException("x").what(), "Programming Exception *MUST FIX*: x");
    EXPECT_STREQ(ConversionException("y").what(), "Conversion error: y");
}

TEST(ExceptionTest, WhatStaysValidForTheLifeOfTheObjectAndItsCopies) {
    const char* text = nullptr;
    ExceptionWithExtraInfo original("Can not open file", std::string(100, 'z'));
    text = original.what();
    std::string later(200, 'q');  // allocations that would reuse a freed temporary
    EXPECT_EQ(std::string(text), "Can not open file: " + std::string(100, 'z'));
    ExceptionWithExtraInfo copy = original;
    EXPECT_STREQ(copy.what(), text);
    EXPECT_NE(copy.what(), text);
}

TEST(ExceptionTest, CaughtThroughTheRoot) {
    try {
        throw ConversionException("Invalid string to int conversion");
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Conversion error: Invalid string to int conversion");
        EXPECT_EQ(e.getMsg(), e.what());
    }
}
