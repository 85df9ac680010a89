#include "devices/AsioSerialDevice.h"

#include "devices/PortAccess.h"

#include <boost/asio/placeholders.hpp>
#include <boost/asio/serial_port_base.hpp>
#include <boost/bind/bind.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/ref.hpp>

namespace Veltrio {
namespace Devices {

using Veltrio::Common::PORT_CONFIG_BAUD;
using Veltrio::Common::PORT_CONFIG_BITS;
using Veltrio::Common::PORT_CONFIG_PARITY;
using Veltrio::Common::PORT_CONFIG_STOPBITS;
using boost::asio::serial_port_base;

namespace {
const char* const SerialErrorMessage = "Can not open file";
const char* const ReadErrorText = "Error while reading data from AsioSerialDevice";
} // namespace

SerialOpenException::SerialOpenException(const std::string& extraInfo)
    : ExceptionWithExtraInfo(SerialErrorMessage, extraInfo) {}

SerialReadException::SerialReadException(const std::string& extraInfo)
    : ExceptionWithExtraInfo(SerialErrorMessage, extraInfo) {}

SerialWriteException::SerialWriteException(const std::string& extraInfo)
    : ExceptionWithExtraInfo(SerialErrorMessage, extraInfo) {}

AsioSerialDevice::AsioSerialDevice(std::string port, PORT_CONFIG_BAUD baud, PORT_CONFIG_BITS bits,
                                   PORT_CONFIG_PARITY parity, PORT_CONFIG_STOPBITS stopBits, unsigned int timeout)
    : AsioSerialDevice(std::move(port), baud, bits, parity, stopBits, FLOW_CONTROL_HARDWARE, timeout) {}

AsioSerialDevice::AsioSerialDevice(std::string port, PORT_CONFIG_BAUD baud, PORT_CONFIG_BITS bits,
                                   PORT_CONFIG_PARITY parity, PORT_CONFIG_STOPBITS stopBits,
                                   ASIO_FLOW_CONTROL flowControl, unsigned int timeout)
    : readTimeout(timeout), ioService(), serialPort(ioService), receiveBuffer{}, lastError() {
    initDevice(std::move(port), baud, bits, parity, stopBits, flowControl);
}

AsioSerialDevice::~AsioSerialDevice() { closePort(); }

void AsioSerialDevice::closePort() {
    if (!serialPort.is_open()) return;
    releasePort(serialPort.native_handle());
    boost::system::error_code ignored;
    serialPort.close(ignored);
}

void AsioSerialDevice::initDevice(std::string port, PORT_CONFIG_BAUD baud, PORT_CONFIG_BITS bits,
                                  PORT_CONFIG_PARITY parity, PORT_CONFIG_STOPBITS stopBits,
                                  ASIO_FLOW_CONTROL flowControl) {
    closePort();
    lastError.clear();

    serialPort.open(port, lastError);
    if (lastError) throw SerialOpenException(portFailure(port, lastError.value()));
    if (const int refused = claimPort(serialPort.native_handle())) {
        boost::system::error_code ignored;
        serialPort.close(ignored);
        throw SerialOpenException(portFailure(port, refused));
    }

    // The enumerators hold the quantities themselves: bit/s, bits, a letter.
    serialPort.set_option(serial_port_base::baud_rate(static_cast<unsigned int>(baud)));

    serial_port_base::flow_control::type flow = serial_port_base::flow_control::hardware;
    if (flowControl == FLOW_CONTROL_NONE) flow = serial_port_base::flow_control::none;
    else if (flowControl == FLOW_CONTROL_SOFTWARE) flow = serial_port_base::flow_control::software;
    serialPort.set_option(serial_port_base::flow_control(flow));

    serialPort.set_option(serial_port_base::character_size(static_cast<unsigned int>(bits)));

    serial_port_base::parity::type parityType = serial_port_base::parity::none;
    if (parity == Veltrio::Common::PARITY_EVEN) parityType = serial_port_base::parity::even;
    else if (parity == Veltrio::Common::PARITY_ODD) parityType = serial_port_base::parity::odd;
    serialPort.set_option(serial_port_base::parity(parityType));

    serialPort.set_option(serial_port_base::stop_bits(stopBits == Veltrio::Common::STOPBITS_2
                                                          ? serial_port_base::stop_bits::two
                                                          : serial_port_base::stop_bits::one));
}

void AsioSerialDevice::dataIn() { readOnce(readTimeout); }

bool AsioSerialDevice::dataInWithin(unsigned int deadline) { return readOnce(deadline); }

// The blocking facade over Asio: start the read and the deadline, run the
// private I/O service until both handlers have run; whichever completes first
// cancels the other.
bool AsioSerialDevice::readOnce(unsigned int deadline) {
    boost::asio::deadline_timer timer(ioService);
    const std::size_t before = getDataLength();

    serialPort.async_read_some(
        boost::asio::buffer(receiveBuffer, ReceiveBufferSize),
        boost::bind(&AsioSerialDevice::asyncReadHandler, this, boost::ref(timer), boost::asio::placeholders::error,
                    boost::asio::placeholders::bytes_transferred));

    if (deadline != 0) {
        timer.expires_from_now(boost::posix_time::milliseconds(deadline));
        timer.async_wait(boost::bind(&AsioSerialDevice::deadlineExpirationHandler, this, boost::ref(timer),
                                     boost::asio::placeholders::error));
    }

    try {
        ioService.run();
    } catch (...) {
        // The handler that threw left the other one pending, and it refers to
        // the timer on this stack frame: cancel both and let them complete
        // here, so that nothing runs against a dead timer at the next call.
        boost::system::error_code ignored;
        timer.cancel(ignored);
        serialPort.cancel(ignored);
        for (;;) {
            ioService.restart();
            try {
                ioService.run();
                break;
            } catch (...) {
            }
        }
        ioService.restart();
        throw SerialReadException(ReadErrorText);
    }
    ioService.restart();
    return getDataLength() > before;
}

void AsioSerialDevice::asyncReadHandler(boost::asio::deadline_timer& timer, const boost::system::error_code& error,
                                        unsigned int transferred) {
    if (!error) {
        if (transferred == 0) return; // the deadline still ends the call
        timer.cancel(lastError);
        injectData(receiveBuffer, transferred);
        if (lastError) lastError.clear();
        return;
    }
    if (error == boost::asio::error::operation_aborted) return; // the deadline cancelled the read
    // End of file (the line hung up) or a real read error.
    throw SerialReadException(ReadErrorText);
}

void AsioSerialDevice::deadlineExpirationHandler(boost::asio::deadline_timer& timer,
                                                 const boost::system::error_code& error) {
    timer.expires_at(boost::posix_time::pos_infin);
    if (!error) serialPort.cancel(lastError); // the pending read completes as aborted
}

void AsioSerialDevice::dataOut(const char* data, unsigned int length) {
    // Whatever arrived before this write cannot be its answer.
    removeData();
    unsigned int written = 0;
    while (written < length) {
        written += static_cast<unsigned int>(
            serialPort.write_some(boost::asio::buffer(data + written, length - written), lastError));
        if (lastError) throw SerialWriteException(lastError.message());
    }
}

} // namespace Devices
} // namespace Veltrio
