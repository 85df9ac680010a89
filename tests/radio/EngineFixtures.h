#pragma once
// Shared pieces of the engine tests: a token-answered command (also one with a
// fixed answer end), a command whose value was never set, command-mode
// commands that count their lives, a radio built on the engine, and a clock
// the test moves by hand.

#include <string>

#include "common/CharVector.h"
#include "common/TimerInterface.h"
#include "radio/Command.h"
#include "radio/RadioBase.h"
#include "radio/RadioExceptions.h"

namespace EngineTest {

// Written as its text; complete when "OK" (or "ERROR") has arrived.
class TokenCommand : public Veltrio::Radio::Command {
public:
    explicit TokenCommand(const std::string& text, const std::string& token = "OK") : Command(text, token) {}
    void buildCmdStr(Veltrio::Common::CharVector& out) override { out = Veltrio::Common::CharVector(commandText); }
    bool parse(const Veltrio::Common::CharVector& data, unsigned int& start, unsigned int& length) override {
        return simpleResponseParse(data, start, length);
    }
};

// A token-answered command that tells the fast exchange a fixed answer end.
class EndedCommand : public TokenCommand {
public:
    EndedCommand(const std::string& text, Veltrio::Radio::AnswerEnd end) : TokenCommand(text), end(end) {}

protected:
    Veltrio::Radio::AnswerEnd answerEndOf(const Veltrio::Common::CharVector&) const override { return end; }

private:
    Veltrio::Radio::AnswerEnd end;
};

// A setter whose value was never given.
class UnsetCommand : public TokenCommand {
public:
    UnsetCommand() : TokenCommand("SL@P=") {}
    void buildCmdStr(Veltrio::Common::CharVector&) override {
        throw Veltrio::Radio::DataNotSetException("UnsetCommand");
    }
};

// The enter/exit commands the radio's factories hand to the engine.
class ModeCommand : public TokenCommand {
public:
    explicit ModeCommand(const std::string& text) : TokenCommand(text) {
        ++alive;
        ++made;
    }
    ~ModeCommand() override { --alive; }
    static inline int alive = 0;
    static inline int made = 0;
};

class TestRadio : public Veltrio::Radio::RadioBase {
public:
    TestRadio(Veltrio::Common::Timer* timer, unsigned int timeout, Veltrio::Common::DeviceCommInterface* command,
              Veltrio::Common::DeviceCommInterface* data = nullptr, Veltrio::Common::DeviceCommInterface* gps = nullptr)
        : RadioBase(timer, timeout, command, data != nullptr ? data : command, gps) {}
    Veltrio::Radio::RADIO_TYPE getType() const override { return Veltrio::Radio::RADIO_TYPE_UNKNOWN; }
    Veltrio::Radio::Command* getEnterCommandModeCommand() override { return new ModeCommand("ENTER"); }
    Veltrio::Radio::Command* getExitCommandModeCommand() override { return new ModeCommand("EXIT"); }

    const std::list<Veltrio::Radio::Command*>& pending() const { return pendingCommands; }
    const std::list<Veltrio::Radio::Command*>& processed() const { return processedCommands; }
};

// Time moves only when the test says so; sleep() keeps the measurement
// running, like the Timer of radiocfg.
class FakeClock : public Veltrio::Common::Timer {
public:
    void reset() override { start = now; }
    unsigned int elapsed() override { return now - start; }
    void sleep(unsigned int) override {}
    void advance(unsigned int ms) { now += ms; }

private:
    unsigned int now = 0;
    unsigned int start = 0;
};

} // namespace EngineTest
