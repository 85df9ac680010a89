#pragma once
// Conversions between numbers and text, as used to format radio command
// arguments and to read the numbers in a radio's answers. Every failure is a
// ConversionException; no function returns a partial or default value.

#include <string>
#include <vector>

#include "common/CharVector.h"

namespace Veltrio {
namespace Common {

// Decimal text, leading minus when negative, nothing else.
std::string convertIntToStr(int value);
// Fixed-point text with exactly `precision` digits after the point (none and
// no point for 0), rounded to nearest; never exponent form.
std::string convertFloatToStr(float value, unsigned int precision);
std::string convertDoubleToStr(double value, unsigned int precision);

// Reads a number from the start of the text: leading white space skipped, an
// optional sign, then as many characters as continue the number; the rest is
// ignored ("12abc" gives 12). Throws when no number could be read or an int
// lies outside the 32-bit signed range.
int convertStrToInt(const std::string& text);
double convertStrToDouble(const std::string& text);

// Hexadecimal text, with or without a "0x"/"0X" prefix; the whole text must be
// hexadecimal and the value at most 7FFFFFFF.
int convertHexStrToInt(const std::string& text);

// Replaces `tokens` with the pieces between delimiters: k delimiters give
// k + 1 pieces, empty ones included; an empty text gives no piece at all.
void tokenize(const std::string& text, std::vector<std::string>& tokens, char delimiter);

// The first size - 1 bytes of a NUL-terminated array of storage size `size`
// (the terminator left out); empty for a size of 0.
CharVector genVector(char* data, unsigned int size);

} // namespace Common
} // namespace Veltrio
