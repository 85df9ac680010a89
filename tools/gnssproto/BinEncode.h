#pragma once
// "$BIN" binary messages as a receiver sends them, built from field values.
//
// Frame: "$BIN", message number (u16), data length N (u16), N data bytes,
// checksum (u16, sum of the data bytes modulo 65536); every multi-byte field
// little-endian, floats and doubles IEEE 754. The receiver ends each frame
// with CR LF, which the frame parser skips and which closes any text line a
// "$" inside the binary data may have opened. Bytes travel in std::string.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace GnssProto {

// Data block of a message, written field by field at explicit offsets; the
// block grows to hold what is written.
class BinData {
public:
    explicit BinData(std::size_t length = 0) : bytes(length, '\0') {}
    BinData& u8(std::size_t offset, uint8_t value);
    BinData& u16(std::size_t offset, uint16_t value);
    BinData& u32(std::size_t offset, uint32_t value);
    BinData& f32(std::size_t offset, float value);
    BinData& f64(std::size_t offset, double value);
    const std::string& data() const { return bytes; }

private:
    void put(std::size_t offset, uint64_t value, std::size_t size);
    std::string bytes;
};

// Sum of the data bytes modulo 65536.
uint16_t binChecksum(const std::string& data);

// Whole frame with its right checksum, and CR LF.
std::string binFrame(uint16_t message, const std::string& data);
// Whole frame with a checksum of one's own choosing, and CR LF.
std::string binFrameWithChecksum(uint16_t message, const std::string& data, uint16_t checksum);

// Message 1: position, time and velocity (52 bytes).
struct Bin1 {
    uint8_t ageOfDiff = 0;       // s
    uint8_t numSats = 0;
    uint16_t week = 0;
    double timeOfWeek = 0.0;     // s
    double lat = 0.0;            // degrees
    double lon = 0.0;            // degrees
    float height = 0.0f;         // m
    float velNorth = 0.0f;       // m/s
    float velEast = 0.0f;        // m/s
    float velUp = 0.0f;          // m/s
    float stdDev = 0.0f;         // of the residuals
    uint8_t navMode = 0;         // low 3 bits: navigation status
    uint16_t extAgeOfDiff = 0;   // s; 0 = use ageOfDiff
};
constexpr std::size_t kBin1Length = 52;
std::string encodeBin1(const Bin1& m);

// Message 2: satellite masks, DOPs, SBAS PRNs (16 bytes).
struct Bin2 {
    uint32_t trackedMask = 0;
    uint32_t usedMask = 0;
    uint16_t gpsUtcDiff = 0;     // s
    uint16_t hdopX10 = 0;
    uint16_t vdopX10 = 0;
    uint16_t sbas = 0;           // bit 0/1: PRN 1/2 valid; bits 5-9, 10-14: PRN - 120
};
constexpr std::size_t kBin2Length = 16;
std::string encodeBin2(const Bin2& m);
// SBAS word for up to two PRNs (0 = none).
uint16_t binSbasWord(int prn1, int prn2);

// Message 99: 12 channel blocks of 24 bytes after 12 leading bytes (300).
struct Bin99Channel {
    uint8_t sv = 0;
    int8_t elevation = 0;        // degrees
    uint8_t halfAzimuth = 0;     // azimuth / 2, degrees
    uint16_t level = 0;          // signal level
    uint16_t diffCorrCm = 0;
    uint16_t posResidDm = 0;
};
struct Bin99 {
    std::array<Bin99Channel, 12> channels{};
};
constexpr std::size_t kBin99Length = 300;
std::string encodeBin99(const Bin99& m);

} // namespace GnssProto
