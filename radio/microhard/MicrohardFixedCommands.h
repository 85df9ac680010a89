#pragma once
// The Microhard commands that are not S-registers: command mode, echo, save,
// identification.
//
// Line ends differ by command and are part of the text: "+++" has none (the
// radio recognises the escape by the guard time around it), "\r\nATA\r\n"
// leaves command mode with a line end before and after, the others end in
// CR LF.

#include <string>

#include "common/CharVector.h"
#include "radio/Command.h"
#include "radio/microhard/MicrohardAnswer.h"
#include "radio/microhard/MicrohardBaseCommands.h"

namespace Veltrio {
namespace Radio {

// A fixed text, complete when the token arrives, failed when "ERROR" does;
// the answer ends with its final result line. `QuietBefore`: the radio takes
// the command only after a guard time of quiet line (an escape sequence).
// `Saves`: the command stores the settings in the radio.
#define VELTRIO_MICROHARD_FIXED(Class, Text, Token, QuietBefore, Saves)                                    \
    class Class : public Command {                                                                         \
    public:                                                                                                \
        Class() : Command(Text, Token) {}                                                                  \
        bool needsQuietLineBefore() const override { return QuietBefore; }                                 \
        bool savesSettings() const override { return Saves; }                                              \
        void buildCmdStr(Veltrio::Common::CharVector& out) override { out = Veltrio::Common::CharVector(commandText); } \
        bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override { \
            return simpleResponseParse(data, start, length);                                               \
        }                                                                                                  \
                                                                                                           \
    protected:                                                                                             \
        AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override {                  \
            return microhardResultEnd(answer);                                                             \
        }                                                                                                  \
    };

// clang-format off
// The escape to command mode; only the whole answer, both lines with their
// line ends, completes it. The radio takes "+++" only after a guard time
// without traffic on the line.
//                      class                              text           token                         quiet before  saves
VELTRIO_MICROHARD_FIXED(MicrohardEnterCommandModeCommand,  "+++",         "\r\nNO CARRIER\r\nOK\r\n", true,         false)
VELTRIO_MICROHARD_FIXED(MicrohardExitCommandModeCommand,   "\r\nATA\r\n", "OK\r\n",                      false,        false)
VELTRIO_MICROHARD_FIXED(MicrohardSaveConfigurationCommand, "AT&W\r\n",    "OK",                          false,        true)
// clang-format on

// "ATE0\r\n" / "ATE1\r\n". Any answer but the echo completes it without
// touching the status.
class MicrohardSetEchoCommand : public Command {
public:
    MicrohardSetEchoCommand();
    void buildCmdStr(Veltrio::Common::CharVector& out) override;
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override;
    void setEcho(bool on);

protected:
    // Its answer too ends with the final result line.
    AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const override;

private:
    bool echo;
    bool echoSet;
};

// "ATI1\r\n" answered  \r\nL400\r\n\r\nOK\r\n : the first line unchanged.
class MicrohardGetProductCodeCommand : public MicrohardBaseClassGetStrValueCommand {
public:
    MicrohardGetProductCodeCommand() : MicrohardBaseClassGetStrValueCommand("ATI1\r\n", "OK") {}
    std::string getProductCode() const { return getStrValue(); }
};

// "ATI7\r\n" answered  \r\nSN 123456\r\n\r\nOK\r\n : "123456", the text after
// the first blank (the whole line when it has none).
class MicrohardGetSerialNumberCommand : public MicrohardBaseClassGetStrValueCommand {
public:
    MicrohardGetSerialNumberCommand() : MicrohardBaseClassGetStrValueCommand("ATI7\r\n", "OK") {}
    std::string getSerialNumber() const;
};

} // namespace Radio
} // namespace Veltrio
