#include "gnssmon/SkyReport.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/TpvReport.h"

#include <nlohmann/json.hpp>

#include <cmath>

std::string SkyReportLine(int instance, const char* device) {
    nlohmann::ordered_json sky;
    sky["class"] = "SKY";
    if (device != nullptr) sky["device"] = device;
    std::string time;
    if (TpvReportTimeKnown(instance, time)) sky["time"] = time;
    // A DOP of 0 was never given.
    const auto dop = [&sky](const char* name, float value) {
        if (std::isfinite(value) && value > 0.0f && value < 100.0f) sky[name] = std::round(value * 100.0) / 100.0;
    };
    dop("hdop", fGpsDbGetHdop(instance));
    dop("vdop", fGpsDbGetVdop(instance));
    dop("pdop", fGpsDbGetPdop(instance));

    nlohmann::ordered_json satellites = nlohmann::ordered_json::array();
    const int count = iGpsDbGetSatelliteCount(instance);
    for (int i = 0; i < count; ++i) {
        const _GPS_DB_SATELLITE* s = pGpsDbGetSatellite(instance, i);
        // Listed again for another of its signals: once is enough.
        bool seen = false;
        for (int j = 0; j < i && !seen; ++j) {
            const _GPS_DB_SATELLITE* t = pGpsDbGetSatellite(instance, j);
            seen = t->byGnssId == s->byGnssId && t->bySvid == s->bySvid;
        }
        if (seen) continue;
        nlohmann::ordered_json sat;
        sat["PRN"] = s->wPrn;
        sat["gnssid"] = s->byGnssId;
        sat["svid"] = s->bySvid;
        if (!std::isnan(s->fElevation)) sat["el"] = static_cast<double>(s->fElevation);
        if (!std::isnan(s->fAzimuth)) sat["az"] = static_cast<double>(s->fAzimuth);
        if (!std::isnan(s->fSnr)) sat["ss"] = static_cast<double>(s->fSnr);
        sat["used"] = bGpsDbSatelliteUsed(instance, s->byGnssId, s->bySvid);
        satellites.push_back(sat);
    }
    sky["nSat"] = satellites.size();
    sky["uSat"] = iGpsDbGetNumSats(instance);
    sky["satellites"] = satellites;
    return sky.dump();
}
