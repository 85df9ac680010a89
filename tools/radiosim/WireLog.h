#pragma once
// The wire log of a simulated radio: every command it received and every
// byte it sent back, in order, one line each:
//
//   > SL@P=500        bytes the host wrote (one framed command)
//   < OK\r\n          bytes the radio answered
//   ! error injected  what a fault switch did
//
// Bytes are escaped so that a line shows exactly what was on the wire, the
// way radiocfg --trace shows them: \r \n \t \\ as written here, every other
// byte outside printable ASCII as \xNN (lower-case hex).

#include <string>

namespace RadioSim {

enum class WireDirection { Received, Sent, Event };

struct WireEntry {
    WireDirection direction;
    std::string bytes; // raw bytes; for an Event, plain text
};

std::string escapeBytes(const std::string& bytes);

// One log line without its line end.
std::string formatWireEntry(const WireEntry& entry);

} // namespace RadioSim
