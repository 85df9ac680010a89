#pragma once
// AsioSerialDevice: the serial port of radiocfg behind the device interface.
// Opened and configured at construction. dataIn() performs one read with a
// deadline: it returns as soon as the first bytes arrive (at most 1024 per
// call) or when the deadline passes with nothing; dataOut() first empties the
// receive queue, so that what is queued afterwards can only be an answer to
// what was just written, then writes every byte.
//
// Built on a private Boost.Asio I/O service that runs only inside dataIn(), on
// the calling thread: no thread is created and the completion handlers need no
// lock.

#include <boost/asio/deadline_timer.hpp>
#include <boost/asio/io_service.hpp>
#include <boost/asio/serial_port.hpp>
#include <boost/system/error_code.hpp>

#include <string>

#include "common/DeviceCommInterface.h"
#include "common/Exception.h"
#include "common/PortConfig.h"

namespace Veltrio {
namespace Devices {

enum ASIO_FLOW_CONTROL {
    FLOW_CONTROL_NONE = 0,
    FLOW_CONTROL_SOFTWARE = 1, // XON/XOFF
    FLOW_CONTROL_HARDWARE = 2, // RTS/CTS
};

// All three carry the message "Can not open file"; they differ in class and in
// the extra information.
// Extra: the port and the system's reason, "/dev/ttyS0: Permission denied"
// (PortAccess.h).
class SerialOpenException : public Veltrio::Common::ExceptionWithExtraInfo {
public:
    explicit SerialOpenException(const std::string& extraInfo);
};
// Extra: "Error while reading data from AsioSerialDevice".
class SerialReadException : public Veltrio::Common::ExceptionWithExtraInfo {
public:
    explicit SerialReadException(const std::string& extraInfo);
};
// Extra: the system's text for the write error.
class SerialWriteException : public Veltrio::Common::ExceptionWithExtraInfo {
public:
    explicit SerialWriteException(const std::string& extraInfo);
};

class AsioSerialDevice : public Veltrio::Common::DeviceCommInterface {
public:
    // RTS/CTS flow control. `timeout` is the deadline of one dataIn() in
    // milliseconds; 0 means a read waits for data without limit.
    // The port is this process's alone until the device closes it
    // (PortAccess.h). Throws SerialOpenException when the port cannot be
    // opened or taken (busy, no terminal); a setting the
    // port refuses is reported by Boost's own exception (boost::system::
    // system_error, or std::out_of_range for a character size outside 5 to 8).
    AsioSerialDevice(std::string port, Veltrio::Common::PORT_CONFIG_BAUD baud, Veltrio::Common::PORT_CONFIG_BITS bits,
                     Veltrio::Common::PORT_CONFIG_PARITY parity, Veltrio::Common::PORT_CONFIG_STOPBITS stopBits,
                     unsigned int timeout);
    AsioSerialDevice(std::string port, Veltrio::Common::PORT_CONFIG_BAUD baud, Veltrio::Common::PORT_CONFIG_BITS bits,
                     Veltrio::Common::PORT_CONFIG_PARITY parity, Veltrio::Common::PORT_CONFIG_STOPBITS stopBits,
                     ASIO_FLOW_CONTROL flowControl, unsigned int timeout);
    AsioSerialDevice(const AsioSerialDevice&) = delete;
    AsioSerialDevice& operator=(const AsioSerialDevice&) = delete;

    // (Re)opens and configures the port; closes it first if open. Parity E and
    // O give even and odd, anything else none; 2 stop bits give two, anything
    // else one; flow control 0 none, 1 software, anything else hardware.
    void initDevice(std::string port, Veltrio::Common::PORT_CONFIG_BAUD baud, Veltrio::Common::PORT_CONFIG_BITS bits,
                    Veltrio::Common::PORT_CONFIG_PARITY parity, Veltrio::Common::PORT_CONFIG_STOPBITS stopBits,
                    ASIO_FLOW_CONTROL flowControl);

    // One read with the deadline; appends 0 to 1024 bytes to the queue.
    // Throws SerialReadException on a read error or end of file; bytes queued
    // before stay queued, and the device can be read again.
    void dataIn() override;
    // The same read with `deadline` ms instead (0: none).
    bool dataInWithin(unsigned int deadline) override;
    // Empties the receive queue, then writes all `length` bytes. Throws
    // SerialWriteException with the system's text on a write error.
    void dataOut(const char* data, unsigned int length) override;
    using DeviceCommInterface::dataOut;

    // Completion handlers of dataIn(), run inside it.
    void asyncReadHandler(boost::asio::deadline_timer& timer, const boost::system::error_code& error,
                          unsigned int transferred);
    void deadlineExpirationHandler(boost::asio::deadline_timer& timer, const boost::system::error_code& error);

    virtual ~AsioSerialDevice();

private:
    static constexpr unsigned int ReceiveBufferSize = 1024;

    // One read that ends on the first bytes or after `deadline` ms (0: none);
    // true when it brought bytes.
    bool readOnce(unsigned int deadline);
    // Releases and closes the port, if open.
    void closePort();

    unsigned int readTimeout;
    boost::asio::io_service ioService;
    boost::asio::serial_port serialPort;
    char receiveBuffer[ReceiveBufferSize];
    boost::system::error_code lastError;
};

} // namespace Devices
} // namespace Veltrio
