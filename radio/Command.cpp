#include "radio/Command.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;

Command::Command(const std::string& command, const std::string& response)
    : commandText(command),
      responseToken(response),
      errorToken("ERROR"),
      status(static_cast<COMMAND_STATUS>(0)),
      valid(true),
      commandModeCommand(false) {}

Command::~Command() { valid = false; }

AnswerEnd Command::answerEnd(const CharVector&) const { return AnswerEnd::Unknown; }

COMMAND_STATUS Command::getStatus() { return status; }

void Command::setStatus(COMMAND_STATUS newStatus) { status = newStatus; }

bool Command::isValid() { return valid; }

bool Command::isCommandModeCommand() { return commandModeCommand; }

void Command::setCommandModeCommand(bool commandMode) { commandModeCommand = commandMode; }

void Command::setSentCommand(const CharVector& sent) { sentCommand = sent.str(); }

void Command::getSentCommand(std::string& out) const { out = sentCommand; }

// A radio that answers "ERROR" after, say, "SL@P=500\r\n": the error token is
// searched only up to the first NUL byte of what arrived.
bool Command::simpleErrorParse(const CharVector& data, unsigned int& start, unsigned int& length) const {
    std::string text = data.str();
    const std::string::size_type nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    const std::string::size_type at = text.find(errorToken);
    if (at == std::string::npos) return false;
    start = static_cast<unsigned int>(at);
    length = static_cast<unsigned int>(errorToken.size());
    return true;
}

// "SL+++\r\nOK\r\n" (the radio's echo, then its answer) completes a command
// whose token is "OK" at position 7. "OK" together with "ERROR", in either
// order, is an error answer.
bool Command::simpleResponseParse(const CharVector& data, unsigned int& start, unsigned int& length) {
    if (simpleErrorParse(data, start, length)) {
        status = COMMAND_STATUS_ERROR;
        return true;
    }
    const std::string text = data.str();
    const std::string::size_type at = text.find(responseToken);
    if (at == std::string::npos) return false;
    start = static_cast<unsigned int>(at);
    length = static_cast<unsigned int>(responseToken.size());
    status = COMMAND_STATUS_OK;
    return true;
}

} // namespace Radio
} // namespace Veltrio
