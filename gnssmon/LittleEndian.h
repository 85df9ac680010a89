#pragma once
// Little-endian field getters for the receiver's binary messages. Fields are
// assembled byte by byte, so they read the same on any host and at any
// alignment; floats and doubles are IEEE 754 bit patterns.

#include <cstdint>
#include <cstring>

inline uint16_t wGetLe16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t dwGetLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t qwGetLe64(const unsigned char* p)
{
    return static_cast<uint64_t>(dwGetLe32(p)) | (static_cast<uint64_t>(dwGetLe32(p + 4)) << 32);
}

inline float fGetLe32(const unsigned char* p)
{
    const uint32_t bits = dwGetLe32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline double dGetLe64(const unsigned char* p)
{
    const uint64_t bits = qwGetLe64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
