#include "radio/satel/SatelTypes.h"

namespace Veltrio {
namespace Radio {

std::string buildConfigStr(Common::PORT_CONFIG_BAUD baud, Common::PORT_CONFIG_BITS bits,
                           Common::PORT_CONFIG_PARITY parity, Common::PORT_CONFIG_STOPBITS stopBits) {
    return std::to_string(static_cast<int>(baud)) + "," + std::to_string(static_cast<int>(bits)) + "," +
           static_cast<char>(parity) + "," + std::to_string(static_cast<int>(stopBits));
}

bool isSatelSerialPortConfig(int baud, int bits, char parity, int stopBits) {
    switch (baud) {
    case 1200: case 2400: case 4800: case 9600: case 19200: case 38400: break;
    default: return false;
    }
    if (bits < 7 || bits > 9) return false;
    if (parity != 'E' && parity != 'N' && parity != 'O') return false;
    return stopBits == 1 || stopBits == 2;
}

} // namespace Radio
} // namespace Veltrio
