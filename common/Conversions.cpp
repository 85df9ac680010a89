#include "common/Conversions.h"

#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>

#include "common/Exception.h"

namespace Veltrio {
namespace Common {

namespace {

template <typename Number>
std::string fixedText(Number value, unsigned int precision) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(static_cast<int>(precision)) << value;
    return out.str();
}

// Formatted stream extraction in the classic locale: white space skipped,
// reading stops at the first character that cannot continue the number.
template <typename Number>
Number readNumber(const std::string& text, const char* failure) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    Number value{};
    in >> value;
    if (in.fail()) throw ConversionException(failure);
    return value;
}

} // namespace

std::string convertIntToStr(int value) { return std::to_string(value); }

std::string convertFloatToStr(float value, unsigned int precision) { return fixedText(value, precision); }

std::string convertDoubleToStr(double value, unsigned int precision) { return fixedText(value, precision); }

int convertStrToInt(const std::string& text) { return readNumber<int>(text, "Invalid string to int conversion"); }

double convertStrToDouble(const std::string& text) {
    return readNumber<double>(text, "Invalid string to double conversion");
}

int convertHexStrToInt(const std::string& text) {
    static const char* const failure = "Invalid hexstring to int conversion";
    std::string copy = text;
    if (copy.compare(0, 2, "0x") != 0 && copy.compare(0, 2, "0X") != 0) copy.insert(0, "0x");
    if (copy.size() == 2) throw ConversionException(failure);
    long long value = 0;
    for (std::size_t i = 2; i < copy.size(); ++i) {
        const char c = copy[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else throw ConversionException(failure);
        value = value * 16 + digit;
        if (value > 0x7FFFFFFFLL) throw ConversionException(failure);
    }
    return static_cast<int>(value);
}

void tokenize(const std::string& text, std::vector<std::string>& tokens, char delimiter) {
    tokens.clear();
    if (text.empty()) return;
    std::istringstream in(text);
    std::string piece;
    while (in.good()) {
        std::getline(in, piece, delimiter);
        tokens.push_back(piece);
    }
}

CharVector genVector(char* data, unsigned int size) {
    CharVector bytes;
    if (size == 0 || data == nullptr) return bytes;
    bytes.insert(bytes.end(), data, data + size - 1);
    return bytes;
}

} // namespace Common
} // namespace Veltrio
