#pragma once
// Feeding bytes to the parsers in tests, one byte at a time as the receiver
// manager does.

#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"

#include <string>

namespace GnssFeed {

// Bytes to the NMEA parser only; the number of lines completed.
inline int nmea(const std::string& bytes, int instance = 0)
{
    int lines = 0;
    for (char c : bytes) lines += NmeaParseProcessChrIn(instance, c);
    return lines;
}

// Bytes to the binary parser only; the number of frames accepted.
inline int bin(const std::string& bytes, int instance = 0)
{
    int frames = 0;
    for (char c : bytes) frames += QelParseProcessChrIn(instance, static_cast<unsigned char>(c));
    return frames;
}

struct Counts {
    int lines = 0;
    int frames = 0;
};

// Each byte first to the NMEA parser, then to the binary parser.
inline Counts both(const std::string& bytes, int instance = 0)
{
    Counts counts;
    for (char c : bytes) {
        counts.lines += NmeaParseProcessChrIn(instance, c);
        counts.frames += QelParseProcessChrIn(instance, static_cast<unsigned char>(c));
    }
    return counts;
}

} // namespace GnssFeed
