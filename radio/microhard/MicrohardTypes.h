#pragma once
// Enumerations of the Microhard S-registers. Every enumerator's value is the
// number the register holds, so a value goes to and comes from the wire
// unchanged; the enumerator names only carry that number (the radio's
// documentation gives each number its meaning).
//
// The enumerations are int-based, so that any number a caller or a radio
// hands over is a value of the type and can be checked against the list.
//
// Each enumeration is generated from one list of values, which also yields
// the list of values the radio may hold (MicrohardEnumValues), so the setters'
// checks and the getters' recognition can never drift from the enumeration.

#include <cstddef>

namespace Veltrio {
namespace Radio {

#define VELTRIO_MICROHARD_ENUMERATOR(Enum, n) Enum##_##n = n,
#define VELTRIO_MICROHARD_LISTED(Enum, n) Enum##_##n,

// The values held by the list of every register value of one enumeration.
template <typename Enum> struct MicrohardEnumValues;

#define VELTRIO_MICROHARD_ENUM(Enum, LIST)                                                                 \
    enum Enum : int { LIST(VELTRIO_MICROHARD_ENUMERATOR, Enum) };                                              \
    template <> struct MicrohardEnumValues<Enum> {                                                         \
        static constexpr Enum values[] = {LIST(VELTRIO_MICROHARD_LISTED, Enum)};                           \
        static constexpr std::size_t count = sizeof(values) / sizeof(values[0]);                          \
    };

// S101 operating mode.
#define VELTRIO_MH_OPERATING_MODES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_OPERATING_MODE, VELTRIO_MH_OPERATING_MODES)

// S108 output power in dBm: 20 = 100 mW ... 30 = 1000 mW, 33 = 2000 mW,
// 35 = 3000 mW, 37 = 5000 mW.
#define VELTRIO_MH_OUTPUT_POWERS(X, E)                                                                     \
    X(E, 20) X(E, 21) X(E, 22) X(E, 23) X(E, 24) X(E, 25) X(E, 26) X(E, 27) X(E, 28) X(E, 29) X(E, 30)     \
    X(E, 33) X(E, 35) X(E, 37)
VELTRIO_MICROHARD_ENUM(MICROHARD_OUTPUT_POWER, VELTRIO_MH_OUTPUT_POWERS)

// S109 hop interval.
#define VELTRIO_MH_HOP_INTERVALS(X, E)                                                                     \
    X(E, 0) X(E, 1) X(E, 2) X(E, 3) X(E, 4) X(E, 5) X(E, 6) X(E, 7) X(E, 8) X(E, 9) X(E, 10) X(E, 11)      \
    X(E, 12) X(E, 13) X(E, 14) X(E, 15) X(E, 16) X(E, 17) X(E, 18) X(E, 19)
VELTRIO_MICROHARD_ENUM(MICROHARD_HOP_INTERVAL, VELTRIO_MH_HOP_INTERVALS)

// S110 serial port data format.
#define VELTRIO_MH_DATA_FORMATS(X, E)                                                                      \
    X(E, 1) X(E, 2) X(E, 3) X(E, 4) X(E, 5) X(E, 6) X(E, 7) X(E, 8) X(E, 9) X(E, 10)
VELTRIO_MICROHARD_ENUM(MICROHARD_SERIAL_PORT_DATA_FORMAT, VELTRIO_MH_DATA_FORMATS)

// S133 network type.
#define VELTRIO_MH_NETWORK_TYPES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_NETWORK_TYPE, VELTRIO_MH_NETWORK_TYPES)

// S142 serial channel mode.
#define VELTRIO_MH_SERIAL_CHANNEL_MODES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_SERIAL_CHANNEL_MODE, VELTRIO_MH_SERIAL_CHANNEL_MODES)

// S143 sleep mode.
#define VELTRIO_MH_SLEEP_MODES(X, E) X(E, 0) X(E, 1) X(E, 2) X(E, 3) X(E, 4) X(E, 5)
VELTRIO_MICROHARD_ENUM(MICROHARD_SLEEP_MODE, VELTRIO_MH_SLEEP_MODES)

// S150 sync mode.
#define VELTRIO_MH_SYNC_MODES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_SYNC_MODE, VELTRIO_MH_SYNC_MODES)

// S158 forward error correction; 4 is not a value the radio knows.
#define VELTRIO_MH_FEC_MODES(X, E) X(E, 0) X(E, 1) X(E, 2) X(E, 3) X(E, 5) X(E, 6) X(E, 7)
VELTRIO_MICROHARD_ENUM(MICROHARD_FEC_MODE, VELTRIO_MH_FEC_MODES)

// S217 protocol type.
#define VELTRIO_MH_PROTOCOL_TYPES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_PROTOCOL_TYPE, VELTRIO_MH_PROTOCOL_TYPES)

// Channel request mode: read from S224, written to S244.
#define VELTRIO_MH_CHANNEL_REQUEST_MODES(X, E) X(E, 0) X(E, 1) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_CHANNEL_REQUEST_MODE, VELTRIO_MH_CHANNEL_REQUEST_MODES)

// The digit after "AT&F": which factory set to restore. The radio accepts any
// digit; these are the sets this system uses (L400 and 920A set-ups).
#define VELTRIO_MH_FACTORY_SETTINGS(X, E) X(E, 2) X(E, 5)
VELTRIO_MICROHARD_ENUM(MICROHARD_FACTORY_SETTING, VELTRIO_MH_FACTORY_SETTINGS)

// L400 S125 and the bandwidth field of the L400 frequency table.
#define VELTRIO_MH_L400_BANDWIDTHS(X, E) X(E, 1)
VELTRIO_MICROHARD_ENUM(MICROHARD_L400_BANDWIDTH, VELTRIO_MH_L400_BANDWIDTHS)

// Direction field of the L400 frequency table.
#define VELTRIO_MH_L400_DIRECTIONS(X, E) X(E, 2)
VELTRIO_MICROHARD_ENUM(MICROHARD_L400_DIRECTION, VELTRIO_MH_L400_DIRECTIONS)

// True when `value` is one of the register values of `Enum`.
template <typename Enum>
constexpr bool isMicrohardValue(long long value) {
    for (Enum listed : MicrohardEnumValues<Enum>::values)
        if (static_cast<long long>(listed) == value) return true;
    return false;
}

} // namespace Radio
} // namespace Veltrio
