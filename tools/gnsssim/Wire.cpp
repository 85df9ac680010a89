#include "tools/gnsssim/Wire.h"

#include <cstdio>

namespace GnssSim {

std::string nmeaSentence(const std::string& body) {
    unsigned char x = 0;
    for (char c : body) x ^= static_cast<unsigned char>(c);
    char cs[8];
    std::snprintf(cs, sizeof cs, "*%02X\r\n", x);
    return "$" + body + cs;
}

std::string binFrame(std::uint16_t message, const std::string& data) {
    std::string f = "$BIN";
    auto u16 = [&f](unsigned v) {
        f.push_back(static_cast<char>(v & 0xFF));
        f.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    u16(message);
    u16(static_cast<unsigned>(data.size()));
    f += data;
    unsigned sum = 0;
    for (char c : data) sum += static_cast<unsigned char>(c);
    u16(sum & 0xFFFF);
    return f;
}

} // namespace GnssSim
