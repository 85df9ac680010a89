// Radio type detection: which modem answers on an open serial port.
//
// A Microhard modem is probed first: leave a command mode it may still be in
// ("\r\nATA\r\n"), escape to command mode with "+++" (answered
// "\r\nNO CARRIER\r\nOK\r\n"), switch the echo off, ask the product code with
// "ATI1" and leave command mode again. A radio that answers the escape is a
// Microhard modem whatever its product code; only if it does not, the Satel
// "SL" set is tried: "SL+++", "SL&F?" (the answer must carry TX and RX
// frequencies), "SL++O".
//
// Every probe command is a local object: the engine must be emptied before a
// probe returns or throws, or it would keep pointers to commands that no
// longer exist.

#include <exception>
#include <iostream>

#include "common/Exception.h"
#include "radio/RadioBase.h"
#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardCommands.h"
#include "radio/satel/SatelCommands.h"

namespace Veltrio {
namespace Radio {

namespace {

// Only the radio that answered decides: exactly one processed command, OK.
bool answeredOk(const std::list<Command*>& processed) {
    return processed.size() == 1 && processed.front()->getStatus() == COMMAND_STATUS_OK;
}

} // namespace

RADIO_TYPE RadioBase::detectType(Veltrio::Common::Timer* timer, Veltrio::Common::DeviceCommInterface* device,
                                 const Veltrio::Common::ExchangeTiming& timing, ExchangeListener* listener) {
    // An engine of its own, with the probes' 1500 ms command timeout; it never
    // needs command-mode factories, the probes queue their own commands.
    class Detector : public RadioBase {
    public:
        Detector(Veltrio::Common::Timer* timer, Veltrio::Common::DeviceCommInterface* device)
            : RadioBase(timer, 1500, device, device, nullptr) {}
        ~Detector() = default;
        RADIO_TYPE getType() const override { return RADIO_TYPE_UNKNOWN; }
        Command* getEnterCommandModeCommand() override { return nullptr; }
        Command* getExitCommandModeCommand() override { return nullptr; }
    };

    Detector detector(timer, device);
    detector.setTiming(timing);
    detector.setExchangeListener(listener);
    RADIO_TYPE type = RADIO_TYPE_UNKNOWN;

    // The probes take every failure for "not this radio", a stop too: it
    // has to be raised here.
    const auto stopIfAsked = [&detector] {
        if (const int signal = Veltrio::Common::stopRequested())
            throw StoppedException(signal, static_cast<RadioBase&>(detector).lastWritten, false);
    };

    std::cout << "Detecting MH.." << std::endl;
    const bool microhard = detector.detectMicrohard(type);
    stopIfAsked();
    if (microhard) return type;

    // Whatever the Microhard probes left unanswered must not be taken for a
    // Satel answer.
    device->removeData();
    std::cout << "Detecting Satel.." << std::endl;
    const bool satel = detector.detectSatel();
    stopIfAsked();
    return satel ? RADIO_TYPE_SATEL : RADIO_TYPE_UNKNOWN;
}

bool RadioBase::detectMicrohard(RADIO_TYPE& type) {
    type = RADIO_TYPE_UNKNOWN;
    clearProcessedCommands();

    // A radio left in command mode answers "OK"; one in data mode says
    // nothing, which is no failure here.
    {
        MicrohardExitCommandModeCommand exit;
        addCommand(&exit);
        try {
            sendCommands();
        } catch (const Veltrio::Common::Exception&) {
        } catch (...) {
            clearProcessedCommands();
            throw;
        }
        clearProcessedCommands();
    }
    // The escape needs a quiet line before "+++".
    timer->sleep(1000);

    {
        MicrohardEnterCommandModeCommand enter;
        MicrohardSetEchoCommand echoOff;
        echoOff.setEcho(false);
        addCommand(&enter);
        addCommand(&echoOff);
        try {
            sendCommands();
        } catch (const std::exception&) {
            clearProcessedCommands();
            return false;
        } catch (...) {
            clearProcessedCommands();
            throw;
        }
        clearProcessedCommands();
    }

    std::string productCode;
    {
        MicrohardGetProductCodeCommand product;
        addCommand(&product);
        try {
            sendCommands();
        } catch (...) {
            clearProcessedCommands();
            return false;
        }
        if (!answeredOk(processedCommands)) {
            clearProcessedCommands();
            return false;
        }
        clearProcessedCommands();
        productCode = product.getProductCode();
    }

    std::cout << "Getproductcode: \"" << productCode << "\"" << std::endl;
    if (productCode == "MHX920A")
        type = RADIO_TYPE_MICROHARD_920A;
    else if (productCode == "L400")
        type = RADIO_TYPE_MICROHARD_L400;

    MicrohardExitCommandModeCommand exit;
    addCommand(&exit);
    try {
        sendCommands();
    } catch (...) {
        clearProcessedCommands();
        return false;
    }
    clearProcessedCommands();
    return true;
}

bool RadioBase::detectSatel() {
    // One command, answered OK, or the probe fails; the engine is empty after
    // either outcome.
    const auto exchange = [this](Command& command) {
        clearProcessedCommands();
        addCommand(&command);
        try {
            sendCommands();
        } catch (...) {
            clearProcessedCommands();
            return false;
        }
        const bool ok = answeredOk(processedCommands);
        clearProcessedCommands();
        return ok;
    };

    SatelEnterCommandModeCommand enter;
    if (!exchange(enter)) return false;
    // The frequencies are not used: a well-formed answer proves the SL set.
    SatelGetFrequencyCommand frequency;
    if (!exchange(frequency)) return false;
    SatelExitCommandModeCommand exit;
    return exchange(exit);
}

} // namespace Radio
} // namespace Veltrio
