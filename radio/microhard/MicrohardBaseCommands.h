#pragma once
// The four shapes of every Microhard command. A register read sends
// "ATS<n>?\r\n" and takes its value from the first answer line; a register
// write sends "ATS<n>=<value>\r\n" and completes on "OK" (or fails on
// "ERROR"). The commands of the family only add their text and one typed
// accessor on top of these.
//
// The driver switches the radio's echo off before these run; where it stays
// on, the echoed "ATS104?" line is not the answer (Command::withoutEcho).

#include <string>

#include "common/CharVector.h"
#include "radio/Command.h"

namespace Veltrio {
namespace Radio {

// A read whose value is the first answer line as text.
class MicrohardBaseClassGetStrValueCommand : public Command {
public:
    MicrohardBaseClassGetStrValueCommand(const std::string& command, const std::string& response);

    // The command text as stored, nothing added.
    void buildCmdStr(Veltrio::Common::CharVector& out) override;
    // Complete once a whole first line has arrived (see microhardFirstLine);
    // the line, whatever it says ("ERROR" too), becomes the value and the
    // status COMMAND_STATUS_OK, and everything received counts as consumed.
    // Until then it returns false; the status is then COMMAND_STATUS_ERROR,
    // which is provisional, as the engine looks at it only after a true.
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override;

    // The last line parsed; empty before a complete answer.
    virtual std::string getStrValue() const;

protected:
    // The answer ends with its final "OK" or "ERROR" line (microhardResultEnd).
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;
    std::string value;
};

// A read whose value is a decimal number.
class MicrohardBaseClassGetIntValueCommand : public MicrohardBaseClassGetStrValueCommand {
public:
    using MicrohardBaseClassGetStrValueCommand::MicrohardBaseClassGetStrValueCommand;
    // convertStrToInt of the value: ConversionException when the line holds
    // no number ("ERROR", or nothing parsed yet).
    virtual int getIntValue() const;
};

// A write of a text value.
class MicrohardBaseClassSetStrValueCommand : public Command {
public:
    MicrohardBaseClassSetStrValueCommand(const std::string& command, const std::string& response);

    // Command text + value + "\r\n". DataNotSetException when no value is set:
    // every parse consumes the value, so each send needs a new one.
    void buildCmdStr(Veltrio::Common::CharVector& out) override;
    // Clears the value flag, then the token search of the base: "ERROR"
    // anywhere is an error answer, otherwise "OK" anywhere completes it.
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override;

    virtual void setStrValue(const std::string& text);

protected:
    // The answer ends with its final "OK" or "ERROR" line (microhardResultEnd).
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;
    std::string terminator;
    std::string value;
    bool valueSet;
};

// A write of a decimal number.
class MicrohardBaseClassSetIntValueCommand : public MicrohardBaseClassSetStrValueCommand {
public:
    using MicrohardBaseClassSetStrValueCommand::MicrohardBaseClassSetStrValueCommand;
    // The value in decimal, through setStrValue.
    virtual void setIntValue(int number);

    // minimum <= value <= maximum, the range checks of the typed setters.
    template <typename T>
    static bool inRange(T value, T minimum, T maximum) {
        return minimum <= value && value <= maximum;
    }
};

} // namespace Radio
} // namespace Veltrio
