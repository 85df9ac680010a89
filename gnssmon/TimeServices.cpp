#include "gnssmon/TimeServices.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>

namespace {

double ProgramClockMs = 0.0;
uint32_t LastGoodTick = 0;
bool TickFrozen = false;
uint32_t FrozenTick = 0;

// Days in each month of a common year; February gains a day in leap years.
constexpr int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Days before each month of a common year.
constexpr int DaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

constexpr double ONE_HOUR_MS = 3600000.0;
constexpr double ONE_MINUTE_MS = 60000.0;
constexpr double ONE_SECOND_MS = 1000.0;
constexpr double FOUR_YEARS_MS = TIME_366_DAYS_MS + 3 * TIME_365_DAYS_MS;

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int MonthLength(int month, int year) { return MonthDays[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0); }

// Month numbers outside 1 to 12 are taken as the nearest month, so that no
// table is read outside its bounds.
int ClampMonth(int month) { return month < 1 ? 1 : (month > 12 ? 12 : month); }

void ReportClockFailure() {
    static const char message[] = "clock_gettime returned -1. Panic! NOW!!!\n";
    const int fd = open("/dev/console", O_WRONLY | O_NOCTTY);
    if (fd < 0) return;
    const ssize_t ignored = write(fd, message, sizeof message - 1);
    (void)ignored;
    close(fd);
}

} // namespace

uint32_t TimerTick() {
    if (TickFrozen) return FrozenTick;
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) == -1) {
        ReportClockFailure();
        return LastGoodTick;
    }
    const uint64_t micros = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
    LastGoodTick = static_cast<uint32_t>(micros / 1000u);
    return LastGoodTick;
}

void TimerForTestOnlyFreeze(uint32_t tick) {
    TickFrozen = true;
    FrozenTick = tick;
}

void TimerForTestOnlyThaw() { TickFrozen = false; }

void TimerInit() {}

void TimerDelay(unsigned int /*ms*/) {}

void PutTime(double ms) { ProgramClockMs = ms; }

double GetTime() { return ProgramClockMs; }

void PutGPSTime(double timeOfWeekSeconds, unsigned short week, double gpsMinusUtcSeconds, unsigned short rollovers) {
    // Receivers that count weeks in 10 bits report 0 to 1023 after each
    // rollover; the caller says how many rollovers have passed.
    long fullWeek = week;
    if (week <= 1023) fullWeek += static_cast<long>(rollovers) * 1024;
    ProgramClockMs = static_cast<double>(fullWeek) * TIME_ONE_WEEK_MS + (timeOfWeekSeconds - gpsMinusUtcSeconds) * 1000.0;
}

void GetGPSTime(double* timeOfWeekMs, unsigned short* week) {
    double rest = 0.0;
    long weekNumber = 0;
    if (std::isfinite(ProgramClockMs)) {
        // Whole 1024-week periods are taken off first, so the week is 0 to 1023.
        rest = ProgramClockMs - std::floor(ProgramClockMs / TIME_1024_WEEKS_MS) * TIME_1024_WEEKS_MS;
        if (rest < 0.0 || rest >= TIME_1024_WEEKS_MS) rest = 0.0;
        weekNumber = static_cast<long>(rest / TIME_ONE_WEEK_MS);
        if (weekNumber > 1023) weekNumber = 1023;
        rest -= static_cast<double>(weekNumber) * TIME_ONE_WEEK_MS;
    }
    if (timeOfWeekMs != nullptr) *timeOfWeekMs = rest;
    if (week != nullptr) *week = static_cast<unsigned short>(weekNumber);
}

void PutSystemTime(const _SYSTEMTIME* time) {
    if (time == nullptr) return;
    const int year = time->wYear;
    const int month = ClampMonth(time->wMonth);
    double days = static_cast<double>(time->wDay) - 1 + DaysBeforeMonth[month - 1] + (year - 1980) * 365.0;
    // Leap days since 1980: counting 1980 itself keeps dates within 1980 on
    // the same clock as GetSystemTime.
    if (year >= 1980) days += (year - 1980) / 4 + 1;
    if (month <= 2 && IsLeapYear(year)) days -= 1;
    ProgramClockMs = time->wMilliseconds + time->wSecond * ONE_SECOND_MS + time->wMinute * ONE_MINUTE_MS +
                     time->wHour * ONE_HOUR_MS + days * TIME_ONE_DAY_MS - TIME_1980_TO_GPS_EPOCH_MS;
}

void GetSystemTime(_SYSTEMTIME* time) {
    if (time == nullptr) return;
    double t = ProgramClockMs + TIME_1980_TO_GPS_EPOCH_MS;
    // Times before 1980-01-01 (and a clock that is not a number) have no
    // calendar date here: they read as 1980-01-01 00:00:00.000.
    if (!(t >= 0.0)) t = 0.0;
    long year = 1980;

    // Whole four-year cycles (leap year first) at once, then year by year.
    const double cycles = std::floor(t / FOUR_YEARS_MS);
    if (cycles >= (65535 - 1980) / 4) {
        t = 0.0;
        year = 1980 + ((65535 - 1980) / 4) * 4;
    } else {
        t -= cycles * FOUR_YEARS_MS;
        year += static_cast<long>(cycles) * 4;
    }
    if (t < 0.0) t = 0.0;
    if (t >= TIME_366_DAYS_MS) {
        t -= TIME_366_DAYS_MS;
        ++year;
        for (int i = 0; i < 3 && t >= TIME_365_DAYS_MS; ++i) {
            t -= TIME_365_DAYS_MS;
            ++year;
        }
    }

    int month = 1;
    while (month < 12 && t - MonthLength(month, static_cast<int>(year)) * TIME_ONE_DAY_MS >= 0.0) {
        t -= MonthLength(month, static_cast<int>(year)) * TIME_ONE_DAY_MS;
        ++month;
    }
    const long day = static_cast<long>(t / TIME_ONE_DAY_MS);
    t -= static_cast<double>(day) * TIME_ONE_DAY_MS;
    const long hour = static_cast<long>(t / ONE_HOUR_MS);
    t -= static_cast<double>(hour) * ONE_HOUR_MS;
    const long minute = static_cast<long>(t / ONE_MINUTE_MS);
    t -= static_cast<double>(minute) * ONE_MINUTE_MS;
    const long second = static_cast<long>(t / ONE_SECOND_MS);
    t -= static_cast<double>(second) * ONE_SECOND_MS;

    time->wYear = static_cast<uint16_t>(year);
    time->wMonth = static_cast<uint16_t>(month);
    time->wDayOfWeek = 0;
    time->wDay = static_cast<uint16_t>(day + 1);
    time->wHour = static_cast<uint16_t>(hour);
    time->wMinute = static_cast<uint16_t>(minute);
    time->wSecond = static_cast<uint16_t>(second);
    time->wMilliseconds = static_cast<uint16_t>(t);
}

void PutTimeSince1970(unsigned int days, unsigned int tenthsOfMs) {
    ProgramClockMs = static_cast<double>(days) * TIME_ONE_DAY_MS - TIME_1970_TO_GPS_EPOCH_MS + tenthsOfMs / 10.0;
}

unsigned short wGetDaysSince1970(const _SYSTEMTIME* time) {
    if (time == nullptr) return 0;
    const int year = time->wYear;
    const int month = ClampMonth(time->wMonth);
    long days = static_cast<long>(time->wDay) - 1;
    for (int m = 1; m < month; ++m) days += MonthLength(m, year);
    for (int y = 1970; y < year; ++y) days += IsLeapYear(y) ? 366 : 365;
    return static_cast<unsigned short>(days);
}
