#pragma once
// The L400 dealer-mode dialogue, which programs the radio's frequency table.
// It is not AT-shaped: "ATP0=\r" opens it, the password line follows, then
// the four fields of one table entry, each ended by a lone CR, and a single
// ESC leaves it. The radio answers each step with a prompt line; each command
// completes on the first non-empty line (the read parsing of
// MicrohardBaseClassGetStrValueCommand). The prompts themselves are not
// checked, but an answer with "ERROR" anywhere in it is an error answer: a
// dialogue the radio refused must not go on to point S131/S132 at an entry
// that was never written.
//
// The L400 register commands (S103 wireless rate, S125 bandwidth, S131/S132
// frequency entry) are rows of MicrohardRegisterCommands.h.

#include <string>

#include "common/CharVector.h"
#include "radio/microhard/MicrohardBaseCommands.h"
#include "radio/microhard/MicrohardTypes.h"

namespace Veltrio {
namespace Radio {

// One step of the dialogue: its value is the prompt line; the status is
// COMMAND_STATUS_ERROR when what was received up to completion holds "ERROR"
// (before the first NUL, as for every error token), so the engine raises
// CommandException with the step's text.
// The prompts are no result lines: where an answer ends cannot be told
// (Unknown).
class MicrohardL400DealerStepCommand : public MicrohardBaseClassGetStrValueCommand {
public:
    using MicrohardBaseClassGetStrValueCommand::MicrohardBaseClassGetStrValueCommand;
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override;
    bool inDialogue() const override { return true; }

protected:
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;
};

#define VELTRIO_MICROHARD_DEALER(Class, Text)                                                              \
    class Class : public MicrohardL400DealerStepCommand {                                                  \
    public:                                                                                                \
        Class() : MicrohardL400DealerStepCommand(Text, "") {}                                              \
    };

// clang-format off
VELTRIO_MICROHARD_DEALER(MicrohardL400EnterDealerModeCommand,    "ATP0=\r")
VELTRIO_MICROHARD_DEALER(MicrohardL400SendDealerPasswordCommand, "kest%al\r")
// clang-format on

// ESC: the radio is back in command mode, where an answer ends with its
// result line. Waiting for that line also takes in whatever the dialogue was
// still sending, so that the commands after it read their own answers. A
// radio that answers ESC with one line of its own and no result line has
// said all it says once no more lines follow (MayFollow).
class MicrohardL400ExitDealerModeCommand : public MicrohardL400DealerStepCommand {
public:
    MicrohardL400ExitDealerModeCommand() : MicrohardL400DealerStepCommand("\x1b", "") {}
    bool leavesDialogue() const override { return true; }

protected:
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;
};

// One frequency table entry: entry 42, 450125000 Hz, bandwidth 1, direction 2
// go out as  42\r450125000\r1\r2\r  and nothing else (no "AT", no LF).
class MicrohardL400SetTableFrequencyCommand : public MicrohardL400DealerStepCommand {
public:
    MicrohardL400SetTableFrequencyCommand();
    // DataNotSetException unless all four fields were set.
    void buildCmdStr(Veltrio::Common::CharVector& out) override;

    void setEntry(unsigned short entry);
    void setFrequency(unsigned int hertz);
    void setBandwidth(MICROHARD_L400_BANDWIDTH bandwidth);
    void setDirection(MICROHARD_L400_DIRECTION direction);

protected:
    // A radio may answer each of the four fields with a line of its own, or
    // the whole entry with one line: until four lines (or "ERROR") have
    // arrived more may follow (MayFollow), after them the end is Unknown.
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;

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
