#include "radio/microhard/MicrohardBaudCodes.h"

namespace Veltrio {
namespace Radio {

using namespace Veltrio::Common;

namespace {

constexpr MicrohardBaudCode serialRows[] = {
    {0, BAUD_230400}, {1, BAUD_115200}, {2, BAUD_57600}, {3, BAUD_38400}, {4, BAUD_28800},
    {5, BAUD_19200},  {6, BAUD_14400},  {7, BAUD_9600},  {8, BAUD_7200},  {9, BAUD_4800},
    {10, BAUD_3600},  {11, BAUD_2400},  {12, BAUD_1200}, {13, BAUD_600},  {14, BAUD_300},
};

constexpr MicrohardBaudCode wirelessRows[] = {
    {0, BAUD_19200}, {1, BAUD_115200}, {2, BAUD_172800}, {3, BAUD_230400}, {4, BAUD_270000}, {5, BAUD_340000},
};

constexpr MicrohardBaudCode l400WirelessRows[] = {
    {5, BAUD_9600}, {6, BAUD_14400}, {8, BAUD_16000},
};

// A code must name one rate and a rate must have one code, or one of the two
// lookups would silently depend on the row order.
template <std::size_t N>
constexpr bool oneToOne(const MicrohardBaudCode (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = i + 1; j < N; ++j)
            if (rows[i].code == rows[j].code || rows[i].rate == rows[j].rate) return false;
    return true;
}

static_assert(sizeof(serialRows) / sizeof(serialRows[0]) == 15 && oneToOne(serialRows), "S102 codes 0 to 14");
static_assert(sizeof(wirelessRows) / sizeof(wirelessRows[0]) == 6 && oneToOne(wirelessRows), "S103 codes 0 to 5");
static_assert(sizeof(l400WirelessRows) / sizeof(l400WirelessRows[0]) == 3 && oneToOne(l400WirelessRows),
              "L400 S103 codes 5, 6, 8");

template <std::size_t N>
constexpr MicrohardBaudTable tableOf(const MicrohardBaudCode (&rows)[N]) {
    return MicrohardBaudTable{rows, N};
}

} // namespace

const MicrohardBaudTable microhardSerialBaudCodes = tableOf(serialRows);
const MicrohardBaudTable microhardWirelessBaudCodes = tableOf(wirelessRows);
const MicrohardBaudTable microhardL400WirelessBaudCodes = tableOf(l400WirelessRows);

bool MicrohardBaudTable::rateOf(long long code, PORT_CONFIG_BAUD& rate) const {
    for (std::size_t i = 0; i < count; ++i)
        if (rows[i].code == code) {
            rate = rows[i].rate;
            return true;
        }
    return false;
}

bool MicrohardBaudTable::codeOf(PORT_CONFIG_BAUD rate, int& code) const {
    for (std::size_t i = 0; i < count; ++i)
        if (rows[i].rate == rate) {
            code = rows[i].code;
            return true;
        }
    return false;
}

} // namespace Radio
} // namespace Veltrio
