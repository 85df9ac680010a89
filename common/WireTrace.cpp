#include "common/WireTrace.h"

#include <chrono>
#include <cstdio>

namespace Veltrio {
namespace Common {

namespace {
const std::chrono::steady_clock::time_point programStart = std::chrono::steady_clock::now();
} // namespace

std::string escapeBytes(const char* data, std::size_t length) {
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = data[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r': text += "\\r"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case '\\': text += "\\\\"; break;
        default:
            if (byte >= 0x20 && byte < 0x7f) {
                text += c;
            } else {
                text += "\\x";
                text += hex[byte >> 4];
                text += hex[byte & 0x0f];
            }
        }
    }
    return text;
}

unsigned long millisecondsSinceStart() {
    return static_cast<unsigned long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - programStart).count());
}

WatchedDevice::WatchedDevice(DeviceCommInterface& device, WireWatcher& watcher) : device(device), watcher(watcher) {}

template <class Read>
bool WatchedDevice::watchRead(Read read) {
    // A read only appends: what it brought is the tail of the queue.
    const unsigned int before = device.getDataLength();
    const auto tell = [&] {
        const CharVector& queue = device.getDataVector();
        watcher.read(queue.data() + before, static_cast<unsigned int>(queue.size()) - before);
    };
    try {
        read();
    } catch (...) {
        tell();
        throw;
    }
    tell();
    return device.getDataLength() > before;
}

void WatchedDevice::dataIn() {
    watcher.reading();
    watchRead([this] { device.dataIn(); });
}

bool WatchedDevice::dataInWithin(unsigned int deadline) {
    return watchRead([this, deadline] { device.dataInWithin(deadline); });
}

void WatchedDevice::dataOut(const char* data, unsigned int length) {
    device.dataOut(data, length);
    watcher.written(data, length);
}

void WatchedDevice::injectData(const char* data, unsigned int length) { device.injectData(data, length); }

void WatchedDevice::injectData(CharVector data) { device.injectData(std::move(data)); }

unsigned int WatchedDevice::getDataLength() const { return device.getDataLength(); }

unsigned int WatchedDevice::getData(char* buffer, unsigned int length) { return device.getData(buffer, length); }

unsigned int WatchedDevice::peekData(char* buffer, unsigned int length) const {
    return device.peekData(buffer, length);
}

CharVector& WatchedDevice::getDataVector() { return device.getDataVector(); }

void WatchedDevice::removeData() { device.removeData(); }

void WatchedDevice::removeData(unsigned int first, unsigned int last) { device.removeData(first, last); }

WireTrace::WireTrace(std::ostream& out) : out(out) {}

void WireTrace::written(const char* data, unsigned int length) { line('>', data, length); }

void WireTrace::read(const char* data, unsigned int length) {
    if (length != 0) line('<', data, length);
}

void WireTrace::line(char direction, const char* data, unsigned int length) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%6lu %c ", millisecondsSinceStart(), direction);
    // One write per line: a line never mixes with other output.
    out << (stamp + escapeBytes(data, length) + '\n') << std::flush;
}

} // namespace Common
} // namespace Veltrio
