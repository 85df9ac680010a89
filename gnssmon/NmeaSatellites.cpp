#include "gnssmon/NmeaLine.h"

#include "gnssmon/GpsDb.h"
#include "gnssmon/GpsDbSatellites.h"
#include "gnssmon/NmeaParse.h"

#include <cmath>
#include <cstdlib>

// Satellites in view come in a cycle of GSV messages per talker (and, from
// NMEA 4.10 on, per signal): "message m of n". The cycle is collected here
// and handed to the database whole when its last message has arrived in
// order; a cycle that starts in the middle, skips or repeats a message, or
// changes talker on the way is dropped, and the view keeps the last complete
// one.

namespace {

constexpr int kBlocksPerMessage = 4;
constexpr int kMaxMessages = 9;

struct Cycle {
    uint8_t source;  // talker and signal
    long total;      // messages in the cycle
    long next;       // message expected next; 0: no cycle being collected
    int count;
    _GPS_DB_SATELLITE satellites[kMaxMessages * kBlocksPerMessage];
    uint16_t numbers[kMaxMessages * kBlocksPerMessage];  // as the sentences gave them
};

Cycle cycles[NMEA_PARSE_INSTANCES];

// An empty elevation, azimuth or SNR is not known (a satellite not tracked
// has no SNR); a value out of range refuses the block.
bool optional(const NmeaLine& l, int n, double lo, double hi, float& value)
{
    double v = 0.0;
    if (l.empty(n)) {
        value = std::nanf("");
        return true;
    }
    if (!bNmeaReadReal(l.tok[n], lo, hi, v)) return false;
    value = static_cast<float>(v);
    return true;
}

// The fixed channel tables of the GPS and the GLONASS talker follow their
// cycles: the cycle's first 12 satellites in order, the rest cleared.
void fillChannels(int instance, const Cycle& c, NmeaTalker talker)
{
    const bool glonass = talker == TALKER_GL;
    if (talker != TALKER_GP && !glonass) return;
    auto sv = glonass ? GpsDbSetGLONASSChannelDataSV : GpsDbSetGPSChannelDataSV;
    auto el = glonass ? GpsDbSetGLONASSChannelDataElevation : GpsDbSetGPSChannelDataElevation;
    auto az = glonass ? GpsDbSetGLONASSChannelDataHalfAzimuth : GpsDbSetGPSChannelDataHalfAzimuth;
    auto snr = glonass ? GpsDbSetGLONASSChannelDataSNR : GpsDbSetGPSChannelDataSNR;
    const auto orZero = [](float v) { return std::isnan(v) ? 0.0f : v; };
    for (int channel = 0; channel < GPS_DB_CHANNELS; ++channel) {
        const _GPS_DB_SATELLITE* s = channel < c.count ? &c.satellites[channel] : nullptr;
        sv(instance, channel, static_cast<unsigned char>(s && c.numbers[channel] <= 255 ? c.numbers[channel] : 0));
        el(instance, channel, static_cast<signed char>(s ? orZero(s->fElevation) : 0.0f));
        az(instance, channel, static_cast<uint16_t>(s ? orZero(s->fAzimuth) : 0.0f));
        snr(instance, channel, s ? orZero(s->fSnr) : 0.0);
    }
}

} // namespace

void NmeaSatellitesInit(int instance)
{
    if (instance >= 0 && instance < NMEA_PARSE_INSTANCES) cycles[instance].next = 0;
}

