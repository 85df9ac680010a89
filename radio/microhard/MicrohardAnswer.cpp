#include "radio/microhard/MicrohardAnswer.h"

#include <cctype>
#include <limits>

#include "common/Conversions.h"
#include "common/Exception.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;
using Veltrio::Common::ConversionException;

MicrohardLine microhardFirstLine(const CharVector& data, std::string& line) {
    std::string text = data.str();
    text = text.substr(0, text.find('\0'));
    const std::size_t first = text.find_first_not_of("\r\n");
    if (first == std::string::npos) return MicrohardLine::NoText;
    const std::size_t end = text.find_first_of("\r\n", first);
    if (end == std::string::npos) return MicrohardLine::Unfinished;
    line = text.substr(first, end - first);
    return MicrohardLine::Complete;
}

std::string microhardSerialNumber(const std::string& line) {
    const std::size_t blank = line.find(' ');
    return blank == std::string::npos ? line : line.substr(blank + 1);
}

unsigned int microhardL400Frequency(const std::string& line) {
    const std::size_t dash = line.rfind('-');
    const double megahertz =
        Veltrio::Common::convertStrToDouble(dash == std::string::npos ? line : line.substr(dash + 1));
    const double hertz = megahertz * 1000000.0;
    // The cast below is only defined for values that fit; a garbled line must
    // not turn into an arbitrary frequency.
    if (!(hertz >= 0.0 && hertz < 4294967296.0)) throw ConversionException("Invalid frequency " + line);
    return static_cast<unsigned int>(hertz);
}

unsigned int microhardUnsigned(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        throw ConversionException("Invalid string to unsigned conversion");
    unsigned long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > std::numeric_limits<unsigned int>::max())
            throw ConversionException("Invalid string to unsigned conversion");
    }
    return static_cast<unsigned int>(value);
}

} // namespace Radio
} // namespace Veltrio
