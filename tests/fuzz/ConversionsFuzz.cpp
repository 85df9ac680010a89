// Fuzz target: the text and number conversions, tokenize and CharVector.
//
// The whole input is the text handed to the readers; its first bytes also
// give the delimiter for tokenize and the numbers for the writers.
//
// Invariants besides "no crash, no sanitizer report":
// - convertStrToInt and convertHexStrToInt agree with small reference readers
//   written from the rules they follow (value, or failure as
//   ConversionException, never anything else);
// - convertStrToDouble gives a finite number or fails with ConversionException;
// - tokenize gives one piece more than there are delimiters, and the pieces
//   joined with the delimiter give the text back (no piece for an empty text);
// - int text reads back to the same int; fixed-point text never uses the
//   exponent form and has exactly the asked number of decimals;
// - CharVector and genVector keep every byte, NUL included.

#include "common/CharVector.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace Veltrio::Common;

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Leading blanks, optional sign, decimal digits; nothing read or a value
// outside 32 bits is a failure.
std::optional<int> referenceInt(const std::string& text)
{
    std::size_t k = 0;
    while (k < text.size() && isBlank(text[k])) ++k;
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
    long long value = 0;
    bool digits = false;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
        digits = true;
        if (value <= 2147483648LL) value = value * 10 + (text[k] - '0');
    }
    if (!digits) return std::nullopt;
    if (negative) value = -value;
    if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
    return static_cast<int>(value);
}

// Optional "0x"/"0X", then only hexadecimal digits, at least one, value at
// most 7FFFFFFF.
std::optional<int> referenceHex(const std::string& text)
{
    std::size_t k = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) k = 2;
    if (k == text.size()) return std::nullopt;
    long long value = 0;
    for (; k < text.size(); ++k) {
        const char c = text[k];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * 16 + digit;
        if (value > 0x7FFFFFFFLL) return std::nullopt;
    }
    return static_cast<int>(value);
}

template <typename Number, typename Read>
std::optional<Number> attempt(Read read)
{
    try {
        return read();
    } catch (const ConversionException& e) {
        FUZZ_CHECK(std::strncmp(e.what(), "Conversion error: Invalid ", 26) == 0);
        return std::nullopt;
    }
}

void checkFixed(const std::string& text, double value, unsigned precision)
{
    FUZZ_CHECK(text.find_first_of("eE") == std::string::npos || !std::isfinite(value));
    if (!std::isfinite(value)) return;
    const std::size_t point = text.find('.');
    if (precision == 0) {
        FUZZ_CHECK(point == std::string::npos);
    } else {
        FUZZ_CHECK(point != std::string::npos);
        FUZZ_CHECK(text.size() - point - 1 == precision);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::optional<int> i = attempt<int>([&] { return convertStrToInt(text); });
    const std::optional<int> iRef = referenceInt(text);
    FUZZ_CHECK(i.has_value() == iRef.has_value());
    if (i) FUZZ_CHECK(*i == *iRef);

    const std::optional<int> h = attempt<int>([&] { return convertHexStrToInt(text); });
    const std::optional<int> hRef = referenceHex(text);
    FUZZ_CHECK(h.has_value() == hRef.has_value());
    if (h) FUZZ_CHECK(*h == *hRef);

    const std::optional<double> d = attempt<double>([&] { return convertStrToDouble(text); });
    if (d) FUZZ_CHECK(std::isfinite(*d));
    // Whatever reads as an int reads as the same number as a double.
    if (i && d) FUZZ_CHECK(text.find_first_of(".eE") != std::string::npos || *d == static_cast<double>(*i));

    if (size > 0) {
        const char delimiter = text[0];
        const std::string rest = text.substr(1);
        std::vector<std::string> tokens{"left", "over"};
        tokenize(rest, tokens, delimiter);
        if (rest.empty()) {
            FUZZ_CHECK(tokens.empty());
        } else {
            std::size_t delimiters = 0;
            for (char c : rest) delimiters += c == delimiter;
            FUZZ_CHECK(tokens.size() == delimiters + 1);
            std::string joined = tokens[0];
            for (std::size_t k = 1; k < tokens.size(); ++k) joined += delimiter + tokens[k];
            FUZZ_CHECK(joined == rest);
        }
    }

    if (size >= 13) {
        int iv;
        double dv;
        float fv;
        std::memcpy(&iv, data, sizeof iv);
        std::memcpy(&dv, data + 1, sizeof dv);
        std::memcpy(&fv, data + 9, sizeof fv);
        const unsigned precision = data[12] % 24;
        FUZZ_CHECK(convertStrToInt(convertIntToStr(iv)) == iv);
        checkFixed(convertDoubleToStr(dv, precision), dv, precision);
        checkFixed(convertFloatToStr(fv, precision), fv, precision);
    }

    const CharVector bytes(text);
    FUZZ_CHECK(bytes.size() == size && bytes.str() == text);
    std::vector<char> storage(text.begin(), text.end());
    storage.push_back('\0');
    const CharVector cut = genVector(storage.data(), static_cast<unsigned>(storage.size()));
    FUZZ_CHECK(cut.str() == text);
    return 0;
}
