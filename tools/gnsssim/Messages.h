#pragma once
// What the simulated receiver says about a fix: the data of binary messages
// 1, 2 and 99 (little-endian, layouts of the receiver's binary protocol) and
// the bodies of its NMEA sentences (without "$", "*", checksum and CR LF).
// Pure functions: framing is done by Wire.h.

#include "tools/gnsssim/Drive.h"

#include <cstdint>
#include <string>
#include <vector>

namespace GnssSim {

// Binary message 1: position, time and velocity (52 data bytes).
std::string bin1Data(const Fix& fix, std::uint8_t navMode);
// Binary message 2: satellite masks, GPS-UTC difference, DOPs, SBAS satellites
// (16 data bytes). sbasPrn1/2 of 0 leave their bit clear.
std::string bin2Data(const Fix& fix, int sbasPrn1, int sbasPrn2);
// Binary message 99: 12 unused bytes, then 12 channel blocks of 24 bytes.
std::string bin99Data(const Fix& fix);

// NMEA sentence bodies.
std::string ggaBody(const Fix& fix);
std::string vtgBody(const Fix& fix);
std::string gstBody(const Fix& fix);
std::vector<std::string> gsvBodies(const Fix& fix);
std::string herotBody(const Fix& fix);
std::string hehdgBody(const Fix& fix);
std::string rd1Body(const Fix& fix);
std::vector<std::string> almBodies(const Fix& fix);

} // namespace GnssSim
