#include "radio/microhard/MicrohardAnswer.h"

#include <cctype>
#include <limits>

#include "common/Conversions.h"
#include "common/Exception.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;
using Veltrio::Common::ConversionException;

namespace {
std::string answerText(const CharVector& data) {
    const std::string text = data.str();
    return text.substr(0, text.find('\0'));
}
} // namespace

MicrohardLine microhardFirstLine(const CharVector& data, std::string& line) {
    const std::string text = answerText(data);
    const std::size_t first = text.find_first_not_of("\r\n");
    if (first == std::string::npos) return MicrohardLine::NoText;
    const std::size_t end = text.find_first_of("\r\n", first);
    if (end == std::string::npos) return MicrohardLine::Unfinished;
    line = text.substr(first, end - first);
    return MicrohardLine::Complete;
}

AnswerEnd microhardResultEnd(const CharVector& data) {
    const std::string text = answerText(data);
    if (text.empty() || text.back() != '\n') return AnswerEnd::Awaited;
    const std::size_t last = text.find_last_not_of("\r\n");
    if (last == std::string::npos) return AnswerEnd::Awaited;
    const std::size_t lineEnd = text.find_last_of("\r\n", last);
    const std::size_t first = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    const std::string line = text.substr(first, last + 1 - first);
    return line == "OK" || line == "ERROR" ? AnswerEnd::Whole : AnswerEnd::Awaited;
}

std::size_t microhardLineCount(const CharVector& data) {
    const std::string text = answerText(data);
    std::size_t lines = 0;
    for (std::size_t at = text.find_first_not_of("\r\n"); at != std::string::npos;
         at = text.find_first_not_of("\r\n", text.find_first_of("\r\n", at)))
        ++lines;
    return lines;
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
