#pragma once
// A device seen by a radio driver: a receive queue that the device fills from
// dataIn() and that the radio engine inspects and consumes, plus dataOut().

#include "common/CharVector.h"

namespace Veltrio {
namespace Common {

class DeviceCommInterface {
public:
    // Fetch whatever the device has received and append it to the queue.
    virtual void dataIn() = 0;
    // One read that waits at most `deadline` ms for bytes (a device without a
    // deadline of its own reads as dataIn() does); true when it brought some.
    virtual bool dataInWithin(unsigned int deadline);
    // Send `length` bytes to the device.
    virtual void dataOut(const char* data, unsigned int length) = 0;
    virtual void dataOut(const CharVector& data);

    // Append bytes to the end of the queue, in order.
    virtual void injectData(const char* data, unsigned int length);
    virtual void injectData(CharVector data);

    virtual unsigned int getDataLength() const;
    // Copies up to `length` bytes like peekData, then removes them from the
    // queue. `buffer` holds at least `length` bytes.
    virtual unsigned int getData(char* buffer, unsigned int length);
    // Zeroes all `length` bytes of `buffer`, copies min(length, queue size)
    // bytes of the queue into it and returns that count; the queue is unchanged.
    virtual unsigned int peekData(char* buffer, unsigned int length) const;
    virtual CharVector& getDataVector();
    virtual void removeData();
    // Removes the bytes with first <= index < last; indices outside the queue
    // are clamped to it.
    virtual void removeData(unsigned int first, unsigned int last);

protected:
    DeviceCommInterface() = default;
    ~DeviceCommInterface() = default;

    CharVector queue;
};

} // namespace Common
} // namespace Veltrio
