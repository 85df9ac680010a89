#pragma once
// Time and tick services of the monitor.
//
// Two clocks:
// - the tick: a monotonic millisecond counter, 32 bits, wrapping after about
//   49.7 days; compare ticks with plain unsigned arithmetic;
// - the program clock: one module-wide double, milliseconds since the GPS
//   epoch 1980-01-06 00:00:00, set from the receiver's GPS time (binary
//   message 1 takes off the GPS-minus-UTC seconds, so it runs on UTC). It does
//   not advance by itself: users add the tick (see the GPS database).
// Plus conversions between the program clock and calendar dates, GPS week and
// time of week, and days since 1970.
//
// Calendar arithmetic runs in four-year cycles that begin with a leap year;
// it is exact from 1980 to 2099 (2100 is not a leap year).
//
// Single-threaded: the program clock is a module static without protection.

#include <cstdint>

struct _SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;      // 1 to 12
    uint16_t wDayOfWeek;  // not computed; GetSystemTime sets 0
    uint16_t wDay;        // 1 to 31
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

constexpr double TIME_ONE_DAY_MS = 8.64e7;
constexpr double TIME_ONE_WEEK_MS = 6.048e8;
constexpr double TIME_1024_WEEKS_MS = 6.193152e11;
constexpr double TIME_365_DAYS_MS = 3.1536e10;
constexpr double TIME_366_DAYS_MS = 3.16224e10;
constexpr double TIME_1980_TO_GPS_EPOCH_MS = 4.32e8;    // 1980-01-01 to 1980-01-06: 5 days
constexpr double TIME_1970_TO_GPS_EPOCH_MS = 3.159648e11;  // 3657 days

// Millisecond tick from CLOCK_MONOTONIC. Should the clock ever fail, a message
// goes to the console and the last good tick is returned again.
uint32_t TimerTick();

// Test hook: while frozen, TimerTick returns `tick` instead of the monotonic
// clock, so that schedules and time stamps can be checked without waiting.
void TimerForTestOnlyFreeze(uint32_t tick);
void TimerForTestOnlyThaw();

void TimerInit();                 // nothing to set up
void TimerDelay(unsigned int ms); // returns at once without waiting

void PutTime(double ms);
double GetTime();

// Sets the clock from GPS time: week numbers of 1023 or less are taken as
// counted since the last of `rollovers` 1024-week rollovers.
// Clock = week x 1 week + (tow - utcDiff) x 1000.
void PutGPSTime(double timeOfWeekSeconds, unsigned short week, double gpsMinusUtcSeconds,
                unsigned short rollovers);

// Week (0 to 1023, within the current 1024-week period) and time of week in
// MILLISECONDS from the clock.
void GetGPSTime(double* timeOfWeekMs, unsigned short* week);

// Sets the clock from a calendar time (no range checks: fields enter the sums).
void PutSystemTime(const _SYSTEMTIME* time);
// Fills a calendar time from the clock; wDayOfWeek is 0.
void GetSystemTime(_SYSTEMTIME* time);

// Clock = days since 1970-01-01 + tenths of a millisecond.
void PutTimeSince1970(unsigned int days, unsigned int tenthsOfMs);

// Days from 1970-01-01 to the date (1970-01-01 gives 0), modulo 2^16.
unsigned short wGetDaysSince1970(const _SYSTEMTIME* time);
