#include "radio/microhard/MicrohardL400Commands.h"

#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardAnswer.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;

bool MicrohardL400DealerStepCommand::parse(const CharVector& data, unsigned int& start, unsigned int& length) {
    if (!MicrohardBaseClassGetStrValueCommand::parse(data, start, length)) return false;
    unsigned int errorStart = 0, errorLength = 0;
    if (simpleErrorParse(data, errorStart, errorLength)) setStatus(COMMAND_STATUS_ERROR);
    return true;
}

AnswerEnd MicrohardL400DealerStepCommand::answerEndOf(const CharVector&) const { return AnswerEnd::Unknown; }

AnswerEnd MicrohardL400ExitDealerModeCommand::answerEndOf(const CharVector& answer) const {
    return microhardResultEnd(answer) == AnswerEnd::Whole ? AnswerEnd::Whole : AnswerEnd::MayFollow;
}

namespace {
// Entry, frequency, bandwidth, direction.
constexpr std::size_t tableFields = 4;
} // namespace

AnswerEnd MicrohardL400SetTableFrequencyCommand::answerEndOf(const CharVector& answer) const {
    unsigned int errorStart = 0, errorLength = 0;
    const bool refused = holdsErrorToken(answer, errorStart, errorLength);
    return refused || microhardLineCount(answer) >= tableFields ? AnswerEnd::Unknown : AnswerEnd::MayFollow;
}

MicrohardL400SetTableFrequencyCommand::MicrohardL400SetTableFrequencyCommand()
    : MicrohardL400DealerStepCommand("", ""),
      entry(0),
      frequency(0),
      bandwidth(MICROHARD_L400_BANDWIDTH_1),
      direction(MICROHARD_L400_DIRECTION_2),
      entrySet(false),
      frequencySet(false),
      bandwidthSet(false),
      directionSet(false) {}

void MicrohardL400SetTableFrequencyCommand::buildCmdStr(CharVector& out) {
    out.clear();
    if (!(entrySet && frequencySet && bandwidthSet && directionSet))
        throw DataNotSetException("MicrohardL400SetTableFrequencyCommand");
    out = CharVector(std::to_string(entry) + "\r" + std::to_string(frequency) + "\r" +
                     std::to_string(static_cast<int>(bandwidth)) + "\r" +
                     std::to_string(static_cast<int>(direction)) + "\r");
}

void MicrohardL400SetTableFrequencyCommand::setEntry(unsigned short value) {
    entry = value;
    entrySet = true;
}

void MicrohardL400SetTableFrequencyCommand::setFrequency(unsigned int hertz) {
    frequency = hertz;
    frequencySet = true;
}

void MicrohardL400SetTableFrequencyCommand::setBandwidth(MICROHARD_L400_BANDWIDTH value) {
    bandwidth = value;
    bandwidthSet = true;
}

void MicrohardL400SetTableFrequencyCommand::setDirection(MICROHARD_L400_DIRECTION value) {
    direction = value;
    directionSet = true;
}

} // namespace Radio
} // namespace Veltrio
