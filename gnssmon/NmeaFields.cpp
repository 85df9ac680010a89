#include "gnssmon/NmeaFields.h"

#include <cmath>
#include <cstring>

namespace {

// Tokenizer position: start of the text and offset of the next scan. The
// offset is 16 bits, ample for a line of 128 characters.
char* tokenText = nullptr;
uint16_t tokenPos = 0;

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Up to 8 digits; a character that is not a hex digit counts as 0.
uint32_t readHex(const char* field, std::size_t digits)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int d = hexDigit(field[i]);
        value = (value << 4) | static_cast<uint32_t>(d < 0 ? 0 : d);
    }
    return value;
}

} // namespace

char* pszGpsToken(char* text, const char* delimiters)
{
    if (text) {
        tokenText = text;
        tokenPos = 0;
    }
    if (!tokenText) return nullptr;

    // One scan per token (every line of the receiver passes through here, a
    // library call per character cost a third of the NMEA parser's time).
    char* const start = tokenText + tokenPos;
    char* const p = start + std::strcspn(start, delimiters);
    if (*p) {
        *p = '\0';
        tokenPos = static_cast<uint16_t>(p + 1 - tokenText);
        return start;
    }
    // End of text: the last token again on every further call.
    return *start ? start : nullptr;
}

bool bNmeaChecksumOk(const char* line)
{
    if (*line == '$') ++line;
    unsigned char sum = 0;
    for (; *line && *line != '*'; ++line) sum ^= static_cast<unsigned char>(*line);
    if (*line != '*') return false;
    const int hi = hexDigit(line[1]);
    if (hi < 0) return false;
    const int lo = hexDigit(line[2]);
    if (lo < 0) return false;
    return sum == static_cast<unsigned char>(hi * 16 + lo);
}

uint32_t dwNmeaHexUnsigned(const char* field)
{
    const std::size_t len = std::strlen(field);
    return len > 8 ? 0 : readHex(field, len);
}

int32_t lNmeaHexSigned(const char* field)
{
    std::size_t len = std::strlen(field);
    if (len > 8) len = 8;
    uint32_t value = readHex(field, len);
    if (len > 0 && len < 8 && hexDigit(field[0]) >= 8)
        value |= ~uint32_t{0} << (4 * len);
    return static_cast<int32_t>(value);
}

double dXlateGgaLatLon(double angle)
{
    const double x = angle * 0.01;
    const double degrees = std::trunc(x);
    return degrees + (x - degrees) * 10.0 / 6.0;
}
