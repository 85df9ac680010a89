#pragma once
// The satellites a receiver has in view, of every constellation, and which of
// them its fix uses: the GPS database's sky view, beside the fixed GPS and
// GLONASS channel tables of binary message 99.
//
// Satellites arrive in cycles of satellite sentences, one cycle per source (a
// talker, and with NMEA 4.10 one of its signals). A complete cycle replaces
// every satellite its source listed before, so a satellite that has set
// leaves the view with the first cycle that no longer names it. The used list
// is kept apart (the fix's sentences come before the view's in an epoch) and
// is started afresh with each new fix.
//
// Per instance 0 to 3, as the rest of the database; calls with another
// instance are ignored (getters give 0 or null). A static table, no
// allocation; single-threaded.

#include <cstdint>

constexpr int GPS_DB_SATELLITES = 96;
constexpr int GPS_DB_USED_SATELLITES = 64;

struct _GPS_DB_SATELLITE {
    uint16_t wPrn;       // the PRN of the TPV/SKY convention (GnssConstellation.h)
    uint8_t byGnssId;
    uint8_t bySvid;
    uint8_t bySource;    // the cycle that listed it
    float fElevation;    // degrees; not a number when not known
    float fAzimuth;      // degrees
    float fSnr;          // dB-Hz
};

// Back to an empty view (GpsDbInit calls it).
void GpsDbSatellitesInit(int instance);

// A complete cycle of `source`: its `count` satellites replace those it
// listed before (what does not fit the table is left out). Then the report
// callback hears GPS_DB_REPORT_SKY.
void GpsDbReplaceSatellites(int instance, uint8_t source, const _GPS_DB_SATELLITE* satellites, int count);
int iGpsDbGetSatelliteCount(int instance);
// Satellite `index`, 0 to count - 1, in the order the cycles listed them;
// null outside.
const _GPS_DB_SATELLITE* pGpsDbGetSatellite(int instance, int index);

// The used satellites that follow are those of the fix `fix` (any number
// that tells one fix from the next): a new fix clears those of the one before.
void GpsDbSetUsedSatellitesFix(int instance, double fix);
// A satellite the fix uses.
void GpsDbAddUsedSatellite(int instance, uint8_t gnssid, uint8_t svid);
// In the used list, or a GPS satellite in the used mask of binary message 2.
bool bGpsDbSatelliteUsed(int instance, uint8_t gnssid, uint8_t svid);
