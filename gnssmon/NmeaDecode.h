#pragma once
// Decoding of one complete NMEA line into the GPS database (used by the line
// collector in NmeaParse.cpp).

// Ticks a decoded line asks for.
#define NMEA_TICK_STATUS 1 // the database's status tick of the instance
#define NMEA_TICK_GOOD 2   // the parser's good-message tick of the instance

// Most tokens a line is split into: the name, the fields and, after "*", the
// checksum field.
#define NMEA_MAX_TOKENS 24

// Decodes `line` ("$" ... without CR/LF) for `instance`; the line is split in
// place. Returns the NMEA_TICK_* flags of the line's name (0 for a name that
// is not decoded), with NMEA_TICK_GOOD added for any line whose checksum is
// right; a line whose checksum is wrong gives 0. The status tick is already
// set when the flags say so, the good-message tick is the caller's.
unsigned NmeaDecodeLine(int instance, char* line);
