#include "tools/gnssproto/NmeaEncode.h"

#include <cstdio>

namespace GnssProto {

namespace {

std::string withChecksum(const std::string& body, uint8_t sum)
{
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return body + tail;
}

} // namespace

uint8_t nmeaChecksum(const std::string& body)
{
    uint8_t sum = 0;
    for (std::size_t i = (!body.empty() && body[0] == '$') ? 1 : 0; i < body.size(); ++i)
        sum ^= static_cast<uint8_t>(body[i]);
    return sum;
}

std::string nmeaSentence(const std::string& body)
{
    return withChecksum(body, nmeaChecksum(body));
}

std::string nmeaSentenceBadChecksum(const std::string& body, uint8_t delta)
{
    return withChecksum(body, static_cast<uint8_t>(nmeaChecksum(body) + (delta ? delta : 1)));
}

std::string nmeaReply(const std::string& body)
{
    return body + "\r\n";
}

} // namespace GnssProto
