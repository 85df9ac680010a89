#pragma once
// The radio modems radiocfg knows; the values are fixed (printed by detect,
// returned by each driver's getType()).

#include <cstdint>

namespace Veltrio {
namespace Radio {

enum RADIO_TYPE : std::int32_t {
    RADIO_TYPE_UNKNOWN = 0,         // no radio recognised
    RADIO_TYPE_SATEL = 1,           // Satel modem, "SL" command set
    RADIO_TYPE_MICROHARD_920A = 2,  // Microhard modem with product code "MHX920A"
    RADIO_TYPE_MICROHARD_L400 = 3,  // Microhard modem with product code "L400"
};

} // namespace Radio
} // namespace Veltrio
