#include "radio/satel/SatelAnswers.h"

#include <cmath>
#include <vector>

#include "common/Conversions.h"
#include "common/Exception.h"
#include "radio/RadioExceptions.h"

namespace Veltrio {
namespace Radio {
namespace SatelAnswers {

namespace {

using Common::ConversionException;

const char* const digits = "0123456789";
const char* const signedDigits = "-0123456789";
constexpr std::size_t npos = std::string::npos;

unsigned int position(std::size_t index) { return static_cast<unsigned int>(index); }

// A number and its unit somewhere in the text: the first and the last
// character of `digitSet`, and `unit` at or after the last of them.
struct NumberWithUnit {
    std::size_t first = npos;
    std::size_t last = npos;
    std::size_t unit = npos;
};

bool findNumberWithUnit(const std::string& text, const char* digitSet, const std::string& unit,
                        NumberWithUnit& found) {
    found.first = text.find_first_of(digitSet);
    found.last = text.find_last_of(digitSet);
    if (found.first == npos || found.last == npos) return false;
    found.unit = text.find(unit, found.last);
    return found.unit != npos;
}

// The decimal number text times `scale`, rounded to the nearest unit: the
// radio's decimals are exact, a binary double is not (4.01397 MHz would come
// out as 4013969 Hz if the fraction were merely cut off).
unsigned int scaled(const std::string& number, double scale) {
    const double value = std::round(Common::convertStrToDouble(number) * scale);
    if (!(value >= 0.0 && value <= 4294967295.0)) throw ConversionException("Number out of range: " + number);
    return static_cast<unsigned int>(value);
}

bool scaledWithUnit(const std::string& text, const std::string& unit, double scale, unsigned int& value, Span& span) {
    NumberWithUnit found;
    if (!findNumberWithUnit(text, digits, unit, found)) return false;
    value = scaled(text.substr(found.first, found.last - found.first + 1), scale);
    span = {position(found.first), position(found.unit + unit.size() - found.first)};
    return true;
}

bool integerWithUnit(const std::string& text, const char* digitSet, const std::string& unit, int& value, Span& span) {
    NumberWithUnit found;
    if (!findNumberWithUnit(text, digitSet, unit, found)) return false;
    value = Common::convertStrToInt(text.substr(found.first, found.last - found.first + 1));
    span = {position(found.first), position(found.unit + unit.size() - found.first)};
    return true;
}

} // namespace

std::string answerText(const Common::CharVector& data) {
    const std::string bytes = data.str();
    return bytes.substr(0, bytes.find('\0'));
}

AnswerEnd answerEnd(const Common::CharVector& data) {
    const std::string text = answerText(data);
    if (text.find_first_not_of("\r\n") == npos) return AnswerEnd::Awaited;
    return text.back() == '\n' ? AnswerEnd::Whole : AnswerEnd::Unknown;
}

bool frequencies(const std::string& text, SatelFrequencies& value, Span& span) {
    const std::size_t comma = text.find(',');
    const std::size_t tx = text.find("TX");
    const std::size_t rx = text.find("RX");
    if (comma == npos || tx == npos || rx == npos || tx > comma || comma > rx) return false;
    if (text.find("MHz") == text.rfind("MHz")) return false; // fewer than two
    // The receive number ends with its own unit; until that has arrived the
    // answer is not complete, whatever "MHz" came before.
    const std::size_t rxUnit = text.find("MHz", rx);
    if (rxUnit == npos) return false;
    const std::string txPart = text.substr(tx, comma + 1 - tx);
    const std::string rxPart = text.substr(rx);
    const std::size_t txFirst = txPart.find_first_of(digits), txLast = txPart.find_last_of(digits);
    const std::size_t rxFirst = rxPart.find_first_of(digits), rxLast = rxPart.find_last_of(digits);
    if (txFirst == npos || txLast == npos || rxFirst == npos || rxLast == npos) return false;
    SatelFrequencies read;
    read.tx = scaled(txPart.substr(txFirst, txLast - txFirst + 1), 1000000.0);
    read.rx = scaled(rxPart.substr(rxFirst, rxLast - rxFirst + 1), 1000000.0);
    value = read;
    span = {position(tx), position(rxUnit + 3 - tx)};
    return true;
}

bool centerFrequency(const std::string& text, unsigned int& hz, Span& span) {
    return scaledWithUnit(text, "MHz", 1000000.0, hz, span);
}

bool channelSpacing(const std::string& text, unsigned int& hz, Span& span) {
    return scaledWithUnit(text, "kHz", 1000.0, hz, span);
}

bool power(const std::string& text, unsigned int& mW, Span& span) {
    int read = 0;
    if (!integerWithUnit(text, digits, "mW", read, span)) return false;
    mW = static_cast<unsigned int>(read); // no sign in the digit set: never negative
    return true;
}

bool signalThreshold(const std::string& text, int& dBm, Span& span) {
    return integerWithUnit(text, signedDigits, "dBm", dBm, span);
}

bool signalLevel(const std::string& text, int& dBm, Span& span) {
    if (!integerWithUnit(text, signedDigits, "dBm", dBm, span)) return false;
    const std::size_t marker = text.find_first_of("<>");
    if (marker != npos && marker < span.start) {
        span.length += span.start - position(marker);
        span.start = position(marker);
    }
    return true;
}

bool addresses(const std::string& text, SatelAddresses& value, Span& span) {
    const std::size_t semicolon = text.find(';');
    if (text.size() != 9 || semicolon == npos) return false;
    // A ";" before four address characters: as unreadable as a non-hex digit.
    if (semicolon < 4) throw ConversionException("Invalid hexstring to int conversion");
    SatelAddresses read{text.substr(semicolon - 4, 4), text.substr(semicolon + 1, 4)};
    Common::convertHexStrToInt(read.tx);
    Common::convertHexStrToInt(read.rx);
    value = read;
    span = {position(semicolon - 4), 9};
    return true;
}

bool operationMode(const std::string& text, OPERATION_MODE& value, Span& span) {
    if (text.empty()) return false;
    switch (text[0]) {
    case 'D': case 'R': case 'S': break;
    default: throw InvalidOperationModeException(text);
    }
    value = static_cast<OPERATION_MODE>(text[0]);
    span = {0, 1};
    return true;
}

bool wholeText(const std::string& text, std::string& value, Span& span) {
    if (text.empty()) return false;
    value = text;
    span = {0, position(text.size())};
    return true;
}

bool softwareVersion(const std::string& text, std::string& value, Span& span) {
    const std::size_t v = text.find('V');
    if (v == npos) return false;
    const std::size_t end = text.find_first_not_of("0123456789.", v + 1);
    value = text.substr(v, end == npos ? npos : end - v);
    span = {position(v), position(value.size())};
    return true;
}

bool radioBoardVersion(const std::string& text, std::string& value, Span& span) {
    const std::size_t hw = text.find("HW:");
    if (hw == npos) return false;
    value = text.substr(hw + 3);
    span = {position(hw), position(text.size() - hw)};
    return true;
}

bool serialPortConfig(const std::string& text, SatelSerialPortConfig& value, Span& span) {
    std::vector<std::string> fields;
    Common::tokenize(text, fields, ',');
    // Four fields and something in the last: an answer cut after its last
    // comma is not complete yet.
    if (fields.size() != 4 || fields[3].empty()) return false;
    const std::size_t lastNonDigit = fields[0].find_last_not_of(digits);
    const std::string baudDigits = lastNonDigit == npos ? fields[0] : fields[0].substr(lastNonDigit + 1);
    const int baud = Common::convertStrToInt(baudDigits);
    const int bits = Common::convertStrToInt(fields[1]);
    const char parity = fields[2].empty() ? '\0' : fields[2][0];
    const int stopBits = Common::convertStrToInt(fields[3]);
    if (!isSatelSerialPortConfig(baud, bits, parity, stopBits)) throw InvalidSerialPortConfigException(text);
    value.baud = static_cast<Common::PORT_CONFIG_BAUD>(baud);
    value.bits = static_cast<Common::PORT_CONFIG_BITS>(bits);
    value.parity = static_cast<Common::PORT_CONFIG_PARITY>(parity);
    value.stopBits = static_cast<Common::PORT_CONFIG_STOPBITS>(stopBits);
    span = {lastNonDigit == npos ? 0u : position(lastNonDigit), position(baudDigits.size() + 6)};
    return true;
}

} // namespace SatelAnswers
} // namespace Radio
} // namespace Veltrio
