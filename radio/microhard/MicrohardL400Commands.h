#pragma once
// The L400 dealer-mode dialogue, which programs the radio's frequency table.
// It is not AT-shaped: "ATP0=\r" opens it, the password line follows, then
// the four fields of one table entry, each ended by a lone CR, and a single
// ESC leaves it. The radio answers each step with a prompt line; each command
// completes on the first non-empty line, whatever it says (the read parsing
// of MicrohardBaseClassGetStrValueCommand).
//
// The L400 register commands (S103 wireless rate, S125 bandwidth, S131/S132
// frequency entry) are rows of MicrohardRegisterCommands.h.

#include <string>

#include "common/CharVector.h"
#include "radio/microhard/MicrohardBaseCommands.h"
#include "radio/microhard/MicrohardTypes.h"

namespace Veltrio {
namespace Radio {

#define VELTRIO_MICROHARD_DEALER(Class, Text)                                                              \
    class Class : public MicrohardBaseClassGetStrValueCommand {                                            \
    public:                                                                                                \
        Class() : MicrohardBaseClassGetStrValueCommand(Text, "") {}                                        \
    };

// clang-format off
VELTRIO_MICROHARD_DEALER(MicrohardL400EnterDealerModeCommand,    "ATP0=\r")
VELTRIO_MICROHARD_DEALER(MicrohardL400SendDealerPasswordCommand, "kest%al\r")
VELTRIO_MICROHARD_DEALER(MicrohardL400ExitDealerModeCommand,     "\x1b")
// clang-format on

// One frequency table entry: entry 42, 450125000 Hz, bandwidth 1, direction 2
// go out as  42\r450125000\r1\r2\r  and nothing else (no "AT", no LF).
class MicrohardL400SetTableFrequencyCommand : public MicrohardBaseClassGetStrValueCommand {
public:
    MicrohardL400SetTableFrequencyCommand();
    // DataNotSetException unless all four fields were set.
    void buildCmdStr(Veltrio::Common::CharVector& out) override;

    void setEntry(unsigned short entry);
    void setFrequency(unsigned int hertz);
    void setBandwidth(MICROHARD_L400_BANDWIDTH bandwidth);
    void setDirection(MICROHARD_L400_DIRECTION direction);

private:
    unsigned short entry;
    unsigned int frequency;
    MICROHARD_L400_BANDWIDTH bandwidth;
    MICROHARD_L400_DIRECTION direction;
    bool entrySet;
    bool frequencySet;
    bool bandwidthSet;
    bool directionSet;
};

} // namespace Radio
} // namespace Veltrio
