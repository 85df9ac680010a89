#pragma once
// One NMEA line split into its tokens, as the sentence decoders see it, and
// the field readings they share. The dispatch table that hands a line to its
// decoder is in NmeaDecode.cpp; the decoders live one family per file:
// NmeaDecode.cpp (replies, motion, heading, almanac), NmeaSatellites.cpp
// (GSV, GSA) and NmeaPositions.cpp (GGA, RMC, GNS, GLL, ZDA).

#include "gnssmon/GnssConstellation.h"
#include "gnssmon/NmeaDecode.h"

struct NmeaLine {
    int instance;
    NmeaTalker talker;               // of a talker sentence; TALKER_NONE else
    char* tok[NMEA_MAX_TOKENS + 1];  // token 0 is the name; null past the end
    int count;
    bool checksumOk;                 // the line carries "*hh" and it matches

    bool has(int n) const { return n < count; }
    bool is(int n, const char* text) const;
    bool empty(int n) const { return !has(n) || tok[n][0] == '\0'; }
};

// A real field that is a finite number from `lo` to `hi`, and nothing else
// ("nan", "1e999", "12x" and an empty field are refused).
bool bNmeaReadReal(const char* field, double lo, double hi, double& value);
// A decimal integer field from `lo` to `hi`, read without overflow.
bool bNmeaReadInt(const char* field, long lo, long hi, long& value);

// Satellites in view and used (NmeaSatellites.cpp).
void NmeaDecodeGsv(const NmeaLine& l);
void NmeaDecodeGsa(const NmeaLine& l);
// Positions (NmeaPositions.cpp), taken while binary message 1 does not flow.
void NmeaDecodeGga(const NmeaLine& l);
void NmeaDecodeRmc(const NmeaLine& l);
void NmeaDecodeGns(const NmeaLine& l);
void NmeaDecodeGll(const NmeaLine& l);
void NmeaDecodeZda(const NmeaLine& l);
// Forgets the instance's cycle of satellite sentences and fix in the making
// (NmeaParseInitVars calls it).
void NmeaSatellitesInit(int instance);
void NmeaPositionsInit(int instance);
