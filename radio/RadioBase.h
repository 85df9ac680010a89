#pragma once
// RadioBase: the command engine every radio driver is built on. It queues
// commands and runs a strictly sequential exchange with the radio: write one
// command, poll the device until that command's parse reports a complete
// answer or the command timeout has passed, then write the next. One command
// is on the wire at a time.
//
// A driver operation follows one cycle: queue (enterCommandMode, addCommand...,
// exitCommandMode, or batch), sendCommands, read the results from its own
// command objects, clearProcessedCommands (also when a step threw).
//
// Ownership: the devices and the timer belong to the caller and must outlive
// the engine. Queued commands belong to the operation that created them and
// must stay alive until it has cleared the engine's lists; the only exception
// are the command-mode commands (heap objects flagged with
// setCommandModeCommand(true), normally from the driver's factories), which the
// engine deletes exactly once, in clearProcessedCommands. Those it has already
// taken over (queued by the base enterCommandMode/exitCommandMode, or in the
// lists when sendCommands started) are also freed if the engine is destroyed
// without a final clear.

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/CharVector.h"
#include "common/DeviceCommInterface.h"
#include "common/ExchangeTiming.h"
#include "common/TimerInterface.h"
#include "radio/Command.h"
#include "radio/RadioType.h"

namespace Veltrio {
namespace Radio {

// Told of every command the engine writes, just before it goes out.
class ExchangeListener {
public:
    // `bytes` as they will be written; `queuedBehind` commands of the same
    // sendCommands are still to be written after this one.
    virtual void commandGoingOut(const Veltrio::Common::CharVector& bytes, std::size_t queuedBehind) = 0;

protected:
    ~ExchangeListener() = default;
};

class RadioBase {
public:
    // `command` receives the written commands, `data` is polled for answers
    // (the same serial device in every driver); `gps`, if not null, receives a
    // copy of every byte examined in a poll. Throws ProgrammingException when
    // `command` or `data` is null. `commandTimeout` is in milliseconds.
    RadioBase(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
              Veltrio::Common::DeviceCommInterface* command, Veltrio::Common::DeviceCommInterface* data,
              Veltrio::Common::DeviceCommInterface* gps);
    RadioBase(const RadioBase&) = delete;
    RadioBase& operator=(const RadioBase&) = delete;

    // One poll of the radio: read until the device's queue stops growing, then
    // offer the queue to the command at the head of the queue. If `out` is not
    // null it receives the bytes examined. Throws CommandException when that
    // command completes with the error token.
    virtual void process(Veltrio::Common::CharVector* out);
    virtual RADIO_TYPE getType() const = 0;
    // A bare enter/exit command-mode exchange, to see whether the radio answers.
    virtual void testCommand();
    virtual Veltrio::Common::DeviceCommInterface* getCommandDevice() const;
    virtual Veltrio::Common::DeviceCommInterface* getDataDevice() const;
    virtual Veltrio::Common::DeviceCommInterface* getGPSDevice() const;
    virtual Veltrio::Common::Timer* getTimer() const;
    // enterCommandMode, the commands in order, exitCommandMode, sendCommands;
    // the engine is cleared afterwards whether or not sending threw.
    virtual void batch(const std::list<Command*>& commands);
    // Deletes the command-mode commands and empties both lists.
    virtual void clearProcessedCommands();
    // Base versions queue one command each from the factories below and flag
    // it as a command-mode command.
    virtual void enterCommandMode();
    virtual void exitCommandMode();
    // Factories: a new heap command each call.
    virtual Command* getEnterCommandModeCommand() = 0;
    virtual Command* getExitCommandModeCommand() = 0;
    // Appends to the pending list; returns `command`.
    virtual Command* addCommand(Command* command);
    // A copy of the list of answered commands, in completion order.
    virtual std::list<Command*> getProcessedCommands();
    // Radio type probes; both leave the two lists empty.
    virtual bool detectSatel();
    virtual bool detectMicrohard(RADIO_TYPE& type);

    // Writes the pending commands one by one, each answered before the next.
    // Once a stop was requested (StopRequest.h) it writes only what takes
    // the radio out of command mode (Command::inDialogue), and then throws
    // StoppedException; a queue of which nothing was written yet is not
    // written at all.
    // Throws CommandException (error answer; later commands not written),
    // CommandTimeoutException (no complete answer within the command timeout),
    // whatever buildCmdStr throws, and the device's exceptions.
    void sendCommands();
    // Deletes every command-mode command in the lists (each exactly once) and
    // takes it out of the lists.
    void deleteCommandModeCommands();
    unsigned int getCommandTimeout() const;
    // Applies from the next wait.
    void setCommandTimeout(unsigned int commandTimeout);
    // How the exchange waits on the line (the default until set); the device
    // must have been given the same read deadline.
    void setTiming(const Veltrio::Common::ExchangeTiming& timing);
    // Null (the default): nobody is told.
    void setExchangeListener(ExchangeListener* listener);

    // Finds out which radio is attached to the open `device`.
    static RADIO_TYPE detectType(Veltrio::Common::Timer* timer, Veltrio::Common::DeviceCommInterface* device,
                                 const Veltrio::Common::ExchangeTiming& timing = Veltrio::Common::ExchangeTiming(),
                                 ExchangeListener* listener = nullptr);

protected:
    // Drivers are destroyed through their own type, never through RadioBase*.
    ~RadioBase();

    std::list<Command*> pendingCommands;
    Veltrio::Common::DeviceCommInterface* commandDevice;
    Veltrio::Common::DeviceCommInterface* dataDevice;
    Veltrio::Common::DeviceCommInterface* gpsDevice;
    std::list<Command*> processedCommands;
    Veltrio::Common::Timer* timer;
    unsigned int commandTimeout;

private:
    // Reads `device` until a read adds nothing, then parses as described at
    // process(); `buffer` receives the device's whole queue.
    void __process(Veltrio::Common::CharVector& buffer, Veltrio::Common::DeviceCommInterface* device);
    // Polls until `command` is among the processed commands (true) or the
    // command timeout has passed, tested between polls (CommandTimeoutException).
    bool __waitForCommandResponse(Command* command);
    // Takes ownership of flagged commands in the lists not yet owned.
    void adoptCommandModeCommands();
    // With an escape guard: waits until the line has been quiet that long.
    void guardEscape();
    // An answer still arriving is read on up to one read deadline past the
    // command timeout: true once that bound has passed.
    bool pastReadOn() const;
    // The fast exchange, once `command` has accepted `buffer` (the device's
    // queue): true when the answer is whole, after reading on through the
    // quiet gap where the command cannot tell (`buffer` and the parse then
    // cover what came); false while the rest is still to come.
    bool answerComplete(Command& command, Veltrio::Common::CharVector& buffer,
                        Veltrio::Common::DeviceCommInterface& device, unsigned int& start, unsigned int& length);

    Veltrio::Common::ExchangeTiming timing;
    // Last byte written or received, for the escape guard.
    std::chrono::steady_clock::time_point lastTraffic = std::chrono::steady_clock::now();
    // The last read of the last poll brought bytes: an answer may still be
    // arriving.
    bool heard = false;

    ExchangeListener* exchangeListener = nullptr;

    // For StoppedException: the last command written (by any queue), and
    // whether a command that stores the settings had completed.
    std::string lastWritten;
    bool settingsSaved = false;

    // The command-mode commands the engine has seen; deleting happens only here.
    std::vector<std::unique_ptr<Command>> ownedCommands;
};

} // namespace Radio
} // namespace Veltrio
