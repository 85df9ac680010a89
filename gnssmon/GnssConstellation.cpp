#include "gnssmon/GnssConstellation.h"

#include <cstring>

namespace {

struct TalkerRow {
    const char* name;
    NmeaTalker talker;
    bool gnss;
    int homeGnssid;  // the constellation of its plain numbers 1-63; -1: by range
};

// One row per talker, in the order of the enumeration.
const TalkerRow kTalkers[] = {
    {"GP", TALKER_GP, true, -1},
    {"GL", TALKER_GL, true, GNSS_GLONASS},
    {"GA", TALKER_GA, true, GNSS_GALILEO},
    {"GB", TALKER_GB, true, GNSS_BEIDOU},
    {"BD", TALKER_BD, true, GNSS_BEIDOU},
    {"GQ", TALKER_GQ, true, GNSS_QZSS},
    {"QZ", TALKER_QZ, true, GNSS_QZSS},
    {"PQ", TALKER_PQ, true, GNSS_BEIDOU},  // one maker's BeiDou sentences
    {"GI", TALKER_GI, true, GNSS_NAVIC},
    {"IN", TALKER_IN, true, -1},           // integrated navigation: by range
    {"GN", TALKER_GN, true, -1},
    {"HE", TALKER_HE, false, -1},
    {"HC", TALKER_HC, false, -1},
    {"SD", TALKER_SD, false, -1},
    {"AP", TALKER_AP, false, -1},
};
static_assert(sizeof kTalkers / sizeof kTalkers[0] == TALKER_COUNT, "one row per talker");

bool set(GnssSatelliteId* id, int gnssid, long svid, long prn)
{
    id->gnssid = static_cast<uint8_t>(gnssid);
    id->svid = static_cast<uint8_t>(svid);
    id->prn = static_cast<uint16_t>(prn);
    return true;
}

// A constellation's own numbers 1-63 under the talker of that constellation.
bool home(int gnssid, long n, GnssSatelliteId* id)
{
    switch (gnssid) {
    case GNSS_GLONASS: return n <= 32 && set(id, gnssid, n, n + 64);  // slot numbers
    case GNSS_GALILEO: return n <= 36 && set(id, gnssid, n, n + 300);
    case GNSS_BEIDOU: return set(id, gnssid, n, n + 400);
    case GNSS_QZSS: return n <= 10 && set(id, gnssid, n, n + 192);
    case GNSS_NAVIC: return n <= 14 && set(id, gnssid, n, n);
    default: return false;
    }
}

} // namespace

NmeaTalker eNmeaTalker(const char* name)
{
    if (name == nullptr || name[0] != '$' || name[1] == '\0' || name[2] == '\0') return TALKER_NONE;
    for (const TalkerRow& row : kTalkers)
        if (name[1] == row.name[0] && name[2] == row.name[1]) return row.talker;
    return TALKER_NONE;
}

bool bNmeaTalkerIsGnss(NmeaTalker talker)
{
    return talker > TALKER_NONE && talker < TALKER_COUNT && kTalkers[talker].gnss;
}

bool bNmeaTalkerIsHeading(NmeaTalker talker)
{
    return talker > TALKER_NONE && talker < TALKER_COUNT && !kTalkers[talker].gnss;
}

NmeaTalker eNmeaTalkerOfSystemId(int systemId)
{
    static const NmeaTalker kBySystem[] = {TALKER_NONE, TALKER_GP, TALKER_GL, TALKER_GA,
                                           TALKER_GB,   TALKER_GQ, TALKER_GI};
    return systemId > 0 && systemId < 7 ? kBySystem[systemId] : TALKER_NONE;
}

bool bGnssSatellite(NmeaTalker talker, long n, GnssSatelliteId* id)
{
    if (!bNmeaTalkerIsGnss(talker) || n <= 0) return false;
    const int homeGnssid = kTalkers[talker].homeGnssid;
    if (homeGnssid >= 0 && n <= 63) {
        if (homeGnssid == GNSS_GLONASS && n >= 33) return set(id, GNSS_SBAS, n + 87, n);
        return home(homeGnssid, n, id);
    }
    // The shared numbering (GP, GN, and what a home talker sends above 63).
    if (n <= 32) return set(id, GNSS_GPS, n, n);
    if (n <= 64) return set(id, GNSS_SBAS, n + 87, n);
    if (n <= 96) return set(id, GNSS_GLONASS, n - 64, n);
    if (n >= 120 && n <= 151) return set(id, GNSS_SBAS, n, n - 87);
    if (n >= 193 && n <= 202) return set(id, GNSS_QZSS, n - 192, n);
    if (n >= 201 && n <= 263) return set(id, GNSS_BEIDOU, n - 200, n + 200);  // BeiDou as some GP talkers number it
    if (n >= 301 && n <= 336) return set(id, GNSS_GALILEO, n - 300, n);
    if (n >= 401 && n <= 463) return set(id, GNSS_BEIDOU, n - 400, n);
    return false;
}
