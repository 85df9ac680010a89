#include "gnssmon/TimeServices.h"

#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <cmath>

namespace {

_SYSTEMTIME date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    _SYSTEMTIME t{};
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

// Independent oracle: days since 1970-01-01 of a proleptic Gregorian date
// (the well-known era-based civil-date algorithm).
long daysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isLeap(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }
int monthLength(int y, int m) {
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return len[m - 1] + (m == 2 && isLeap(y));
}

constexpr long GPS_EPOCH_DAYS = 3657;  // 1980-01-06 in days since 1970

void expectDate(const _SYSTEMTIME& t, int y, int mo, int d, int h, int mi, int s, int ms) {
    EXPECT_EQ(t.wYear, y);
    EXPECT_EQ(t.wMonth, mo);
    EXPECT_EQ(t.wDay, d);
    EXPECT_EQ(t.wHour, h);
    EXPECT_EQ(t.wMinute, mi);
    EXPECT_EQ(t.wSecond, s);
    EXPECT_EQ(t.wMilliseconds, ms);
    EXPECT_EQ(t.wDayOfWeek, 0);
}

_SYSTEMTIME readBack(double clock) {
    PutTime(clock);
    _SYSTEMTIME t{};
    GetSystemTime(&t);
    return t;
}

double clockOf(const _SYSTEMTIME& t) {
    PutSystemTime(&t);
    return GetTime();
}

} // namespace

TEST(TimeServicesTest, CalendarEdgeCases) {
    EXPECT_EQ(clockOf(date(1981, 1, 1)), 31190400000.0);  // 361 days after the epoch
    expectDate(readBack(31190400000.0), 1981, 1, 1, 0, 0, 0, 0);
    expectDate(readBack(0.0), 1980, 1, 6, 0, 0, 0, 0);
    const _SYSTEMTIME leapMarch = date(2012, 3, 1, 13, 14, 15, 678);
    expectDate(readBack(clockOf(leapMarch)), 2012, 3, 1, 13, 14, 15, 678);
    expectDate(readBack(clockOf(date(2012, 2, 29, 23, 59, 59, 999))), 2012, 2, 29, 23, 59, 59, 999);
}

TEST(TimeServicesTest, DatesWithin1980AreOnTheSameClockBothWays) {
    EXPECT_EQ(clockOf(date(1980, 1, 6)), 0.0);
    EXPECT_EQ(clockOf(date(1980, 1, 1)), -TIME_1980_TO_GPS_EPOCH_MS);
    for (const _SYSTEMTIME& d : {date(1980, 1, 6, 1), date(1980, 2, 29, 12), date(1980, 3, 1), date(1980, 12, 31, 23)}) {
        const _SYSTEMTIME back = readBack(clockOf(d));
        expectDate(back, d.wYear, d.wMonth, d.wDay, d.wHour, 0, 0, 0);
    }
}

// Every day from 1981 to 2099, at a time of day that moves through the day:
// the clock matches an independent day count, reads back as the same date,
// and agrees with the days-since-1970 conversion.
TEST(TimeServicesTest, CalendarRoundTripsEveryDayFrom1981To2099) {
    int checked = 0;
    for (int y = 1981; y <= 2099; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= monthLength(y, m); ++d, ++checked) {
                const int h = checked % 24, mi = (checked * 7) % 60, s = (checked * 13) % 60, ms = (checked * 37) % 1000;
                const _SYSTEMTIME t = date(y, m, d, h, mi, s, ms);
                const double clock = clockOf(t);
                const double expected = static_cast<double>(daysFromCivil(y, m, d) - GPS_EPOCH_DAYS) * TIME_ONE_DAY_MS +
                                        ((h * 60.0 + mi) * 60.0 + s) * 1000.0 + ms;
                ASSERT_EQ(clock, expected) << y << "-" << m << "-" << d;
                const _SYSTEMTIME back = readBack(clock);
                ASSERT_TRUE(back.wYear == y && back.wMonth == m && back.wDay == d && back.wHour == h &&
                            back.wMinute == mi && back.wSecond == s && back.wMilliseconds == ms)
                    << y << "-" << m << "-" << d << " read back as " << back.wYear << "-" << back.wMonth << "-"
                    << back.wDay;
                const unsigned short days1970 = wGetDaysSince1970(&t);
                ASSERT_EQ(days1970, daysFromCivil(y, m, d));
                PutTimeSince1970(days1970, 10u * (((h * 60u + mi) * 60u + s) * 1000u + ms));
                ASSERT_EQ(GetTime(), expected);
            }
        }
    }
    EXPECT_EQ(checked, 43464);
}

TEST(TimeServicesTest, LastMillisecondOfEachYearRollsIntoTheNext) {
    for (int y = 1981; y <= 2098; ++y) {
        const double newYear = clockOf(date(y + 1, 1, 1));
        expectDate(readBack(newYear - 1.0), y, 12, 31, 23, 59, 59, 999);
        expectDate(readBack(newYear), y + 1, 1, 1, 0, 0, 0, 0);
        const double march = clockOf(date(y, 3, 1));
        if (isLeap(y))
            expectDate(readBack(march - TIME_ONE_DAY_MS), y, 2, 29, 0, 0, 0, 0);
        else
            expectDate(readBack(march - TIME_ONE_DAY_MS), y, 2, 28, 0, 0, 0, 0);
    }
}

