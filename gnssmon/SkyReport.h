#pragma once
// A receiver's satellites as a SKY report: one JSON object on one line, as
// the GNSS daemon's clients read it:
//
//   {"class":"SKY","device":"/dev/ttyO1","time":"2026-12-07T14:34:04.200Z",
//    "hdop":0.9,"vdop":1.3,"pdop":1.6,"nSat":2,"uSat":9,"satellites":[
//    {"PRN":66,"gnssid":6,"svid":2,"el":37.0,"az":78.0,"ss":27.0,"used":true},...]}
//
// From the GPS database's sky view (GpsDbSatellites.h): every satellite in
// view once, in the order the cycles listed them; `used` from the receiver's
// GSA sentences or binary message 2. `uSat` is the number of satellites the
// newest fix used, as the receiver counted them; the DOPs and the time are
// left out while not known, and so is a satellite's elevation, azimuth or
// signal level.
//
// Built only when a report is printed: it allocates, and is not part of the
// receive path.

#include <string>

std::string SkyReportLine(int instance, const char* device);
