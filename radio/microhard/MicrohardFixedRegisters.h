#pragma once
// The registers a whole-configuration write sets to values of its own,
// whatever it is asked, and those values. saveConfig writes them and the
// read-back compares the radio with them: a radio that holds another value
// there is not set as the write leaves it. (The registers the asked values
// go to are the drivers' own: the L400's frequency, power and mode, the
// 920A's channel, unit address and mode.)

#include <deque>
#include <list>
#include <map>

#include "radio/Command.h"
#include "radio/microhard/MicrohardBaseCommands.h"

namespace Veltrio {
namespace Radio {

struct MicrohardFixedRegister {
    int number;         // S-register
    unsigned int value; // as saveConfig writes it
};

namespace MicrohardL400Fixed {
constexpr unsigned int operatingMode = 2;      // S101
constexpr unsigned int serialBaudCode = 1;     // S102: 115200 bit/s
constexpr unsigned int serialDataFormat = 1;   // S110
constexpr unsigned int maxPacketSize = 1580;   // S112
constexpr unsigned int characterTimeout = 100; // S116
constexpr unsigned short tableEntry = 42;      // written in dealer mode; S131 and S132 point at it
constexpr unsigned int bandwidth = 1;          // S125, and the table entry's bandwidth

// In the order saveConfig writes them.
constexpr MicrohardFixedRegister registers[] = {
    {101, operatingMode}, {102, serialBaudCode}, {110, serialDataFormat}, {112, maxPacketSize},
    {116, characterTimeout}, {131, tableEntry},  {132, tableEntry},       {125, bandwidth},
};
} // namespace MicrohardL400Fixed

namespace Microhard920AFixed {
constexpr unsigned int serialBaudCode = 1;     // S102: 115200 bit/s
constexpr unsigned int operatingMode = 2;      // S101
constexpr unsigned int outputPowerDBm = 30;    // S108: 1000 mW
constexpr unsigned int serialDataFormat = 1;   // S110
constexpr unsigned int roaming = 65535;        // S118
constexpr unsigned int destinationAddress = 1; // S140

// In the order saveConfig writes them.
constexpr MicrohardFixedRegister registers[] = {
    {102, serialBaudCode},   {101, operatingMode}, {108, outputPowerDBm},
    {110, serialDataFormat}, {118, roaming},       {140, destinationAddress},
};
} // namespace Microhard920AFixed

// Reads of registers by number, queued in an exchange beside other commands.
class MicrohardRegisterReads {
public:
    // A read of `number` ("ATS<number>?") at the end of `sequence`.
    void add(int number, std::list<Command*>& sequence);
    // A register whose answer line another command of the exchange reads.
    void readBy(int number, const MicrohardBaseClassGetStrValueCommand& command);
    // After the exchange: each register's value, the number its answer line
    // begins with ("42 - 450.1250" gives 42); ConversionException for a line
    // without one.
    std::map<int, int> values() const;

private:
    std::deque<MicrohardBaseClassGetIntValueCommand> reads; // stays where it was put
    std::map<int, const MicrohardBaseClassGetStrValueCommand*> lineOf;
};

} // namespace Radio
} // namespace Veltrio
