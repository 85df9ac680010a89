#pragma once
// Command: one exchange with a radio modem. A command renders itself as the
// bytes written to the radio (buildCmdStr) and recognises, in everything the
// radio has sent back since the write, a complete answer to itself (parse).
// The engine (RadioBase) writes one command at a time and offers the growing
// receive queue to the command's parse until it reports completion; the status
// parse leaves behind decides whether the exchange succeeded.

#include <cstdint>
#include <string>

#include "common/CharVector.h"

namespace Veltrio {
namespace Radio {

// Fixed values: the engine and the detection compare them numerically.
enum COMMAND_STATUS : std::int32_t {
    COMMAND_STATUS_SENT = 1,  // written, no complete answer yet (set by the engine)
    COMMAND_STATUS_OK = 2,    // a complete positive answer (set by parse)
    COMMAND_STATUS_ERROR = 3, // the radio answered with the error token, or the answer has the wrong shape
};

// What a command knows of the end of an answer its parse has accepted; the
// fast exchange (ExchangeTiming) completes on it instead of waiting out the
// line.
enum class AnswerEnd {
    Unknown,   // the answer has no end the command can recognise: the line must go quiet for the gap
    Awaited,   // the answer has a recognisable end that has not arrived yet: more is coming
    MayFollow, // more lines may follow, or the radio may have said all it says: wait the follow gap for them
    Whole,     // the answer's end has arrived: nothing more will come for this command
};

class Command {
public:
    // `command` is the literal command text ("SL+++"), the start of every
    // rendering; `response` the token that marks a positive answer ("OK"),
    // possibly empty for commands with their own parse.
    Command(const std::string& command, const std::string& response);

    // Fills `out` with the complete bytes to write. Setter commands throw
    // DataNotSetException when their value was never set.
    virtual void buildCmdStr(Veltrio::Common::CharVector& out) = 0;
    // True when `data` (everything received since the write) holds a complete
    // answer, positive or error; sets the status then. `start`/`length`
    // describe where the recognised token lies; the engine does not use them.
    virtual bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) = 0;

    // Asked only after parse accepted `data` (everything received since the
    // write): where the answer in it, without the radio's echo, ends.
    AnswerEnd answerEnd(const Veltrio::Common::CharVector& data) const;

    // True for a command the radio takes only after a guard time of quiet
    // line before it (the Hayes escape "+++"): the engine keeps the line
    // quiet that long first.
    virtual bool needsQuietLineBefore() const;

    // What a stop (StopRequest.h) still lets out. After one, the engine
    // writes only what takes the radio out of command mode: the exit
    // commands that end the queue, and the step that leaves a dialogue the
    // radio is in (the ESC of the L400 dealer mode). A step of such a dialogue
    // is inDialogue; the step that leaves it is leavesDialogue too.
    virtual bool inDialogue() const;
    virtual bool leavesDialogue() const;
    // True for a command that stores the settings in the radio (AT&W, SL**>).
    virtual bool savesSettings() const;

    virtual COMMAND_STATUS getStatus();
    virtual void setStatus(COMMAND_STATUS status);
    // True for the whole life of the object.
    virtual bool isValid();
    // Command-mode commands are the enter/exit commands the engine obtains
    // from its driver's factories (heap objects); the engine deletes them.
    virtual bool isCommandModeCommand();
    virtual void setCommandModeCommand(bool commandMode);
    // The bytes last written for this command, kept as text for error messages.
    virtual void setSentCommand(const Veltrio::Common::CharVector& sent);
    virtual void getSentCommand(std::string& out) const;

    // Commands are deleted through Command* (the engine's command-mode commands).
    virtual ~Command();

protected:
    // Where the answer ends, asked with the answer without the echo. Unknown
    // unless the command's family says otherwise.
    virtual AnswerEnd answerEndOf(const Veltrio::Common::CharVector& answer) const;

    // The received bytes without the radio's echo of this command. A radio
    // with its echo on sends back each line it takes before it answers:
    // "SL**>" is answered  SL**>\r\nOK\r\n , "ATS104?\r\n" with echo on
    //  ATS104?\r\n\r\n101\r\n\r\nOK\r\n . A line that repeats a line of the
    // bytes last written (setSentCommand), in their order, with its line end,
    // is never part of the answer and is taken out; the four fields of an
    // L400 table entry are echoed one by one between their prompts. Nothing
    // is taken out before the command was written.
    Veltrio::Common::CharVector withoutEcho(const Veltrio::Common::CharVector& data) const;

    // The parse of every command whose answer is just a token: the error token
    // wins over the response token; both are plain substring searches over
    // everything received but the echo (withoutEcho), so a prompt or noise in
    // front do not matter. Received bytes "SL+++\r\nOK\r\n" with token "OK"
    // (before the command was written): true, status OK, start 7, length 2;
    // start and length count in the bytes without the echo. With an empty
    // token any byte but the echo completes it. Returns false and changes
    // nothing while neither token has arrived.
    bool simpleResponseParse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length);
    // Searches the received bytes but the echo, up to the first NUL byte, for
    // "ERROR"; on a hit sets start/length to it and returns true. Does not
    // touch the status.
    bool simpleErrorParse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) const;
    // The same search over an answer the echo is already out of.
    bool holdsErrorToken(const Veltrio::Common::CharVector& answer, unsigned int& start, unsigned int& length) const;

    std::string commandText;
    std::string responseToken;
    std::string errorToken;
    // Not one of the enumerators until the engine writes the command.
    COMMAND_STATUS status;
    bool valid;
    bool commandModeCommand;
    std::string sentCommand;
};

} // namespace Radio
} // namespace Veltrio
