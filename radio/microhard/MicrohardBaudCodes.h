#pragma once
// The Microhard radios store a baud rate as a small code, not as the rate.
// Three code tables exist: the serial port rate (S102), the wireless link rate
// (S103) of the radios in general, and the wireless link rate of the L400,
// which knows only three rates under codes of its own.

#include <cstddef>

#include "common/PortConfig.h"

namespace Veltrio {
namespace Radio {

struct MicrohardBaudCode {
    int code;
    Veltrio::Common::PORT_CONFIG_BAUD rate;
};

struct MicrohardBaudTable {
    const MicrohardBaudCode* rows;
    std::size_t count;

    // The rate stored under `code`; false when the table has no such code.
    bool rateOf(long long code, Veltrio::Common::PORT_CONFIG_BAUD& rate) const;
    // The code that stores `rate`; false when the table has no such rate.
    bool codeOf(Veltrio::Common::PORT_CONFIG_BAUD rate, int& code) const;
};

extern const MicrohardBaudTable microhardSerialBaudCodes;   // S102
extern const MicrohardBaudTable microhardWirelessBaudCodes; // S103
extern const MicrohardBaudTable microhardL400WirelessBaudCodes; // S103 of the L400

} // namespace Radio
} // namespace Veltrio
