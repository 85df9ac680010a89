#pragma once
// Which satellite an NMEA satellite number names.
//
// NMEA numbers the satellites of each constellation in ranges of its own, and
// a receiver's talker ("GP", "GL", "GA", ...) says which constellation its
// sentence speaks for. Clients of the TPV/SKY convention name a satellite by
// `gnssid` (its constellation) and `svid` (its number there), and keep a
// `PRN` in one numbering for all: GPS 1-32, SBAS 33-64 (120-151 less 87),
// GLONASS 65-96, QZSS 193-202, Galileo 301-336, BeiDou 401-463, NavIC as
// NMEA numbers it. Pure functions over text, no I/O.

#include <cstdint>

enum GnssId {
    GNSS_GPS = 0,
    GNSS_SBAS = 1,
    GNSS_GALILEO = 2,
    GNSS_BEIDOU = 3,
    GNSS_QZSS = 5,
    GNSS_GLONASS = 6,
    GNSS_NAVIC = 7,
};

// Talkers of the receiver's sentences. The GNSS talkers speak for a
// constellation (GN: for several at once); the heading talkers are heading
// and turn sensors.
enum NmeaTalker {
    TALKER_NONE = -1,
    TALKER_GP, TALKER_GL, TALKER_GA, TALKER_GB, TALKER_BD, TALKER_GQ, TALKER_QZ,
    TALKER_PQ, TALKER_GI, TALKER_IN, TALKER_GN,
    TALKER_HE, TALKER_HC, TALKER_SD, TALKER_AP,
    TALKER_COUNT
};

// The talker of a sentence name ("$GLGSV" gives TALKER_GL), TALKER_NONE for
// a name without one of the talkers above.
NmeaTalker eNmeaTalker(const char* name);
bool bNmeaTalkerIsGnss(NmeaTalker talker);
bool bNmeaTalkerIsHeading(NmeaTalker talker);

// The talker whose numbering an NMEA 4.10 system ID (GSA, GSV) uses:
// 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC; TALKER_NONE else.
NmeaTalker eNmeaTalkerOfSystemId(int systemId);

struct GnssSatelliteId {
    uint8_t gnssid;
    uint8_t svid;
    uint16_t prn;
};

// The satellite that `talker` names with `number`; false for a number that
// names none (0, or outside every range the talker uses).
bool bGnssSatellite(NmeaTalker talker, long number, GnssSatelliteId* id);
