#include "radio/RadioBase.h"

namespace Veltrio {
namespace Radio {

// Placeholders: detection lands with the Microhard command family.

RADIO_TYPE RadioBase::detectType(Veltrio::Common::Timer*, Veltrio::Common::DeviceCommInterface*) {
    return RADIO_TYPE_UNKNOWN;
}

bool RadioBase::detectSatel() { return false; }

bool RadioBase::detectMicrohard(RADIO_TYPE& type) {
    type = RADIO_TYPE_UNKNOWN;
    return false;
}

} // namespace Radio
} // namespace Veltrio
