#include "radio/RadioBase.h"

#include <algorithm>
#include <thread>

#include "common/Exception.h"
#include "common/StopRequest.h"
#include "radio/RadioExceptions.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::CharVector;
using Veltrio::Common::DeviceCommInterface;
using Veltrio::Common::ProgrammingException;

namespace {
// Pause between reads and between polls. The Timer of radiocfg counts this in
// microseconds: the device's own blocking read paces the engine.
constexpr unsigned int PollPause = 50;
} // namespace

RadioBase::RadioBase(Veltrio::Common::Timer* timer, unsigned int commandTimeout, DeviceCommInterface* command,
                     DeviceCommInterface* data, DeviceCommInterface* gps)
    : commandDevice(command), dataDevice(data), gpsDevice(gps), timer(timer), commandTimeout(commandTimeout) {
    if (command == nullptr || data == nullptr)
        throw ProgrammingException("RadioBase::RadioBase command or data can not be NULL");
}

RadioBase::~RadioBase() = default;

Command* RadioBase::addCommand(Command* command) {
    pendingCommands.push_back(command);
    return command;
}

void RadioBase::enterCommandMode() {
    Command* command = getEnterCommandModeCommand();
    if (command == nullptr) throw ProgrammingException("RadioBase::enterCommandMode no enter command");
    addCommand(command);
    command->setCommandModeCommand(true);
    ownedCommands.emplace_back(command);
}

void RadioBase::exitCommandMode() {
    Command* command = getExitCommandModeCommand();
    if (command == nullptr) throw ProgrammingException("RadioBase::exitCommandMode no exit command");
    addCommand(command);
    command->setCommandModeCommand(true);
    ownedCommands.emplace_back(command);
}

void RadioBase::batch(const std::list<Command*>& commands) {
    try {
        enterCommandMode();
        for (Command* command : commands) addCommand(command);
        exitCommandMode();
        sendCommands();
    } catch (...) {
        clearProcessedCommands();
        throw;
    }
    clearProcessedCommands();
}

void RadioBase::testCommand() {
    clearProcessedCommands();
    RadioBase::batch({});
}

void RadioBase::clearProcessedCommands() {
    deleteCommandModeCommands();
    processedCommands.clear();
    pendingCommands.clear();
}

void RadioBase::adoptCommandModeCommands() {
    auto adopt = [this](Command* command) {
        if (command == nullptr || !command->isCommandModeCommand()) return;
        const bool owned = std::any_of(ownedCommands.begin(), ownedCommands.end(),
                                       [command](const std::unique_ptr<Command>& o) { return o.get() == command; });
        if (!owned) ownedCommands.emplace_back(command);
    };
    std::for_each(processedCommands.begin(), processedCommands.end(), adopt);
    std::for_each(pendingCommands.begin(), pendingCommands.end(), adopt);
}

void RadioBase::deleteCommandModeCommands() {
    // Collect first, delete once: a command queued twice, or flagged by a
    // driver after the engine had already seen it, is still deleted only once,
    // and no deleted command stays behind in a list.
    adoptCommandModeCommands();
    auto isOwned = [this](Command* command) {
        return std::any_of(ownedCommands.begin(), ownedCommands.end(),
                           [command](const std::unique_ptr<Command>& o) { return o.get() == command; });
    };
    processedCommands.remove_if(isOwned);
    pendingCommands.remove_if(isOwned);
    ownedCommands.clear();
}

std::list<Command*> RadioBase::getProcessedCommands() { return processedCommands; }

unsigned int RadioBase::getCommandTimeout() const { return commandTimeout; }

void RadioBase::setCommandTimeout(unsigned int timeout) { commandTimeout = timeout; }

void RadioBase::setTiming(const Veltrio::Common::ExchangeTiming& t) { timing = t; }

void RadioBase::setExchangeListener(ExchangeListener* listener) { exchangeListener = listener; }

DeviceCommInterface* RadioBase::getCommandDevice() const { return commandDevice; }

DeviceCommInterface* RadioBase::getDataDevice() const { return dataDevice; }

DeviceCommInterface* RadioBase::getGPSDevice() const { return gpsDevice; }

Veltrio::Common::Timer* RadioBase::getTimer() const { return timer; }

void RadioBase::sendCommands() {
    if (pendingCommands.empty()) return;
    if (timer == nullptr) throw ProgrammingException("RadioBase::sendCommands timer can not be NULL");
    adoptCommandModeCommands();

    // Walk a copy: polling moves commands from the pending list to the
    // processed one under our feet.
    const std::vector<Command*> snapshot(pendingCommands.begin(), pendingCommands.end());
    // The exit sequence: the command-mode commands after the last other one.
    std::size_t exitSequence = snapshot.size();
    while (exitSequence > 0 && snapshot[exitSequence - 1]->isCommandModeCommand()) --exitSequence;

    bool written = false;    // something of this queue went out: the radio is in command mode
    bool inDialogue = false; // and in a dialogue inside it
    bool heldBack = false;   // a command was not written because of a stop
    std::string stoppedAfter; // the last command written before the first held back
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        Command* command = snapshot[i];
        if (Veltrio::Common::stopRequested() != 0 &&
            !(written && (i >= exitSequence || (inDialogue && command->leavesDialogue())))) {
            // Out of the queue, so that the next answer is offered to the
            // command that is written.
            pendingCommands.remove(command);
            if (!heldBack) stoppedAfter = lastWritten;
            heldBack = true;
            continue;
        }
        CharVector bytes;
        command->buildCmdStr(bytes);
        if (command->needsQuietLineBefore()) guardEscape();
        if (exchangeListener != nullptr) exchangeListener->commandGoingOut(bytes, snapshot.size() - i - 1);
        commandDevice->dataOut(bytes);
        lastTraffic = std::chrono::steady_clock::now();
        command->setStatus(COMMAND_STATUS_SENT);
        command->setSentCommand(bytes);
        command->getSentCommand(lastWritten);
        written = true;
        inDialogue = command->inDialogue() && !command->leavesDialogue();
        if (!__waitForCommandResponse(command)) return;
        if (command->savesSettings() && command->getStatus() == COMMAND_STATUS_OK) settingsSaved = true;
    }
    if (heldBack) throw StoppedException(Veltrio::Common::stopRequested(), stoppedAfter, settingsSaved);
}

