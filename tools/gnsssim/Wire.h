#pragma once
// Wire framing used by the simulated receiver: NMEA sentences with their
// checksum and "$BIN" binary frames. Kept behind these two functions so the
// simulator frames exactly like the parsers' own test encoders.

#include <cstdint>
#include <string>

namespace GnssSim {

// "$" + body + "*" + two upper-case hex digits (XOR of the body) + CR LF.
// Body is everything between "$" and "*", e.g. "GPVTG,45.0,T,,M,9.7,N,18.0,K,A".
std::string nmeaSentence(const std::string& body);

// "$BIN", message number (u16 LE), data length (u16 LE), data, checksum
// (sum of the data bytes modulo 65536, u16 LE).
std::string binFrame(std::uint16_t message, const std::string& data);

} // namespace GnssSim
