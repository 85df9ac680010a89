#include "radio/Command.h"

#include <algorithm>
#include <vector>

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

AnswerEnd Command::answerEnd(const CharVector& data) const { return answerEndOf(withoutEcho(data)); }

AnswerEnd Command::answerEndOf(const CharVector&) const { return AnswerEnd::Unknown; }

bool Command::needsQuietLineBefore() const { return false; }

bool Command::inDialogue() const { return false; }

bool Command::leavesDialogue() const { return false; }

bool Command::savesSettings() const { return false; }

namespace {
// The lines of the bytes written, in order: "42\r450125000\r1\r2\r" gives
// 42, 450125000, 1, 2; "\r\nATA\r\n" gives ATA.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = text.find_first_not_of("\r\n"); at != std::string::npos;) {
        const std::size_t end = text.find_first_of("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? end : text.find_first_not_of("\r\n", end);
    }
    return lines;
}

// The length of the line end at `at` in `text`: CR LF, CR or LF; 0 for none.
std::size_t lineEndAt(const std::string& text, std::size_t at) {
    if (at >= text.size()) return 0;
    if (text.compare(at, 2, "\r\n") == 0) return 2;
    return text[at] == '\r' || text[at] == '\n' ? 1 : 0;
}
} // namespace

CharVector Command::withoutEcho(const CharVector& data) const {
    const std::vector<std::string> echo = linesOf(sentCommand);
    if (echo.empty()) return data;
    const std::string text = data.str();
    std::string answer;
    std::size_t next = 0; // the written line whose echo may come next
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lineStart = at;
        at = text.find_first_not_of("\r\n", at);
        if (at == std::string::npos) at = text.size();
        answer.append(text, lineStart, at - lineStart);
        if (at == text.size()) break;
        const std::size_t lineEnd = std::min(text.find_first_of("\r\n", at), text.size());
        const std::size_t ending = lineEndAt(text, lineEnd);
        if (next < echo.size() && ending > 0 && text.compare(at, lineEnd - at, echo[next]) == 0) {
            ++next; // the echo and its line end
            at = lineEnd + ending;
            continue;
        }
        answer.append(text, at, lineEnd - at);
        at = lineEnd;
    }
    return CharVector(answer);
}

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
    return holdsErrorToken(withoutEcho(data), start, length);
}

bool Command::holdsErrorToken(const CharVector& answer, unsigned int& start, unsigned int& length) const {
    std::string text = answer.str();
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
    const CharVector answer = withoutEcho(data);
    if (holdsErrorToken(answer, start, length)) {
        status = COMMAND_STATUS_ERROR;
        return true;
    }
    const std::string text = answer.str();
    if (text.empty()) return false; // nothing but the echo yet
    const std::string::size_type at = text.find(responseToken);
    if (at == std::string::npos) return false;
    start = static_cast<unsigned int>(at);
    length = static_cast<unsigned int>(responseToken.size());
    status = COMMAND_STATUS_OK;
    return true;
}

} // namespace Radio
} // namespace Veltrio
