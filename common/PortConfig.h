#pragma once
// Serial settings. Every enumerator's value is the quantity itself (a baud
// rate in bit/s, a count of bits, a parity letter), so a value can be printed,
// compared with what a radio reports or handed to a port without a table.

namespace Veltrio {
namespace Common {

enum PORT_CONFIG_BAUD {
    BAUD_300 = 300,
    BAUD_600 = 600,
    BAUD_1200 = 1200,
    BAUD_2400 = 2400,
    BAUD_3600 = 3600,
    BAUD_4800 = 4800,
    BAUD_7200 = 7200,
    BAUD_9600 = 9600,
    BAUD_14400 = 14400,
    BAUD_16000 = 16000,   // air rate only
    BAUD_19200 = 19200,
    BAUD_28800 = 28800,
    BAUD_38400 = 38400,
    BAUD_57600 = 57600,
    BAUD_115200 = 115200,
    BAUD_172800 = 172800, // air rate only
    BAUD_230400 = 230400,
    BAUD_270000 = 270000, // air rate only
    BAUD_340000 = 340000, // air rate only
};

enum PORT_CONFIG_BITS { BITS_7 = 7, BITS_8 = 8, BITS_9 = 9 };

enum PORT_CONFIG_PARITY { PARITY_EVEN = 'E', PARITY_NONE = 'N', PARITY_ODD = 'O' };

enum PORT_CONFIG_STOPBITS { STOPBITS_1 = 1, STOPBITS_2 = 2 };

} // namespace Common
} // namespace Veltrio
