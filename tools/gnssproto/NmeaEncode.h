#pragma once
// NMEA 0183 sentences as a receiver sends them.

#include <cstdint>
#include <string>

namespace GnssProto {

// XOR of the characters of `body` after its leading "$" (if any).
uint8_t nmeaChecksum(const std::string& body);

// "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K" ->
// "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n"
std::string nmeaSentence(const std::string& body);

// The same with a checksum that is off by `delta` (for rejection tests).
std::string nmeaSentenceBadChecksum(const std::string& body, uint8_t delta = 1);

// A reply line without checksum: body + "\r\n" ("$>JT,R320\r\n").
std::string nmeaReply(const std::string& body);

} // namespace GnssProto
