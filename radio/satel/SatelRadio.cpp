#include "radio/satel/SatelRadio.h"

#include <list>
#include <string>

#include "radio/RadioExceptions.h"
#include "radio/satel/SatelCommands.h"

namespace Veltrio {
namespace Radio {

using namespace Veltrio::Common;

SatelRadio::SatelRadio(Timer* timer, unsigned int commandTimeout, DeviceCommInterface* device,
                       DeviceCommInterface* gps)
    : RadioBase(timer, commandTimeout, device, device, gps) {}

RADIO_TYPE SatelRadio::getType() const { return RADIO_TYPE_SATEL; }

Command* SatelRadio::getEnterCommandModeCommand() { return new SatelEnterCommandModeCommand(); }

Command* SatelRadio::getExitCommandModeCommand() { return new SatelExitCommandModeCommand(); }

void SatelRadio::exchange(Command& command) { batch({&command}); }

void SatelRadio::getConfig(unsigned int& frequency, unsigned int& channelSpacing, unsigned int& power) {
    unsigned int rxFrequency = 0;
    readConfig(frequency, rxFrequency, channelSpacing, power);
}

void SatelRadio::readConfig(unsigned int& txFrequency, unsigned int& rxFrequency, unsigned int& channelSpacing,
                            unsigned int& power) {
    txFrequency = rxFrequency = channelSpacing = power = 0;
    SatelGetFrequencyCommand frequencyQuery;
    SatelGetChannelSpacingCommand spacingQuery;
    SatelGetPowerCommand powerQuery;
    batch({&frequencyQuery, &spacingQuery, &powerQuery}); // "SL+++", "SL&F?", "SL&W?", "SL@P?", "SL++O"
    txFrequency = frequencyQuery.getTxFrequency();
    rxFrequency = frequencyQuery.getRxFrequency();
    channelSpacing = spacingQuery.getChannelSpacing();
    power = powerQuery.getPower();
}

void SatelRadio::validateFrequency(unsigned int hz) {
    SatelSetFrequencyCommand().setFrequency(hz); // the command's own range
    if (hz % 10 != 0) throw InvalidFrequencyException(std::to_string(hz));
}

void SatelRadio::saveConfig(unsigned int frequency, unsigned int channelSpacing, unsigned int power) {
    SatelSetFrequencyCommand parkFrequency; // 434 MHz, valid whatever the new spacing
    SatelSetFrequencyCommand newFrequency;
    SatelSetChannelSpacingCommand spacing;
    SatelSetPowerCommand newPower;
    SatelWriteFlashCommand writeFlash;
    // The values are checked before anything is queued.
    parkFrequency.setFrequency(434000000);
    spacing.setChannelSpacing(channelSpacing);
    validateFrequency(frequency);
    newFrequency.setFrequency(frequency);
    newPower.setPower(power);
    // "SL+++", SL&F=434.00000, SL&W=..., SL&F=..., SL@P=..., "SL**>", "SL++O"
    batch({&parkFrequency, &spacing, &newFrequency, &newPower, &writeFlash});
}

// Single-command operations. A setter's value is set (and checked) before
// the exchange queues anything: a rejected value must not leave an "SL+++"
// behind in the engine for the next operation to write.

void SatelRadio::getFrequencies(unsigned int& tx, unsigned int& rx) {
    SatelGetFrequencyCommand command;
    exchange(command);
    if (command.getStatus() == COMMAND_STATUS_OK) {
        tx = command.getTxFrequency();
        rx = command.getRxFrequency();
    }
}

void SatelRadio::setFrequency(unsigned int hz) {
    validateFrequency(hz);
    SatelSetFrequencyCommand command;
    command.setFrequency(hz);
    exchange(command);
}

void SatelRadio::getCenterFrequency(unsigned int& hz) {
    SatelGetCenterFrequencyCommand command;
    exchange(command);
    hz = command.getCenterFrequency();
}

void SatelRadio::getChannelSpacing(unsigned int& hz) {
    SatelGetChannelSpacingCommand command;
    exchange(command);
    hz = command.getChannelSpacing();
}

void SatelRadio::setChannelSpacing(unsigned int hz) {
    SatelSetChannelSpacingCommand command;
    command.setChannelSpacing(hz);
    exchange(command);
}

void SatelRadio::getPower(unsigned int& mW) {
    SatelGetPowerCommand command;
    exchange(command);
    mW = command.getPower();
}

void SatelRadio::setPower(unsigned int mW) {
    SatelSetPowerCommand command;
    command.setPower(mW);
    exchange(command);
}

void SatelRadio::getAddress(std::string& tx, std::string& rx) {
    SatelGetAddressCommand command;
    exchange(command);
    tx = command.getTxAddress();
    rx = command.getRxAddress();
}

void SatelRadio::setAddress(const std::string& address) {
    SatelSetAddressCommand command;
    command.setAddress(address);
    exchange(command);
}

void SatelRadio::getOperationMode(OPERATION_MODE& mode) {
    SatelGetOperationModeCommand command;
    exchange(command);
    mode = command.getOperationMode();
}

void SatelRadio::setOperationMode(OPERATION_MODE mode) {
    SatelSetOperationModeCommand command;
    command.setOperationMode(mode);
    exchange(command);
}

void SatelRadio::getSignalStrength(int& dBm) {
    SatelGetSignalStrengthCommand command;
    exchange(command);
    dBm = command.getSignalStrength();
}

void SatelRadio::writeSettingsToFlash() {
    SatelWriteFlashCommand command;
    exchange(command);
}

void SatelRadio::restoreDefaults() {
    SatelRestoreDefaultsCommand command;
    exchange(command);
}

void SatelRadio::getSignalThreshold(int& dBm) {
    SatelGetSignalThresholdCommand command;
    exchange(command);
    dBm = command.getSignalThreshold();
}

void SatelRadio::setSignalThreshold(int dBm) {
    SatelSetSignalThresholdCommand command;
    command.setSignalThreshold(dBm);
    exchange(command);
}

void SatelRadio::getRadioSoftwareVersion(std::string& version) {
    SatelGetRadioSoftwareVersionCommand command;
    exchange(command);
    version = command.getRadioSoftwareVersion();
}

void SatelRadio::getModemType(std::string& type) {
    SatelGetModemTypeCommand command;
    exchange(command);
    type = command.getModemType();
}

void SatelRadio::getSerialNumber(std::string& serialNumber) {
    SatelGetSerialNumberCommand command;
    exchange(command);
    serialNumber = command.getSerialNumber();
}

void SatelRadio::getSerialPortConfig(PORT_CONFIG_BAUD& baud, PORT_CONFIG_BITS& bits, PORT_CONFIG_PARITY& parity,
                                     PORT_CONFIG_STOPBITS& stopBits) {
    SatelGetSerialPortConfigCommand command;
    exchange(command);
    baud = command.getBaud();
    bits = command.getBits();
    parity = command.getParity();
    stopBits = command.getStopBits();
}

void SatelRadio::setSerialPortConfig(PORT_CONFIG_BAUD baud, PORT_CONFIG_BITS bits, PORT_CONFIG_PARITY parity,
                                     PORT_CONFIG_STOPBITS stopBits) {
    SatelSetSerialPortConfigCommand command;
    command.setSerialPortConfig(baud, bits, parity, stopBits);
    exchange(command);
}

void SatelRadio::getLogicBoardName(std::string& name) {
    SatelGetLogicBoardNameCommand command;
    exchange(command);
    name = command.getLogicBoardName();
}

void SatelRadio::getModemPartNumber(std::string& partNumber) {
    SatelGetModemPartNumberCommand command;
    exchange(command);
    partNumber = command.getModemPartNumber();
}

void SatelRadio::getRadioBoardVersion(std::string& version) {
    SatelGetRadioBoardVersionCommand command;
    exchange(command);
    version = command.getRadioBoardVersion();
}

void SatelRadio::getNoiseLevel(int& dBm) {
    SatelGetNoiseLevelCommand command;
    exchange(command);
    dBm = command.getNoiseLevel();
}

} // namespace Radio
} // namespace Veltrio
