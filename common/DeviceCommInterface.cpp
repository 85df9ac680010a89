#include "common/DeviceCommInterface.h"

#include <algorithm>
#include <cstring>

namespace Veltrio {
namespace Common {

bool DeviceCommInterface::dataInWithin(unsigned int) {
    const std::size_t before = queue.size();
    dataIn();
    return getDataLength() > before;
}

void DeviceCommInterface::dataOut(const CharVector& data) {
    dataOut(data.data(), static_cast<unsigned int>(data.size()));
}

void DeviceCommInterface::injectData(const char* data, unsigned int length) {
    if (length == 0) return;
    queue.insert(queue.end(), data, data + length);
}

void DeviceCommInterface::injectData(CharVector data) { queue.insert(queue.end(), data.begin(), data.end()); }

unsigned int DeviceCommInterface::getDataLength() const { return static_cast<unsigned int>(queue.size()); }

unsigned int DeviceCommInterface::getData(char* buffer, unsigned int length) {
    const unsigned int n = peekData(buffer, length);
    if (n != 0) queue.erase(queue.begin(), queue.begin() + n);
    return n;
}

unsigned int DeviceCommInterface::peekData(char* buffer, unsigned int length) const {
    if (length == 0) return 0;
    std::memset(buffer, 0, length);
    const unsigned int n = std::min<unsigned int>(length, static_cast<unsigned int>(queue.size()));
    std::copy_n(queue.begin(), n, buffer);
    return n;
}

CharVector& DeviceCommInterface::getDataVector() { return queue; }

void DeviceCommInterface::removeData() { queue.clear(); }

void DeviceCommInterface::removeData(unsigned int first, unsigned int last) {
    const unsigned int size = static_cast<unsigned int>(queue.size());
    last = std::min(last, size);
    first = std::min(first, last);
    queue.erase(queue.begin() + first, queue.begin() + last);
}

} // namespace Common
} // namespace Veltrio