// An escape sequence counts only after a guard time without traffic on the
// line. The patient exchange leaves a whole read deadline of silence after
// every answer; the fast one waits for the guard here.
void RadioBase::guardEscape() {
    const auto quietEnough = lastTraffic + std::chrono::milliseconds(timing.escapeGuard);
    std::this_thread::sleep_until(quietEnough);
}

bool RadioBase::__waitForCommandResponse(Command* command) {
    bool found = false;
    timer->reset();
    // The timeout is tested between polls only: a poll lasts as long as the
    // device's reads, so a silent radio fails at the end of the first poll
    // that ends at or past the timeout, never before. An answer still
    // arriving when the timeout passes is read on, up to one more read
    // deadline.
    do {
        process(nullptr);
        found = std::find(processedCommands.begin(), processedCommands.end(), command) != processedCommands.end();
        timer->sleep(PollPause);
    } while (!found && (timer->elapsed() < commandTimeout || (heard && !pastReadOn())));

    if (!found) {
        std::string text;
        command->getSentCommand(text);
        throw CommandTimeoutException(text);
    }
    return found;
}

void RadioBase::process(CharVector* out) {
    CharVector buffer;
    if (commandDevice == dataDevice) {
        __process(buffer, dataDevice);
    } else {
        __process(buffer, commandDevice);
        __process(buffer, dataDevice);
    }
    // Bytes that stay queued across polls (a partial answer) go out again at
    // every poll.
    if (gpsDevice != nullptr && !buffer.empty())
        gpsDevice->dataOut(buffer.data(), static_cast<unsigned int>(buffer.size()));
    if (out != nullptr) *out = buffer;
}

void RadioBase::__process(CharVector& buffer, DeviceCommInterface* device) {
    // Settle: read until a read adds nothing, so that an answer split over
    // several reads is examined whole. The fast exchange reads once and
    // leaves the end of the answer to answerComplete. A radio that never
    // stops talking (a modem still in data mode forwarding traffic) would
    // keep this loop going for ever; one read deadline after the command
    // timeout the bytes are examined as they are and the wait decides.
    for (;;) {
        const std::size_t noted = buffer.size();
        const std::size_t queued = device->getDataLength();
        device->dataIn();
        buffer = device->getDataVector();
        heard = buffer.size() > queued;
        if (heard) lastTraffic = std::chrono::steady_clock::now();
        if (buffer.size() == noted) break;
        if (timing.examinesEveryRead) break;
        if (pastReadOn()) break;
        if (timer != nullptr) timer->sleep(PollPause);
    }

    if (buffer.empty()) return;

    if (pendingCommands.empty()) {
        // Nobody asked: unsolicited bytes are dropped.
        device->removeData();
        return;
    }

    Command* command = pendingCommands.front();
    unsigned int start = 0;
    unsigned int length = 0;
    if (!command->parse(buffer, start, length)) return; // incomplete: stays queued for the next poll
    if (timing.examinesEveryRead && !answerComplete(*command, buffer, *device, start, length)) return;

    // Anything after the recognised answer goes too: the next command's
    // answer can only follow its own write.
    device->removeData();
    pendingCommands.pop_front();
    processedCommands.push_back(command);
    if (command->getStatus() == COMMAND_STATUS_ERROR) {
        pendingCommands.clear();
        std::string text;
        command->getSentCommand(text);
        throw CommandException(text);
    }
}

bool RadioBase::pastReadOn() const {
    return timer != nullptr && timer->elapsed() >= commandTimeout + timing.readDeadline;
}

bool RadioBase::answerComplete(Command& command, CharVector& buffer, DeviceCommInterface& device, unsigned int& start,
                               unsigned int& length) {
    // Without an end to recognise, the answer is whole when the line has
    // been quiet for the gap, or when the end turns up meanwhile (the line
    // end after a Satel "OK"); where more lines may follow, when none came
    // for the follow gap. A line that never goes quiet still ends the
    // reading.
    AnswerEnd end = command.answerEnd(buffer);
    const auto readingEnds = std::chrono::steady_clock::now() + std::chrono::milliseconds(timing.readDeadline);
    bool more = false;
    while ((end == AnswerEnd::Unknown || end == AnswerEnd::MayFollow) &&
           std::chrono::steady_clock::now() < readingEnds &&
           device.dataInWithin(end == AnswerEnd::Unknown ? timing.quietGap : timing.followGap)) {
        more = true;
        heard = true;
        lastTraffic = std::chrono::steady_clock::now();
        buffer = device.getDataVector();
        end = command.answerEnd(buffer);
    }
    if (end == AnswerEnd::Awaited) {
        // The next poll waits a whole read deadline for the rest. An end that
        // never comes is given up on as the patient exchange would: the
        // answer is taken as it is once the line was quiet that long, or
        // once it has been read on to the bound of every wait.
        return !heard || pastReadOn();
    }
    return !more || command.parse(buffer, start, length);
}

} // namespace Radio
} // namespace Veltrio
