#pragma once
// The three shapes every Satel command has, written once; SatelCommands.h
// lists the commands themselves as rows over these shapes.
//
// On the wire a command is its text and, for a setter, the value right after
// it: no terminator, no checksum ("SL@P=500"). The radio answers setters and
// the mode and flash commands with a bare token ("OK", or "ERROR" when it
// refuses); queries with the value in a shape of their own (SatelAnswers.h).
// Every answer is one line (SatelAnswers::answerEnd). A radio with its echo on
// sends the command back first ("SL@P=500\r\nOK\r\n"); the echo is never the
// answer (Command::withoutEcho).

#include <string>

#include "common/CharVector.h"
#include "radio/Command.h"
#include "radio/RadioExceptions.h"
#include "radio/satel/SatelAnswers.h"

namespace Veltrio {
namespace Radio {

// A command without a value whose answer is a token: "SL+++" -> "OK".
// With an empty token any answer completes it ("ERROR" as an error).
class SatelTokenCommand : public Command {
public:
    void buildCmdStr(Veltrio::Common::CharVector& out) override { out = Veltrio::Common::CharVector(commandText); }
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override {
        return simpleResponseParse(data, start, length);
    }

protected:
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override {
        return SatelAnswers::answerEnd(answer);
    }
    SatelTokenCommand(const char* text, const char* token) : Command(text, token) {}
};

// A command that sets one value: "SL@P=" + "500", answered "OK" or "ERROR".
// The value is checked when it is set (the command's Invalid...Exception,
// nothing stored) and consumed by the answer: sending the same object again
// needs a new set call, else rendering throws DataNotSetException with the
// name given here.
template <typename Value>
class SatelSetter : public Command {
public:
    void buildCmdStr(Veltrio::Common::CharVector& out) override {
        if (!dataSet) throw DataNotSetException(unsetName);
        out = Veltrio::Common::CharVector(commandText + render(value));
    }
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override {
        dataSet = false;
        return simpleResponseParse(data, start, length);
    }

protected:
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override {
        return SatelAnswers::answerEnd(answer);
    }
    SatelSetter(const char* text, const char* name, Value initial = Value())
        : Command(text, "OK"), unsetName(name), value(initial) {}
    // Called by the class's set... method after its check passed.
    void store(const Value& checked) {
        value = checked;
        dataSet = true;
    }
    // The value as it follows the command text.
    virtual std::string render(const Value& value) const = 0;

private:
    const char* unsetName;
    bool dataSet = false;
    Value value;
};

// A query: its bare text ("SL@P?") and an answer in its own shape, read by
// one of the SatelAnswers readers. The value getters refuse with
// DataNotReadyException until an answer was read. The readers that find a
// frequency or a spacing also mark an incomplete answer with the error status;
// like every false result that only means "not an answer yet": the engine
// keeps waiting, and an answer that never takes shape ends in a timeout.
template <typename Value>
class SatelQuery : public Command {
public:
    using Reader = bool (*)(const std::string& text, Value& value, SatelAnswers::Span& span);

    void buildCmdStr(Veltrio::Common::CharVector& out) override { out = Veltrio::Common::CharVector(commandText); }
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override {
        dataReady = false;
        Value read = value;
        SatelAnswers::Span span;
        if (!reader(SatelAnswers::answerText(withoutEcho(data)), read, span)) {
            if (incompleteIsError) setStatus(COMMAND_STATUS_ERROR);
            return false;
        }
        value = read;
        dataReady = true;
        start = span.start;
        length = span.length;
        setStatus(COMMAND_STATUS_OK);
        return true;
    }

protected:
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override {
        return SatelAnswers::answerEnd(answer);
    }
    SatelQuery(const char* text, const char* token, Reader answerReader, bool incompleteMarksError,
               Value initial = Value())
        : Command(text, token), reader(answerReader), incompleteIsError(incompleteMarksError), value(initial) {}
    const Value& readValue() const {
        if (!dataReady) throw DataNotReadyException();
        return value;
    }

private:
    Reader reader;
    bool incompleteIsError;
    bool dataReady = false;
    Value value;
};

} // namespace Radio
} // namespace Veltrio
