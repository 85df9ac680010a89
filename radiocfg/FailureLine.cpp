#include "radiocfg/FailureLine.h"

std::string failureLine(const std::string& message) {
    static const char hex[] = "0123456789abcdef";
    std::string line;
    line.reserve(message.size());
    for (const char c : message) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            line += "\\r";
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            line += "\\x";
            line += hex[byte >> 4];
            line += hex[byte & 0x0f];
        } else {
            line += c;
        }
    }
    return line;
}
