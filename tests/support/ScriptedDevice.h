#pragma once
// ScriptedDevice: an in-memory device for engine and driver tests, standing in
// for the serial port. Towards the radio engine it behaves like the serial
// device: dataOut() first empties the receive queue, and each dataIn() is one
// "read" that appends at most one scripted piece to the queue.
//
// Script:
// - answer(written, pieces): when a write whose bytes equal `written` arrives,
//   its pieces are delivered one per dataIn() call, in order. An empty piece
//   is a read that brings nothing: the engine ends its poll there, so the
//   pieces on either side of it are examined in different polls. Several
//   answers scripted for the same text serve successive writes of it, in the
//   order they were scripted; each is used once.
// - deliver(pieces): pieces delivered from the next dataIn() on without any
//   write (unsolicited bytes from the radio).
// - A write with no (remaining) scripted answer gets silence. Pieces not yet
//   delivered when a write arrives are still delivered first, as on a line.
// - stream(piece): once everything scripted has been delivered, every read
//   brings `piece` (a radio that never stops talking). Empty: silence.
// - onRead(silent): called at the end of every dataIn(), with true when the
//   read brought nothing. Tests advance a fake clock here (a silent read of
//   the real device costs its whole read timeout) or throw a device error.
//
// Record: writes() holds every write, in order, as text; reads() counts the
// dataIn() calls.

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/DeviceCommInterface.h"

namespace TestSupport {

class ScriptedDevice : public Veltrio::Common::DeviceCommInterface {
public:
    ScriptedDevice() = default;
    virtual ~ScriptedDevice() = default;

    void answer(const std::string& written, std::vector<std::string> pieces);
    void deliver(std::vector<std::string> pieces);
    void stream(const std::string& piece);
    std::function<void(bool silent)> onRead;

    void dataIn() override;
    void dataOut(const char* data, unsigned int length) override;
    using DeviceCommInterface::dataOut;

    const std::vector<std::string>& writes() const { return written; }
    unsigned int reads() const { return readCount; }
    // The receive queue as text.
    std::string queued() const { return std::string(queue.begin(), queue.end()); }

private:
    std::vector<std::pair<std::string, std::vector<std::string>>> answers; // unused ones, in script order
    std::deque<std::string> toDeliver;
    std::string endless;
    std::vector<std::string> written;
    unsigned int readCount = 0;
};

} // namespace TestSupport
