#include "radiocfg/LineGuard.h"

#include "devices/AsioSerialDevice.h"

using Veltrio::Devices::SerialReadException;
using Veltrio::Devices::SerialWriteException;

LineLostException::LineLostException(const std::string& when, const std::string& command)
    : ExceptionWithExtraInfo("Line lost while " + when, command) {}

LineGuard::LineGuard(Veltrio::Common::DeviceCommInterface& line) : WatchedDevice(line, *this) {}

void LineGuard::dataIn() {
    try {
        WatchedDevice::dataIn();
    } catch (const SerialReadException&) {
        throw LineLostException("waiting for the answer to", lastCommand);
    }
}

bool LineGuard::dataInWithin(unsigned int deadline) {
    try {
        return WatchedDevice::dataInWithin(deadline);
    } catch (const SerialReadException&) {
        throw LineLostException("waiting for the answer to", lastCommand);
    }
}

void LineGuard::dataOut(const char* data, unsigned int length) {
    try {
        WatchedDevice::dataOut(data, length);
    } catch (const SerialWriteException&) {
        throw LineLostException("writing", std::string(data, length));
    }
}

void LineGuard::written(const char* data, unsigned int length) { lastCommand.assign(data, length); }
