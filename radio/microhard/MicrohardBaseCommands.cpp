#include "radio/microhard/MicrohardBaseCommands.h"

#include "common/Conversions.h"
#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardAnswer.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;

MicrohardBaseClassGetStrValueCommand::MicrohardBaseClassGetStrValueCommand(const std::string& command,
                                                                           const std::string& response)
    : Command(command, response) {}

void MicrohardBaseClassGetStrValueCommand::buildCmdStr(CharVector& out) { out = CharVector(commandText); }

// "ATS104?\r\n" answered, echo off:  \r\n101\r\n\r\nOK\r\n  -> value "101".
// The "OK" after the line is not waited for: the line alone completes it.
// A radio that refuses the read answers  \r\nERROR\r\n : an error answer,
// like that of every other refused command, not a value.
bool MicrohardBaseClassGetStrValueCommand::parse(const CharVector& data, unsigned int& start,
                                                 unsigned int& length) {
    if (data.empty()) return false;
    std::string line;
    if (microhardFirstLine(withoutEcho(data), line) != MicrohardLine::Complete) {
        setStatus(COMMAND_STATUS_ERROR);
        return false;
    }
    value = line;
    start = 0;
    length = static_cast<unsigned int>(data.size());
    setStatus(line == errorToken ? COMMAND_STATUS_ERROR : COMMAND_STATUS_OK);
    return true;
}

AnswerEnd MicrohardBaseClassGetStrValueCommand::answerEndOf(const CharVector& answer) const {
    return microhardResultEnd(answer);
}

std::string MicrohardBaseClassGetStrValueCommand::getStrValue() const { return value; }

int MicrohardBaseClassGetIntValueCommand::getIntValue() const {
    return Veltrio::Common::convertStrToInt(getStrValue());
}

MicrohardBaseClassSetStrValueCommand::MicrohardBaseClassSetStrValueCommand(const std::string& command,
                                                                           const std::string& response)
    : Command(command, response), terminator("\r\n"), valueSet(false) {}

void MicrohardBaseClassSetStrValueCommand::buildCmdStr(CharVector& out) {
    out.clear();
    if (!valueSet) throw DataNotSetException("MicrohardBaseClassSetStrValueCommand");
    out = CharVector(commandText + value + terminator);
}

// "ATS105=42\r\n" answered  \r\nOK\r\n  (or  \r\nERROR\r\n  for a value the
// radio refuses).
bool MicrohardBaseClassSetStrValueCommand::parse(const CharVector& data, unsigned int& start, unsigned int& length) {
    valueSet = false;
    return simpleResponseParse(data, start, length);
}

AnswerEnd MicrohardBaseClassSetStrValueCommand::answerEndOf(const CharVector& answer) const {
    return microhardResultEnd(answer);
}

void MicrohardBaseClassSetStrValueCommand::setStrValue(const std::string& text) {
    value = text;
    valueSet = true;
}

void MicrohardBaseClassSetIntValueCommand::setIntValue(int number) {
    setStrValue(Veltrio::Common::convertIntToStr(number));
}

} // namespace Radio
} // namespace Veltrio
