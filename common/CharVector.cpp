#include "common/CharVector.h"

namespace Veltrio {
namespace Common {

CharVector::CharVector(const std::string& text) : std::vector<char>(text.begin(), text.end()) {}

std::string CharVector::str() const { return std::string(begin(), end()); }

} // namespace Common
} // namespace Veltrio
