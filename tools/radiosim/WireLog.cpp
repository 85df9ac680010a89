#include "tools/radiosim/WireLog.h"

#include <cstdio>

namespace RadioSim {

std::string escapeBytes(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r': text += "\\r"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case '\\': text += "\\\\"; break;
        default:
            if (byte >= 0x20 && byte < 0x7f) {
                text += c;
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                text += hex;
            }
        }
    }
    return text;
}

std::string formatWireEntry(const WireEntry& entry) {
    switch (entry.direction) {
    case WireDirection::Received: return "> " + escapeBytes(entry.bytes);
    case WireDirection::Sent: return "< " + escapeBytes(entry.bytes);
    case WireDirection::Event: break;
    }
    return "! " + entry.bytes;
}

} // namespace RadioSim
