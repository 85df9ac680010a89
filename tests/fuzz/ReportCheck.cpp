// The checks of the TPV and SKY objects (ReportCheck.h). Built without the
// fuzzer's coverage feedback: the JSON parser it uses is not what is fuzzed.

#include "tests/fuzz/ReportCheck.h"

#include "tests/fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>

namespace {

using nlohmann::json;

bool within(const json& o, const char* field, double low, double high)
{
    if (!o.contains(field)) return true;
    const json& v = o[field];
    return v.is_number() && std::isfinite(v.get<double>()) && v.get<double>() >= low && v.get<double>() <= high;
}

bool integer(const json& o, const char* field, long low, long high)
{
    if (!o.contains(field)) return true;
    const json& v = o[field];
    return v.is_number_integer() && v.get<long>() >= low && v.get<long>() <= high;
}

// "2026-12-07T14:34:04.200Z"
bool isTime(const json& o)
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

json object(const std::string& line, const char* cls, const char* device)
{
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    const json o = json::parse(line, nullptr, false);
    FUZZ_CHECK(o.is_object());
    FUZZ_CHECK(o.value("class", "") == cls && o.value("device", "") == device);
    FUZZ_CHECK(isTime(o));
    return o;
}

} // namespace

namespace ReportCheck {

void tpv(const std::string& line, const char* device)
{
    const json o = object(line, "TPV", device);
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

void sky(const std::string& line, const char* device)
{
    const json o = object(line, "SKY", device);
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

} // namespace ReportCheck
