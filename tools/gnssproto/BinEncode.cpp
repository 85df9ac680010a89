#include "tools/gnssproto/BinEncode.h"

#include <cstring>

namespace GnssProto {

void BinData::put(std::size_t offset, uint64_t value, std::size_t size)
{
    if (bytes.size() < offset + size) bytes.resize(offset + size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

BinData& BinData::u8(std::size_t offset, uint8_t value)
{
    put(offset, value, 1);
    return *this;
}

BinData& BinData::u16(std::size_t offset, uint16_t value)
{
    put(offset, value, 2);
    return *this;
}

BinData& BinData::u32(std::size_t offset, uint32_t value)
{
    put(offset, value, 4);
    return *this;
}

BinData& BinData::f32(std::size_t offset, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(offset, bits, 4);
    return *this;
}

BinData& BinData::f64(std::size_t offset, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(offset, bits, 8);
    return *this;
}

uint16_t binChecksum(const std::string& data)
{
    uint16_t sum = 0;
    for (char c : data) sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

std::string binFrameWithChecksum(uint16_t message, const std::string& data, uint16_t checksum)
{
    BinData header;
    header.u16(0, message).u16(2, static_cast<uint16_t>(data.size()));
    BinData trailer;
    trailer.u16(0, checksum);
    return "$BIN" + header.data() + data + trailer.data() + "\r\n";
}

std::string binFrame(uint16_t message, const std::string& data)
{
    return binFrameWithChecksum(message, data, binChecksum(data));
}

std::string encodeBin1(const Bin1& m)
{
    BinData d(kBin1Length);
    d.u8(0, m.ageOfDiff).u8(1, m.numSats).u16(2, m.week).f64(4, m.timeOfWeek)
        .f64(12, m.lat).f64(20, m.lon).f32(28, m.height)
        .f32(32, m.velNorth).f32(36, m.velEast).f32(40, m.velUp).f32(44, m.stdDev)
        .u8(48, m.navMode).u16(50, m.extAgeOfDiff);
    return binFrame(1, d.data());
}

std::string encodeBin2(const Bin2& m)
{
    BinData d(kBin2Length);
    d.u32(0, m.trackedMask).u32(4, m.usedMask).u16(8, m.gpsUtcDiff)
        .u16(10, m.hdopX10).u16(12, m.vdopX10).u16(14, m.sbas);
    return binFrame(2, d.data());
}

uint16_t binSbasWord(int prn1, int prn2)
{
    uint16_t word = 0;
    if (prn1 >= 120) word = static_cast<uint16_t>(word | 0x1 | (((prn1 - 120) & 0x1F) << 5));
    if (prn2 >= 120) word = static_cast<uint16_t>(word | 0x2 | (((prn2 - 120) & 0x1F) << 10));
    return word;
}

std::string encodeBin99(const Bin99& m)
{
    BinData d(kBin99Length);
    for (std::size_t i = 0; i < m.channels.size(); ++i) {
        const Bin99Channel& c = m.channels[i];
        const std::size_t b = 12 + 24 * i;
        d.u8(b + 1, c.sv).u8(b + 8, static_cast<uint8_t>(c.elevation)).u8(b + 9, c.halfAzimuth)
            .u16(b + 12, c.level).u16(b + 14, c.diffCorrCm).u16(b + 16, c.posResidDm);
    }
    return binFrame(99, d.data());
}

} // namespace GnssProto
