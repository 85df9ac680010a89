#pragma once
// The values that Satel commands carry besides plain numbers and texts.

#include <string>

#include "common/PortConfig.h"

namespace Veltrio {
namespace Radio {

// The radio's operation mode; the value is the letter the radio uses.
enum OPERATION_MODE { OPERATION_MODE_D = 'D', OPERATION_MODE_R = 'R', OPERATION_MODE_S = 'S' };

// Transmit and receive frequency, Hz.
struct SatelFrequencies {
    unsigned int tx = 0;
    unsigned int rx = 0;
};

// Transmit and receive address, as the radio shows them (four hex digits).
struct SatelAddresses {
    std::string tx;
    std::string rx;
};

// The radio's own serial port.
struct SatelSerialPortConfig {
    Common::PORT_CONFIG_BAUD baud = Common::BAUD_19200;
    Common::PORT_CONFIG_BITS bits = Common::BITS_8;
    Common::PORT_CONFIG_PARITY parity = Common::PARITY_NONE;
    Common::PORT_CONFIG_STOPBITS stopBits = Common::STOPBITS_1;
};

// The configuration text of the serial-port commands: 19200 baud, 8 bits,
// parity N, 1 stop bit give "19200,8,N,1".
std::string buildConfigStr(Common::PORT_CONFIG_BAUD baud, Common::PORT_CONFIG_BITS bits,
                           Common::PORT_CONFIG_PARITY parity, Common::PORT_CONFIG_STOPBITS stopBits);

// What a Satel radio's serial port can be set to: 1200, 2400, 4800, 9600,
// 19200 or 38400 baud; 7, 8 or 9 bits; parity E, N or O; 1 or 2 stop bits.
// Takes plain numbers so that values read from an answer can be tested
// before they are turned into enumerators.
bool isSatelSerialPortConfig(int baud, int bits, char parity, int stopBits);

} // namespace Radio
} // namespace Veltrio
