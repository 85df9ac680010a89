#pragma once
// What the simulated receiver says about a fix: binary messages 1, 2 and 99
// and its NMEA sentences, whole frames and sentences ready for the wire.
// Pure functions; the encoding itself is gnssproto's.

#include "tools/gnsssim/Drive.h"

#include <cstdint>
#include <string>
#include <vector>

namespace GnssSim {

// Binary message 1: position, time and velocity.
std::string bin1Frame(const Fix& fix, std::uint8_t navMode);
// Binary message 2: satellite masks, GPS-UTC difference, DOPs, SBAS
// satellites (a PRN below 120 is left out).
std::string bin2Frame(const Fix& fix, int sbasPrn1, int sbasPrn2);
// Binary message 99: per-channel satellite data of the first 12 satellites.
std::string bin99Frame(const Fix& fix);

// NMEA sentence bodies ("$GPVTG,45.0,T,,M,9.72,N,18.00,K,D"), to be framed
// with GnssProto::nmeaSentence.
std::string ggaBody(const Fix& fix);
std::string vtgBody(const Fix& fix);
std::string gstBody(const Fix& fix);
std::vector<std::string> gsvBodies(const Fix& fix);
std::string herotBody(const Fix& fix);
std::string hehdgBody(const Fix& fix);
std::string rd1Body(const Fix& fix);
std::vector<std::string> almBodies(const Fix& fix);

} // namespace GnssSim
