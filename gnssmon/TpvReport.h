#pragma once
// A receiver's newest fix as a TPV report: one JSON object on one line, with
// the names and units that position clients on Linux already read from the
// GNSS daemon's "TPV" (time, position, velocity) objects:
//
//   {"class":"TPV","device":"/dev/ttyO1","mode":3,"status":2,
//    "time":"2026-12-07T14:34:04.200Z","lat":49.274166667,"lon":-123.1207375,
//    "alt":70.123,"track":45.0,"speed":12.0,"climb":0.1,"dgpsAge":2.0}
//
// Everything comes from the GPS database as the newest fix left it (binary
// message 1, or the NMEA position sentences), and the GPS-minus-UTC seconds
// of the last message 2 ("leapseconds"). A field whose value is not known is
// left out: position, height and motion without a fix, the track when the
// fix's speed was below the course cut-off, the age of corrections without
// differential corrections, the time before the receiver has given a date; so
// is a value that is not a number or out of its range. The satellites used
// are the SKY report's (SkyReport.h).
//
// Built only when a report is printed: it allocates, and is not part of the
// receive path.

#include <cstdint>
#include <string>

// "2026-12-07T14:34:04.200Z": the UTC time of GPS week `week` and time of
// week `timeOfWeek` (s), less `gpsUtcDiff` seconds, to the millisecond. A week
// of 1023 or less is taken as the receiver's 10-bit count and moved on by 1024
// weeks, as the program clock does.
std::string TpvReportTime(uint16_t week, double timeOfWeek, int gpsUtcDiff);

// The UTC time of `instance`'s newest fix into `time`; false when not known.
bool TpvReportTimeKnown(int instance, std::string& time);

// The TPV object of `instance`'s newest fix, `device` the port it came from
// (null: no "device").
std::string TpvReportLine(int instance, const char* device);
