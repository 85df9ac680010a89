#pragma once
// A receiver's newest fix as a TPV report: one JSON object on one line, with
// the names and units that position clients on Linux already read from the
// GNSS daemon's "TPV" (time, position, velocity) objects:
//
//   {"class":"TPV","device":"/dev/ttyO1","mode":3,"status":2,
//    "time":"2026-12-07T14:34:04.200Z","lat":49.2741666667,"lon":-123.1207375,
//    "alt":70.123,"track":45.0,"speed":12.0,"climb":0.1,"dgpsAge":2,"uSat":9}
//
// Everything comes from the GPS database as binary message 1 left it (and the
// GPS-minus-UTC seconds of the last message 2). A field whose value is not
// known is left out: position, height and motion without a fix, the track
// while standing still, the age of corrections without differential
// corrections, the time before the receiver has sent a GPS week.
//
// Built only when a report is printed: it allocates, and is not part of the
// receive path.

#include <cstdint>
#include <string>

// GPS minus UTC since 2017-01-01, for a receiver that has not sent message 2.
constexpr int TPV_REPORT_LEAP_SECONDS = 18;

// "2026-12-07T14:34:04.200Z": the UTC time of GPS week `week` and time of
// week `timeOfWeek` (s), less `gpsUtcDiff` seconds, to the millisecond. A week
// of 1023 or less is taken as the receiver's 10-bit count and moved on by 1024
// weeks, as the program clock does.
std::string TpvReportTime(uint16_t week, double timeOfWeek, int gpsUtcDiff);

// The TPV object of `instance`'s newest fix, `device` the port it came from.
std::string TpvReportLine(int instance, const char* device);
