#include "tools/radiosim/WireLog.h"

#include "common/WireTrace.h"

namespace RadioSim {

std::string escapeBytes(const std::string& bytes) { return Veltrio::Common::escapeBytes(bytes.data(), bytes.size()); }

std::string formatWireEntry(const WireEntry& entry) {
    switch (entry.direction) {
    case WireDirection::Received: return "> " + escapeBytes(entry.bytes);
    case WireDirection::Sent: return "< " + escapeBytes(entry.bytes);
    case WireDirection::Event: break;
    }
    return "! " + entry.bytes;
}

} // namespace RadioSim
