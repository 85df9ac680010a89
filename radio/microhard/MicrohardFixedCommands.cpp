#include "radio/microhard/MicrohardFixedCommands.h"

#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardAnswer.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;

MicrohardSetEchoCommand::MicrohardSetEchoCommand() : Command("ATE", "OK"), echo(false), echoSet(false) {}

void MicrohardSetEchoCommand::buildCmdStr(CharVector& out) {
    out.clear();
    if (!echoSet) throw DataNotSetException("MicrohardSetEchoCommand");
    out = CharVector(commandText + (echo ? "1" : "0") + "\r\n");
}

// "ATE0\r\n" with echo on is answered  ATE0\r\n\r\nOK\r\n ; with echo off
// just  \r\nOK\r\n . The first bytes after the echo complete it.
bool MicrohardSetEchoCommand::parse(const CharVector& data, unsigned int& start, unsigned int& length) {
    echoSet = false;
    if (withoutEcho(data).empty()) return false;
    start = 0;
    length = static_cast<unsigned int>(data.size());
    return true;
}

AnswerEnd MicrohardSetEchoCommand::answerEndOf(const CharVector& answer) const { return microhardResultEnd(answer); }

void MicrohardSetEchoCommand::setEcho(bool on) {
    echo = on;
    echoSet = true;
}

std::string MicrohardGetSerialNumberCommand::getSerialNumber() const { return microhardSerialNumber(getStrValue()); }

} // namespace Radio
} // namespace Veltrio