// "$GLGSV,3,1,10,85,85,247,32,69,53,053,37,70,52,187,27,86,36,310,,1*72":
// message 1 of 3, 10 GLONASS satellites in view, then up to four blocks of
// number, elevation, azimuth and SNR (the last message of a cycle may hold
// fewer, or empty ones), and from NMEA 4.10 on the signal ID
// ("$GPGSV,2,2,06,07,05,097,,13,80,264,,1*64": two blocks and signal 1, not
// a third satellite). One receiver adds a system ID after the signal ID.
void NmeaDecodeGsv(const NmeaLine& l)
{
    Cycle& c = cycles[l.instance];
    long total = 0, number = 0;
    if (!bNmeaReadInt(l.tok[1], 1, kMaxMessages, total) || !bNmeaReadInt(l.tok[2], 1, total, number)) {
        c.next = 0;
        return;
    }
    const int fields = l.count - 1;
    const int blocks = (fields - 3) / 4 < kBlocksPerMessage ? (fields - 3) / 4 : kBlocksPerMessage;
    // The signal ID is one hexadecimal digit.
    const int signalField = 4 + 4 * blocks;
    const long signal = l.has(signalField) && l.tok[signalField][0] != '\0' && l.tok[signalField][1] == '\0'
                            ? std::strtol(l.tok[signalField], nullptr, 16)
                            : 0;
    const uint8_t source = static_cast<uint8_t>(l.talker * 16 + signal);

    if (number == 1) {
        c.source = source;
        c.total = total;
        c.next = 1;
        c.count = 0;
    } else if (c.next != number || c.total != total || c.source != source) {
        c.next = 0;
        return;
    }
    for (int i = 0; i < blocks; ++i) {
        const int at = 4 + 4 * i;
        long sv = 0;
        GnssSatelliteId id{};
        _GPS_DB_SATELLITE s{};
        if (l.empty(at) || !bNmeaReadInt(l.tok[at], 1, 999, sv) || !bGnssSatellite(l.talker, sv, &id) ||
            !optional(l, at + 1, -90.0, 90.0, s.fElevation) || !optional(l, at + 2, 0.0, 360.0, s.fAzimuth) ||
            !optional(l, at + 3, 0.0, 99.0, s.fSnr))
            continue;
        s.wPrn = id.prn;
        s.byGnssId = id.gnssid;
        s.bySvid = id.svid;
        c.numbers[c.count] = static_cast<uint16_t>(sv);
        c.satellites[c.count++] = s;
    }
    if (number < total) {
        ++c.next;
        return;
    }
    c.next = 0;
    fillChannels(l.instance, c, l.talker);
    GpsDbReplaceSatellites(l.instance, source, c.satellites, c.count);
}

// "$GNGSA,A,3,68,69,70,78,84,85,,,,,,,1.5,1.3,1.0,2*3D": selection mode, fix
// type, the numbers of up to 12 satellites used, PDOP, HDOP, VDOP and from
// NMEA 4.10 on the system ID whose numbering the satellites use (without it,
// the talker's). A receiver sends one per constellation in an epoch; they
// add up to the fix's used list.
void NmeaDecodeGsa(const NmeaLine& l)
{
    NmeaTalker numbering = l.talker;
    long system = 0;
    if (l.has(18) && bNmeaReadInt(l.tok[18], 1, 15, system) && eNmeaTalkerOfSystemId(system) != TALKER_NONE)
        numbering = eNmeaTalkerOfSystemId(system);
    GpsDbSetUsedSatellitesFix(l.instance, dwGpsDbGetNewPosTick(l.instance));
    for (int n = 3; n <= 14; ++n) {
        long number = 0;
        GnssSatelliteId id{};
        if (!l.empty(n) && bNmeaReadInt(l.tok[n], 1, 999, number) && bGnssSatellite(numbering, number, &id))
            GpsDbAddUsedSatellite(l.instance, id.gnssid, id.svid);
    }
    double dop = 0.0;
    if (!l.empty(15) && bNmeaReadReal(l.tok[15], 0.01, 99.99, dop)) GpsDbSetPdop(l.instance, static_cast<float>(dop));
    if (!l.empty(16) && bNmeaReadReal(l.tok[16], 0.01, 99.99, dop)) GpsDbSetHdop(l.instance, static_cast<float>(dop));
    if (!l.empty(17) && bNmeaReadReal(l.tok[17], 0.01, 99.99, dop)) GpsDbSetVdop(l.instance, static_cast<float>(dop));
}
