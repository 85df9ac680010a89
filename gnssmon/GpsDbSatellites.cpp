#include "gnssmon/GpsDbSatellites.h"

#include "gnssmon/GpsDb.h"

#include <cmath>

namespace {

struct UsedSatellite {
    uint8_t gnssid;
    uint8_t svid;
};

struct SkyView {
    _GPS_DB_SATELLITE satellites[GPS_DB_SATELLITES];
    int count;
    UsedSatellite used[GPS_DB_USED_SATELLITES];
    int usedCount;
    double usedFix;
};

SkyView views[GPS_DB_INSTANCES];

bool validInstance(int instance)
{
    return instance >= 0 && instance < GPS_DB_INSTANCES;
}

} // namespace

void GpsDbSatellitesInit(int instance)
{
    if (!validInstance(instance)) return;
    views[instance].count = 0;
    views[instance].usedCount = 0;
    views[instance].usedFix = std::nan("");
}

void GpsDbReplaceSatellites(int instance, uint8_t source, const _GPS_DB_SATELLITE* satellites, int count)
{
    if (!validInstance(instance) || (count > 0 && satellites == nullptr)) return;
    SkyView& v = views[instance];
    int kept = 0;
    for (int i = 0; i < v.count; ++i)
        if (v.satellites[i].bySource != source) v.satellites[kept++] = v.satellites[i];
    v.count = kept;
    for (int i = 0; i < count && v.count < GPS_DB_SATELLITES; ++i) {
        v.satellites[v.count] = satellites[i];
        v.satellites[v.count++].bySource = source;
    }
    GpsDbReport(instance, GPS_DB_REPORT_SKY);
}

int iGpsDbGetSatelliteCount(int instance)
{
    return validInstance(instance) ? views[instance].count : 0;
}

const _GPS_DB_SATELLITE* pGpsDbGetSatellite(int instance, int index)
{
    if (!validInstance(instance) || index < 0 || index >= views[instance].count) return nullptr;
    return &views[instance].satellites[index];
}

void GpsDbSetUsedSatellitesFix(int instance, double fix)
{
    if (!validInstance(instance) || fix == views[instance].usedFix) return;
    views[instance].usedCount = 0;
    views[instance].usedFix = fix;
}

void GpsDbAddUsedSatellite(int instance, uint8_t gnssid, uint8_t svid)
{
    if (!validInstance(instance)) return;
    SkyView& v = views[instance];
    if (bGpsDbSatelliteUsed(instance, gnssid, svid) || v.usedCount == GPS_DB_USED_SATELLITES) return;
    v.used[v.usedCount++] = {gnssid, svid};
}

bool bGpsDbSatelliteUsed(int instance, uint8_t gnssid, uint8_t svid)
{
    if (!validInstance(instance)) return false;
    const SkyView& v = views[instance];
    for (int i = 0; i < v.usedCount; ++i)
        if (v.used[i].gnssid == gnssid && v.used[i].svid == svid) return true;
    return gnssid == 0 && svid >= 1 && svid <= 32 && (dwGpsDbGetSatsUsedMask(instance) >> (svid - 1) & 1u);
}
