#include "radio/microhard/MicrohardRadio.h"

#include <memory>

namespace Veltrio {
namespace Radio {

using Veltrio::Common::PORT_CONFIG_BAUD;

namespace {

// S108 holds dBm; the interface speaks milliwatts.
struct PowerRow {
    unsigned int milliwatts;
    unsigned int dBm;
};
constexpr PowerRow powerTable[] = {
    {100, 20}, {125, 21}, {160, 22}, {200, 23}, {250, 24}, {320, 25}, {400, 26},
    {500, 27}, {630, 28}, {800, 29}, {1000, 30}, {2000, 33}, {3000, 35}, {5000, 37},
};

} // namespace

bool MicrohardRadio::powerToMilliwatts(unsigned int dBm, unsigned int& milliwatts) {
    for (const PowerRow& row : powerTable)
        if (row.dBm == dBm) {
            milliwatts = row.milliwatts;
            return true;
        }
    return false;
}

bool MicrohardRadio::milliwattsToPower(unsigned int milliwatts, unsigned int& dBm) {
    for (const PowerRow& row : powerTable)
        if (row.milliwatts == milliwatts) {
            dBm = row.dBm;
            return true;
        }
    return false;
}

MicrohardRadio::MicrohardRadio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                               Veltrio::Common::DeviceCommInterface* device,
                               Veltrio::Common::DeviceCommInterface* gpsDevice)
    : RadioBase(timer, commandTimeout, device, device, gpsDevice), initialised(false) {}

Command* MicrohardRadio::getEnterCommandModeCommand() { return new MicrohardEnterCommandModeCommand(); }

Command* MicrohardRadio::getExitCommandModeCommand() { return new MicrohardExitCommandModeCommand(); }

// The engine deletes command-mode commands when it clears its lists; until
// the command is in the list, it is ours to delete.
void MicrohardRadio::queueOwned(std::unique_ptr<Command> command) {
    command->setCommandModeCommand(true);
    addCommand(command.get());
    command.release();
}

namespace {
std::unique_ptr<Command> echoCommand(bool on) {
    auto echo = std::make_unique<MicrohardSetEchoCommand>();
    echo->setEcho(on);
    return echo;
}
} // namespace

void MicrohardRadio::initDevice() {
    // A radio left in command mode would take "+++" for garbage; "ATA" puts it
    // back into data mode. A radio already in data mode may say nothing at
    // all, so no answer (or any failure) is not an error here.
    queueOwned(std::unique_ptr<Command>(getExitCommandModeCommand()));
    try {
        sendCommands();
    } catch (...) {
    }
    initialised = true;
    clearProcessedCommands();
}

void MicrohardRadio::enterCommandMode() {
    if (!initialised) {
        initDevice();
        getTimer()->sleep(1000);
    }
    queueOwned(std::unique_ptr<Command>(getEnterCommandModeCommand()));
    queueOwned(echoCommand(false));
}

void MicrohardRadio::exitCommandMode() {
    queueOwned(echoCommand(true));
    queueOwned(std::unique_ptr<Command>(getExitCommandModeCommand()));
}

void MicrohardRadio::executeCommands() {
    try {
        sendCommands();
    } catch (...) {
        clearProcessedCommands();
        throw;
    }
    clearProcessedCommands();
}

void MicrohardRadio::exchange(Command& command) {
    try {
        enterCommandMode();
        addCommand(&command);
        exitCommandMode();
    } catch (...) {
        clearProcessedCommands();
        throw;
    }
    executeCommands();
}

// A read: the whole exchange first, then the conversion; the output is
// written only when the conversion succeeded.
template <class ReadCommand, class Value, class Convert>
void MicrohardRadio::read(Value& out, Convert convert) {
    ReadCommand command;
    exchange(command);
    out = convert(command);
}

// A write: the value is given to the command (and checked) before anything
// is queued, so a rejected value leaves no "+++" or echo-off behind in the
// engine and writes no byte, not even the start-up exchange.
template <class WriteCommand, class Give>
void MicrohardRadio::write(Give give) {
    WriteCommand command;
    give(command);
    exchange(command);
}

// One row per register operation: operation, value type, command, accessor.
#define MH_READ(Operation, Type, ReadCommand, getter) \
    void MicrohardRadio::Operation(Type& out) { read<ReadCommand>(out, [](ReadCommand& c) { return c.getter(); }); }
#define MH_WRITE(Operation, Type, WriteCommand, setter) \
    void MicrohardRadio::Operation(Type value) { write<WriteCommand>([&](WriteCommand& c) { c.setter(value); }); }

MH_READ(getProductCode, std::string, MicrohardGetProductCodeCommand, getProductCode)
MH_READ(getSerialNumber, std::string, MicrohardGetSerialNumberCommand, getSerialNumber)
MH_READ(getOperatingMode, MICROHARD_OPERATING_MODE, MicrohardGetOperatingModeCommand, getOperatingMode)
MH_WRITE(setOperatingMode, MICROHARD_OPERATING_MODE, MicrohardSetOperatingModeCommand, setOperatingMode)
MH_READ(getSerialBaudRate, PORT_CONFIG_BAUD, MicrohardGetSerialBaudRateCommand, getSerialBaudRate)
MH_WRITE(setSerialBaudRate, PORT_CONFIG_BAUD, MicrohardSetSerialBaudRateCommand, setSerialBaudRate)
MH_READ(getWirelessBaudRate, PORT_CONFIG_BAUD, MicrohardGetWirelessBaudRateCommand, getWirelessBaudRate)
MH_WRITE(setWirelessBaudRate, PORT_CONFIG_BAUD, MicrohardSetWirelessBaudRateCommand, setWirelessBaudRate)
MH_READ(getNetworkAddress, unsigned int, MicrohardGetNetworkAddressCommand, getNetworkAddress)
MH_WRITE(setNetworkAddress, unsigned int, MicrohardSetNetworkAddressCommand, setNetworkAddress)
MH_READ(getUnitAddress, unsigned int, MicrohardGetUnitAddressCommand, getUnitAddress)
MH_READ(getStaticMask, std::string, MicrohardGetStaticMaskCommand, getStaticMask)
MH_WRITE(setStaticMask, const std::string&, MicrohardSetStaticMaskCommand, setStaticMask)
MH_READ(getOutputPower, MICROHARD_OUTPUT_POWER, MicrohardGetOutputPowerCommand, getOutputPower)
MH_READ(getHopInterval, MICROHARD_HOP_INTERVAL, MicrohardGetHopIntervalCommand, getHopInterval)
MH_WRITE(setHopInterval, MICROHARD_HOP_INTERVAL, MicrohardSetHopIntervalCommand, setHopInterval)
MH_READ(getSerialDataFormat, MICROHARD_SERIAL_PORT_DATA_FORMAT, MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat)
MH_WRITE(setSerialDataFormat, MICROHARD_SERIAL_PORT_DATA_FORMAT, MicrohardSetSerialPortDataFormatCommand, setSerialPortDataFormat)
MH_READ(getMaxPacketSize, unsigned int, MicrohardGetMaxPacketSizeCommand, getMaxPacketSize)
MH_WRITE(setMaxPacketSize, unsigned int, MicrohardSetMaxPacketSizeCommand, setMaxPacketSize)
MH_READ(getPacketRetransmissions, unsigned int, MicrohardGetPacketRetransmissionsCommand, getPacketRetransmissions)
MH_WRITE(setPacketRetransmissions, unsigned int, MicrohardSetPacketRetransmissionsCommand, setPacketRetransmissions)
MH_READ(getRepeatInterval, unsigned int, MicrohardGetRepeatIntervalCommand, getRepeatInterval)
MH_WRITE(setRepeatInterval, unsigned int, MicrohardSetRepeatIntervalCommand, setRepeatInterval)
MH_READ(getCharacterTimeout, unsigned int, MicrohardGetCharacterTimeoutCommand, getCharacterTimeout)
MH_WRITE(setCharacterTimeout, unsigned int, MicrohardSetCharacterTimeoutCommand, setCharacterTimeout)
MH_READ(getRoaming, unsigned int, MicrohardGetRoamingCommand, getRoaming)
MH_WRITE(setRoaming, unsigned int, MicrohardSetRoamingCommand, setRoaming)
MH_READ(getQuickEnterCommandMode, bool, MicrohardGetQuickEnterCommandModeCommand, getQuickEnterCommandMode)
MH_WRITE(setQuickEnterCommandMode, bool, MicrohardSetQuickEnterCommandModeCommand, setQuickEnterCommandMode)
MH_READ(getAverageRSSI, int, MicrohardGetAverageRSSICommand, getAverageRSSI)
MH_READ(getNetworkType, MICROHARD_NETWORK_TYPE, MicrohardGetNetworkTypeCommand, getNetworkType)
MH_WRITE(setNetworkType, MICROHARD_NETWORK_TYPE, MicrohardSetNetworkTypeCommand, setNetworkType)
MH_READ(getDestinationAddress, unsigned short, MicrohardGetDestinationAddressCommand, getDestinationAddress)
MH_WRITE(setDestinationAddress, unsigned short, MicrohardSetDestinationAddressCommand, setDestinationAddress)
MH_READ(getRepeaters, bool, MicrohardGetRepeatersCommand, getRepeaters)
MH_WRITE(setRepeaters, bool, MicrohardSetRepeatersCommand, setRepeaters)
MH_READ(getSerialChannelMode, MICROHARD_SERIAL_CHANNEL_MODE, MicrohardGetSerialChannelModeCommand, getSerialChannelMode)
MH_WRITE(setSerialChannelMode, MICROHARD_SERIAL_CHANNEL_MODE, MicrohardSetSerialChannelModeCommand, setSerialChannelMode)
MH_READ(getSleepMode, MICROHARD_SLEEP_MODE, MicrohardGetSleepModeCommand, getSleepMode)
MH_WRITE(setSleepMode, MICROHARD_SLEEP_MODE, MicrohardSetSleepModeCommand, setSleepMode)
MH_READ(getSleepTime, unsigned int, MicrohardGetSleepTimeCommand, getSleepTime)
MH_WRITE(setSleepTime, unsigned int, MicrohardSetSleepTimeCommand, setSleepTime)
MH_READ(getWakeTime, unsigned int, MicrohardGetWakeTimeCommand, getWakeTime)
MH_WRITE(setWakeTime, unsigned int, MicrohardSetWakeTimeCommand, setWakeTime)
MH_READ(getLEDBrightness, unsigned int, MicrohardGetLEDBrightnessCommand, getLEDBrightness)
MH_WRITE(setLEDBrightness, unsigned int, MicrohardSetLEDBrightnessCommand, setLEDBrightness)
MH_READ(getSyncMode, MICROHARD_SYNC_MODE, MicrohardGetSyncModeCommand, getSyncMode)
MH_WRITE(setSyncMode, MICROHARD_SYNC_MODE, MicrohardSetSyncModeCommand, setSyncMode)
MH_READ(getFastSyncTimeout, unsigned int, MicrohardGetFastSyncTimeoutCommand, getFastSyncTimeout)
MH_WRITE(setFastSyncTimeout, unsigned int, MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout)
MH_READ(getAddressTag, bool, MicrohardGetAddressTagCommand, getAddressTag)
MH_WRITE(setAddressTag, bool, MicrohardSetAddressTagCommand, setAddressTag)
MH_READ(getFECMode, MICROHARD_FEC_MODE, MicrohardGetFECModeCommand, getFECMode)
MH_WRITE(setFECMode, MICROHARD_FEC_MODE, MicrohardSetFECModeCommand, setFECMode)
MH_READ(getProtocolType, MICROHARD_PROTOCOL_TYPE, MicrohardGetProtocolTypeCommand, getProtocolType)
MH_WRITE(setProtocolType, MICROHARD_PROTOCOL_TYPE, MicrohardSetProtocolTypeCommand, setProtocolType)
MH_READ(getSniffTimeout, unsigned int, MicrohardGetSniffTimeoutCommand, getSniffTimeout)
MH_WRITE(setSniffTimeout, unsigned int, MicrohardSetSniffTimeoutCommand, setSniffTimeout)
MH_READ(getChannelRequestMode, MICROHARD_CHANNEL_REQUEST_MODE, MicrohardGetChannelRequestModeCommand, getChannelRequestMode)
MH_WRITE(setChannelRequestMode, MICROHARD_CHANNEL_REQUEST_MODE, MicrohardSetChannelRequestModeCommand, setChannelRequestMode)
MH_READ(getMasterHopAllocationTimeout, unsigned int, MicrohardGetMasterHopAllocationTimeoutCommand, getMasterHopAllocationTimeout)
MH_WRITE(setMasterHopAllocationTimeout, unsigned int, MicrohardSetMasterHopAllocationTimeoutCommand, setMasterHopAllocationTimeout)

#undef MH_READ
#undef MH_WRITE

void MicrohardRadio::saveConfiguration() {
    MicrohardSaveConfigurationCommand command;
    exchange(command);
}

void MicrohardRadio::setFactorySetting(MICROHARD_FACTORY_SETTING setting) {
    write<MicrohardSetFactorySettingsCommand>([&](MicrohardSetFactorySettingsCommand& c) { c.setFactorySettings(setting); });
}

void MicrohardRadio::setUnitAddress(unsigned int address) {
    // S105 is 16 bits wide: an address that does not fit is refused, not cut
    // to its low 16 bits (65538 must not program 2).
    if (address > 0xFFFF) throw InvalidUnitAddressException();
    const unsigned short unit = static_cast<unsigned short>(address);
    write<MicrohardSetUnitAddressCommand>([&](MicrohardSetUnitAddressCommand& c) { c.setUnitAddress(unit); });
}

void MicrohardRadio::setOutputPower(MICROHARD_OUTPUT_POWER power) {
    // The register value is dBm while the variants' check speaks milliwatts:
    // convert before checking. A value outside the power table is refused by
    // the command itself.
    write<MicrohardSetOutputPowerCommand>([&](MicrohardSetOutputPowerCommand& c) {
        unsigned int milliwatts = 0;
        if (powerToMilliwatts(static_cast<unsigned int>(power), milliwatts)) validateOutputPower(milliwatts);
        c.setOutputPower(power);
    });
}

} // namespace Radio
} // namespace Veltrio
