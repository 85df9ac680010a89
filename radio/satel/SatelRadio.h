#pragma once
// SatelRadio: the driver of Satel radio modems. Every operation is one short
// exchange on the command engine: "SL+++" (enter command mode), the command
// or commands, "SL++O" (leave it), each answered before the next is written.
// setPower(500) writes "SL+++", "SL@P=500", "SL++O".
//
// Values are checked before anything is queued or written: a rejected
// argument throws the command's Invalid...Exception and leaves the radio and
// the engine untouched. Every operation leaves the engine's lists empty, on
// success and on failure alike.
//
// Failures: CommandTimeoutException (no answer within the command timeout;
// the commands after it, "SL++O" included, are not written),
// CommandException (the radio answered "ERROR"; the rest is not written, so
// the radio may stay in command mode), the device's exceptions, and what a
// query's answer reader raises (SatelAnswers.h).

#include <string>

#include "common/DeviceCommInterface.h"
#include "common/PortConfig.h"
#include "common/TimerInterface.h"
#include "radio/RadioBase.h"
#include "radio/satel/SatelTypes.h"

namespace Veltrio {
namespace Radio {

class SatelRadio : public RadioBase {
public:
    // The one serial device is command and data device; `gps` may be null.
    // `commandTimeout` in milliseconds.
    SatelRadio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
               Veltrio::Common::DeviceCommInterface* device, Veltrio::Common::DeviceCommInterface* gps);
    ~SatelRadio() = default;

    RADIO_TYPE getType() const override;
    Command* getEnterCommandModeCommand() override;
    Command* getExitCommandModeCommand() override;

    // Transmit frequency, channel spacing and power in one exchange. The
    // outputs are 0 when it fails.
    virtual void getConfig(unsigned int& frequency, unsigned int& channelSpacing, unsigned int& power);
    // The same exchange, with the receive frequency, which the radio reports
    // beside the transmit frequency and which saveConfig sets with it.
    void readConfig(unsigned int& txFrequency, unsigned int& rxFrequency, unsigned int& channelSpacing,
                    unsigned int& power);
    // Moves the radio to 434 MHz, sets the channel spacing, then the
    // frequency and the power, and writes the settings to flash, in one
    // exchange of seven commands. The values are checked first, in the order
    // channel spacing, frequency (validateFrequency), power.
    virtual void saveConfig(unsigned int frequency, unsigned int channelSpacing, unsigned int power);

    // The frequencies saveConfig and setFrequency write: above 1 MHz, below
    // 1000 MHz and a multiple of 10 Hz, the radio's step (the command's five
    // decimals of MHz would round any other value). Otherwise
    // InvalidFrequencyException with the value in decimal.
    static void validateFrequency(unsigned int hz);

    virtual void getFrequencies(unsigned int& tx, unsigned int& rx);
    virtual void setFrequency(unsigned int hz);
    virtual void getCenterFrequency(unsigned int& hz);
    virtual void getChannelSpacing(unsigned int& hz);
    virtual void setChannelSpacing(unsigned int hz);
    virtual void getPower(unsigned int& mW);
    virtual void setPower(unsigned int mW);
    virtual void getAddress(std::string& tx, std::string& rx);
    virtual void setAddress(const std::string& address);
    virtual void getOperationMode(OPERATION_MODE& mode);
    virtual void setOperationMode(OPERATION_MODE mode);
    virtual void getSignalStrength(int& dBm);
    virtual void writeSettingsToFlash();
    virtual void restoreDefaults();
    virtual void getSignalThreshold(int& dBm);
    virtual void setSignalThreshold(int dBm);
    virtual void getRadioSoftwareVersion(std::string& version);
    virtual void getModemType(std::string& type);
    virtual void getSerialNumber(std::string& serialNumber);
    virtual void getSerialPortConfig(Veltrio::Common::PORT_CONFIG_BAUD& baud, Veltrio::Common::PORT_CONFIG_BITS& bits,
                                     Veltrio::Common::PORT_CONFIG_PARITY& parity,
                                     Veltrio::Common::PORT_CONFIG_STOPBITS& stopBits);
    virtual void setSerialPortConfig(Veltrio::Common::PORT_CONFIG_BAUD baud, Veltrio::Common::PORT_CONFIG_BITS bits,
                                     Veltrio::Common::PORT_CONFIG_PARITY parity,
                                     Veltrio::Common::PORT_CONFIG_STOPBITS stopBits);
    virtual void getLogicBoardName(std::string& name);
    virtual void getModemPartNumber(std::string& partNumber);
    virtual void getRadioBoardVersion(std::string& version);
    virtual void getNoiseLevel(int& dBm);

private:
    // "SL+++", `command`, "SL++O"; the engine is cleared afterwards, also when
    // sending threw.
    void exchange(Command& command);
};

} // namespace Radio
} // namespace Veltrio
