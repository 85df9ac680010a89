#pragma once
// CharVector: the byte vector in which every command sent to a radio and
// every answer read back travels. Any byte value, NUL included, is data.

#include <string>
#include <vector>

namespace Veltrio {
namespace Common {

class CharVector : public std::vector<char> {
public:
    CharVector() = default;
    // Every character of the string, embedded NUL bytes included.
    CharVector(const std::string& text);
    CharVector(const CharVector& other) = default;
    CharVector& operator=(const CharVector& other) = default;

    // The same bytes as a string of the same length.
    std::string str() const;
};

} // namespace Common
} // namespace Veltrio
