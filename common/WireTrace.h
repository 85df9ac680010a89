#pragma once
// Watching the wire: every byte a device writes and reads, seen from beside
// the device, not from inside it.
//
// WatchedDevice wraps a device and forwards everything to it; it tells a
// WireWatcher what each write sent and what each read brought. WireTrace is
// the watcher behind --trace: one line per write and per read,
//
//      412 > SL@P=500
//      418 < OK\r\n
//
// milliseconds since the program started, ">" written or "<" read, and the
// bytes escaped as escapeBytes does. Nothing watches, and nothing is
// formatted, unless a flow builds these.

#include <cstddef>
#include <ostream>
#include <string>

#include "common/DeviceCommInterface.h"

namespace Veltrio {
namespace Common {

// The bytes as one line of text: CR, LF, TAB and backslash as \r \n \t \\,
// every other byte outside printable ASCII as \x and two lower-case hex
// digits. Each byte is escaped on its own, so escaping two runs and joining
// the texts gives the text of the joined runs.
std::string escapeBytes(const char* data, std::size_t length);

// Milliseconds since the program started.
unsigned long millisecondsSinceStart();

class WireWatcher {
public:
    // After a write of `length` bytes.
    virtual void written(const char* data, unsigned int length) = 0;
    // A read is about to wait on the line for its deadline (not told for the
    // short reads of dataInWithin).
    virtual void reading() {}
    // After a read, with the bytes it brought (none when its deadline passed).
    virtual void read(const char* data, unsigned int length) = 0;

protected:
    ~WireWatcher() = default;
};

// Forwards every operation to `device`, receive queue included, and tells the
// watcher about each dataOut and dataIn (also one that throws, with the bytes
// it had queued). Both must outlive it.
class WatchedDevice : public DeviceCommInterface {
public:
    WatchedDevice(DeviceCommInterface& device, WireWatcher& watcher);
    WatchedDevice(const WatchedDevice&) = delete;
    WatchedDevice& operator=(const WatchedDevice&) = delete;

    void dataIn() override;
    bool dataInWithin(unsigned int deadline) override;
    void dataOut(const char* data, unsigned int length) override;
    void injectData(const char* data, unsigned int length) override;
    void injectData(CharVector data) override;
    unsigned int getDataLength() const override;
    unsigned int getData(char* buffer, unsigned int length) override;
    unsigned int peekData(char* buffer, unsigned int length) const override;
    CharVector& getDataVector() override;
    void removeData() override;
    void removeData(unsigned int first, unsigned int last) override;
    virtual ~WatchedDevice() = default;

private:
    // Runs `read` (a read of `device`), tells the watcher what it brought;
    // true when that was something.
    template <class Read>
    bool watchRead(Read read);

    DeviceCommInterface& device;
    WireWatcher& watcher;
};

// Writes each write and each read that brought bytes as one line on `out`.
class WireTrace final : public WireWatcher {
public:
    explicit WireTrace(std::ostream& out);
    void written(const char* data, unsigned int length) override;
    void read(const char* data, unsigned int length) override;

private:
    void line(char direction, const char* data, unsigned int length);
    std::ostream& out;
};

} // namespace Common
} // namespace Veltrio
