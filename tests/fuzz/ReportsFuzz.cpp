// Fuzz target: the TPV and SKY objects of gnssmon --json, built from
// whatever the receiver sent.
//
// The input is the receiver's byte stream (binary messages 1 and 2, NMEA),
// fed to both parsers as the receiver manager feeds them; every report the
// database calls for is built as the program builds it.
//
// Invariants besides "no crash, no sanitizer report": every object is one
// line of valid JSON with only the documented fields, each of its type and
// inside its range; no number is missing (a value that is not finite would
// come out as null).

#include "gnssmon/GpsDb.h"
#include "gnssmon/NmeaParse.h"
#include "gnssmon/QelParse.h"
#include "gnssmon/SkyReport.h"
#include "gnssmon/TimeServices.h"
#include "gnssmon/TpvReport.h"
#include "tests/fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <string>

namespace {

using nlohmann::json;

constexpr char kDevice[] = "/dev/ttyO1";

FUZZ_NO_COVERAGE bool within(const json& o, const char* field, double low, double high)
{
    if (!o.contains(field)) return true;
    const json& v = o[field];
    return v.is_number() && std::isfinite(v.get<double>()) && v.get<double>() >= low && v.get<double>() <= high;
}

FUZZ_NO_COVERAGE bool integer(const json& o, const char* field, long low, long high)
{
    if (!o.contains(field)) return true;
    const json& v = o[field];
    return v.is_number_integer() && v.get<long>() >= low && v.get<long>() <= high;
}

// "2026-12-07T14:34:04.200Z"
FUZZ_NO_COVERAGE bool isTime(const json& o)
{
    if (!o.contains("time")) return true;
    if (!o["time"].is_string()) return false;
    const std::string t = o["time"];
    const std::string shape = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (t.size() != shape.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != shape[i]) return false;
    return true;
}

FUZZ_NO_COVERAGE json object(const std::string& line, const char* cls)
{
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    const json o = json::parse(line, nullptr, false);
    FUZZ_CHECK(o.is_object());
    FUZZ_CHECK(o.value("class", "") == cls && o.value("device", "") == kDevice);
    FUZZ_CHECK(isTime(o));
    return o;
}

FUZZ_NO_COVERAGE void checkTpv(const std::string& line)
{
    const json o = object(line, "TPV");
    for (const auto& [key, value] : o.items()) {
        static const char* const known[] = {"class", "device", "mode", "status", "time", "lat", "lon", "alt",
                                            "track", "speed", "climb", "dgpsAge", "leapseconds"};
        FUZZ_CHECK(std::find(std::begin(known), std::end(known), key) != std::end(known));
        FUZZ_CHECK(!value.is_null());
    }
    FUZZ_CHECK(o.contains("mode") && integer(o, "mode", 0, 3));
    FUZZ_CHECK(integer(o, "status", 1, 5));
    FUZZ_CHECK(within(o, "lat", -90, 90) && within(o, "lon", -180, 180));
    FUZZ_CHECK(within(o, "alt", -1e7, 1e7) && within(o, "climb", -1e7, 1e7));
    FUZZ_CHECK(within(o, "track", 0, 360) && (!o.contains("track") || o["track"].get<double>() < 360));
    FUZZ_CHECK(within(o, "speed", 0, 1e7) && within(o, "dgpsAge", 0, 1e7));
    FUZZ_CHECK(integer(o, "leapseconds", 1, 65535));  // as message 2 gives it
}

FUZZ_NO_COVERAGE void checkSky(const std::string& line)
{
    const json o = object(line, "SKY");
    for (const auto& [key, value] : o.items()) {
        static const char* const known[] = {"class", "device", "time", "hdop", "vdop", "pdop", "nSat", "uSat",
                                            "satellites"};
        FUZZ_CHECK(std::find(std::begin(known), std::end(known), key) != std::end(known));
        FUZZ_CHECK(!value.is_null());
    }
    FUZZ_CHECK(within(o, "hdop", 0, 1e7) && within(o, "vdop", 0, 1e7) && within(o, "pdop", 0, 1e7));
    FUZZ_CHECK(integer(o, "uSat", 0, 1000));
    FUZZ_CHECK(o.contains("satellites") && o["satellites"].is_array());
    FUZZ_CHECK(o.contains("nSat") && integer(o, "nSat", 0, 1000) && o["nSat"] == o["satellites"].size());
    for (const json& s : o["satellites"]) {
        FUZZ_CHECK(s.is_object());
        for (const auto& [key, value] : s.items()) {
            static const char* const known[] = {"PRN", "gnssid", "svid", "el", "az", "ss", "used"};
            FUZZ_CHECK(std::find(std::begin(known), std::end(known), key) != std::end(known));
            FUZZ_CHECK(!value.is_null());
        }
        FUZZ_CHECK(s.contains("PRN") && integer(s, "PRN", 1, 1000) && integer(s, "svid", 0, 1000));
        const long gnss = s.value("gnssid", -1L);
        FUZZ_CHECK(gnss == 0 || gnss == 1 || gnss == 2 || gnss == 3 || gnss == 5 || gnss == 6 || gnss == 7);
        FUZZ_CHECK(within(s, "el", -90, 90) && within(s, "az", 0, 360) && within(s, "ss", 0, 1000));
        FUZZ_CHECK(s.contains("used") && s["used"].is_boolean());
    }
}

FUZZ_NO_COVERAGE void report(int instance, int kind)
{
    if (instance != 0) return;
    if (kind == GPS_DB_REPORT_FIX) checkTpv(TpvReportLine(0, kDevice));
    if (kind == GPS_DB_REPORT_SKY) checkSky(SkyReportLine(0, kDevice));
}

} // namespace

extern "C" FUZZ_NO_COVERAGE int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    TimerForTestOnlyFreeze(4000000);
    PutTime(0.0);
    GpsDbInit(0, false);
    NmeaParseInit(0);
    QelParseInit(0);
    GpsDbSetReportCallback(report);
    for (std::size_t k = 0; k < size; ++k) {
        NmeaParseProcessChrIn(0, static_cast<char>(data[k]));
        QelParseProcessChrIn(0, data[k]);
    }
    // And once more at the end, whatever was or was not reported.
    checkTpv(TpvReportLine(0, kDevice));
    checkSky(SkyReportLine(0, kDevice));
    GpsDbSetReportCallback(nullptr);
    return 0;
}
