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
#include "tests/fuzz/ReportCheck.h"

namespace {

constexpr char kDevice[] = "/dev/ttyO1";

FUZZ_NO_COVERAGE void report(int instance, int kind)
{
    if (instance != 0) return;
    if (kind == GPS_DB_REPORT_FIX) ReportCheck::tpv(TpvReportLine(0, kDevice), kDevice);
    if (kind == GPS_DB_REPORT_SKY) ReportCheck::sky(SkyReportLine(0, kDevice), kDevice);
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
    ReportCheck::tpv(TpvReportLine(0, kDevice), kDevice);
    ReportCheck::sky(SkyReportLine(0, kDevice), kDevice);
    GpsDbSetReportCallback(nullptr);
    return 0;
}