TEST(TimeServicesTest, DaysSince1970) {
    const struct {
        _SYSTEMTIME t;
        unsigned short days;
    } cases[] = {
        {date(1970, 1, 1), 0},   {date(1970, 3, 1), 59},  {date(2000, 3, 1), 11017},
        {date(1972, 3, 1), 790}, {date(1980, 1, 6), 3657}, {date(2099, 12, 31), 47481},
        {date(1970, 0, 1), 0},   // month below 1 counts as January
        {date(1970, 13, 1), 334}, // month above 12 counts as December
    };
    for (const auto& c : cases) EXPECT_EQ(wGetDaysSince1970(&c.t), c.days) << c.t.wYear << "-" << c.t.wMonth;
    PutTimeSince1970(3657, 0);
    EXPECT_EQ(GetTime(), 0.0);
    PutTimeSince1970(3657, 15);  // tenths of a millisecond
    EXPECT_DOUBLE_EQ(GetTime(), 1.5);
}

TEST(TimeServicesTest, OutOfRangeMonthsStayInsideTheCalendarTables) {
    // No range checks on the fields, but a month outside 1 to 12 must not read
    // outside the month tables: it counts as the nearest month.
    EXPECT_EQ(clockOf(date(2001, 0, 10)), clockOf(date(2001, 1, 10)));
    EXPECT_EQ(clockOf(date(2001, 200, 10)), clockOf(date(2001, 12, 10)));
}

TEST(TimeServicesTest, GpsTimeEdgeCases) {
    PutGPSTime(0.0, 100, 0.0, 1);
    EXPECT_EQ(GetTime(), 1124 * TIME_ONE_WEEK_MS);
    double tow = -1.0;
    unsigned short week = 0;
    GetGPSTime(&tow, &week);
    EXPECT_EQ(week, 100);
    EXPECT_EQ(tow, 0.0);
    PutGPSTime(0.0, 1500, 0.0, 1);  // a full week number: rollovers not added
    EXPECT_EQ(GetTime(), 1500 * TIME_ONE_WEEK_MS);
    PutGPSTime(100.0, 10, 18.0, 0);  // GPS minus UTC taken off
    EXPECT_EQ(GetTime(), 10 * TIME_ONE_WEEK_MS + 82000.0);
}

TEST(TimeServicesTest, GpsWeekRolloversLandOnTheirCalendarDates) {
    PutGPSTime(0.0, 0, 0.0, 1);
    _SYSTEMTIME t{};
    GetSystemTime(&t);
    expectDate(t, 1999, 8, 22, 0, 0, 0, 0);
    PutGPSTime(0.0, 0, 0.0, 2);
    GetSystemTime(&t);
    expectDate(t, 2019, 4, 7, 0, 0, 0, 0);
    PutGPSTime(604799.999, 1023, 0.0, 1);  // the last millisecond before the second rollover
    GetSystemTime(&t);
    expectDate(t, 2019, 4, 6, 23, 59, 59, 999);
    double tow = 0.0;
    unsigned short week = 0;
    GetGPSTime(&tow, &week);
    EXPECT_EQ(week, 1023);
    EXPECT_NEAR(tow, 604799999.0, 1e-3);
}

// Weeks across three rollover periods, several times in each week: the week
// comes back modulo 1024 and the time of week in milliseconds.
TEST(TimeServicesTest, GpsTimeRoundTripsAcrossRollovers) {
    for (int fullWeek = 0; fullWeek < 3 * 1024; fullWeek += 7) {
        for (double towSeconds : {0.0, 0.001, 1.5, 86399.0, 345600.25, 604799.0}) {
            PutGPSTime(towSeconds, static_cast<unsigned short>(fullWeek % 1024), 0.0,
                       static_cast<unsigned short>(fullWeek / 1024));
            ASSERT_EQ(GetTime(), fullWeek * TIME_ONE_WEEK_MS + towSeconds * 1000.0);
            double tow = -1.0;
            unsigned short week = 0xFFFF;
            GetGPSTime(&tow, &week);
            ASSERT_EQ(week, fullWeek % 1024) << fullWeek;
            ASSERT_NEAR(tow, towSeconds * 1000.0, 1e-3) << fullWeek;
        }
    }
}

TEST(TimeServicesTest, ClockValuesWithoutACalendarDateStayBounded) {
    expectDate(readBack(-5.0e8), 1980, 1, 1, 0, 0, 0, 0);  // before 1980
    expectDate(readBack(std::nan("")), 1980, 1, 1, 0, 0, 0, 0);
    const _SYSTEMTIME far = readBack(1.0e300);  // must return, not count years one by one
    EXPECT_GE(far.wYear, 1980);
    PutTime(-1.0);
    double tow = 0.0;
    unsigned short week = 0;
    GetGPSTime(&tow, &week);  // one millisecond before the epoch: end of week 1023
    EXPECT_EQ(week, 1023);
    EXPECT_NEAR(tow, TIME_ONE_WEEK_MS - 1.0, 1e-3);
}

TEST(TimeServicesTest, TickFollowsTheMonotonicClockInMilliseconds) {
    auto monotonicMs = [] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint32_t>((static_cast<uint64_t>(now.tv_sec) * 1000000u + now.tv_nsec / 1000u) / 1000u);
    };
    const uint32_t before = monotonicMs();
    const uint32_t tick = TimerTick();
    const uint32_t after = monotonicMs();
    EXPECT_LE(static_cast<uint32_t>(tick - before), static_cast<uint32_t>(after - before));
}

TEST(TimeServicesTest, FrozenTickForTests) {
    TimerForTestOnlyFreeze(0xFFFFFFF0u);
    EXPECT_EQ(TimerTick(), 0xFFFFFFF0u);
    TimerForTestOnlyThaw();
    EXPECT_NE(TimerTick(), 0xFFFFFFF0u);
}

TEST(TimeServicesTest, DelayDoesNotWait) {
    const auto before = std::chrono::steady_clock::now();
    TimerInit();
    TimerDelay(60000);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}
