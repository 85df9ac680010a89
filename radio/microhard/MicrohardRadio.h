#pragma once
// MicrohardRadio: the driver base of the Microhard modems (L400, 920A).
//
// Every operation is one complete exchange on the command engine:
//
//   "+++"            escape to command mode   <- "\r\nNO CARRIER\r\nOK\r\n"
//   ATE0 CR LF       echo off, so that an echoed command text is never taken
//                    for the answer line of a register read
//   ...the operation's command(s)...
//   ATE1 CR LF       echo back on for whoever uses the radio next
//   CR LF ATA CR LF  back to data mode        <- "OK\r\n"
//
// The first exchange of a driver object is preceded, once, by a lone
// CR LF ATA CR LF (answered or not) and a short pause: a radio that was left
// in command mode by an earlier, interrupted run is put back into data mode,
// so that the "+++" escape is understood.
//
// Values are checked before anything is queued or written: an operation that
// rejects its argument leaves the engine empty and the port untouched.
//
// The class is abstract: the variants supply the radio type and the
// output-power check (in milliwatts).

#include <memory>
#include <string>

#include "common/DeviceCommInterface.h"
#include "common/PortConfig.h"
#include "common/TimerInterface.h"
#include "radio/RadioBase.h"
#include "radio/microhard/MicrohardCommands.h"

namespace Veltrio {
namespace Radio {

class MicrohardRadio : public RadioBase {
public:
    // The one device serves as command and data device; `gpsDevice` may be null.
    MicrohardRadio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                   Veltrio::Common::DeviceCommInterface* device, Veltrio::Common::DeviceCommInterface* gpsDevice);

    // Queue "+++" and echo off (after the one-time start-up exchange).
    void enterCommandMode() override;
    // Queue echo on and "\r\nATA\r\n".
    void exitCommandMode() override;
    // New heap objects; the caller flags them so that the engine deletes them.
    Command* getEnterCommandModeCommand() override;
    Command* getExitCommandModeCommand() override;

    // Register operations. Each is one complete exchange; a getter writes its
    // output only when the radio's answer converted to the value's type.
    virtual void saveConfiguration();
    virtual void setFactorySetting(MICROHARD_FACTORY_SETTING setting);
    virtual void getProductCode(std::string& code);
    virtual void getSerialNumber(std::string& serialNumber);
    virtual void getOperatingMode(MICROHARD_OPERATING_MODE& mode);
    virtual void setOperatingMode(MICROHARD_OPERATING_MODE mode);
    virtual void getSerialBaudRate(Veltrio::Common::PORT_CONFIG_BAUD& baud);
    virtual void setSerialBaudRate(Veltrio::Common::PORT_CONFIG_BAUD baud);
    // General S103 code table (the L400's own table is used by its variant).
    virtual void getWirelessBaudRate(Veltrio::Common::PORT_CONFIG_BAUD& baud);
    virtual void setWirelessBaudRate(Veltrio::Common::PORT_CONFIG_BAUD baud);
    virtual void getNetworkAddress(unsigned int& address);
    virtual void setNetworkAddress(unsigned int address);
    virtual void getUnitAddress(unsigned int& address);
    // InvalidUnitAddressException for 0, 1 and anything above 65534.
    virtual void setUnitAddress(unsigned int address);
    virtual void getStaticMask(std::string& mask);
    virtual void setStaticMask(const std::string& mask);
    virtual void getOutputPower(MICROHARD_OUTPUT_POWER& power);
    // `power` is the register value in dBm; it is converted to milliwatts
    // with the power table and then checked by validateOutputPower.
    virtual void setOutputPower(MICROHARD_OUTPUT_POWER power);
    // Throws InvalidPowerException (extra: the value in decimal) for a power
    // in milliwatts that the radio cannot be set to.
    virtual void validateOutputPower(unsigned int milliwatts) = 0;
    virtual void getHopInterval(MICROHARD_HOP_INTERVAL& interval);
    virtual void setHopInterval(MICROHARD_HOP_INTERVAL interval);
    virtual void getSerialDataFormat(MICROHARD_SERIAL_PORT_DATA_FORMAT& format);
    virtual void setSerialDataFormat(MICROHARD_SERIAL_PORT_DATA_FORMAT format);
    virtual void getMaxPacketSize(unsigned int& size);
    virtual void setMaxPacketSize(unsigned int size);
    virtual void getPacketRetransmissions(unsigned int& count);
    virtual void setPacketRetransmissions(unsigned int count);
    virtual void getRepeatInterval(unsigned int& interval);
    virtual void setRepeatInterval(unsigned int interval);
    virtual void getCharacterTimeout(unsigned int& timeout);
    virtual void setCharacterTimeout(unsigned int timeout);
    virtual void getRoaming(unsigned int& roaming);
    virtual void setRoaming(unsigned int roaming);
    virtual void getQuickEnterCommandMode(bool& on);
    virtual void setQuickEnterCommandMode(bool on);
    virtual void getAverageRSSI(int& rssi);
    virtual void getNetworkType(MICROHARD_NETWORK_TYPE& type);
    virtual void setNetworkType(MICROHARD_NETWORK_TYPE type);
    virtual void getDestinationAddress(unsigned short& address);
    virtual void setDestinationAddress(unsigned short address);
    virtual void getRepeaters(bool& on);
    virtual void setRepeaters(bool on);
    virtual void getSerialChannelMode(MICROHARD_SERIAL_CHANNEL_MODE& mode);
    virtual void setSerialChannelMode(MICROHARD_SERIAL_CHANNEL_MODE mode);
    virtual void getSleepMode(MICROHARD_SLEEP_MODE& mode);
    virtual void setSleepMode(MICROHARD_SLEEP_MODE mode);
    virtual void getSleepTime(unsigned int& time);
    virtual void setSleepTime(unsigned int time);
    virtual void getWakeTime(unsigned int& time);
    virtual void setWakeTime(unsigned int time);
    virtual void getLEDBrightness(unsigned int& brightness);
    virtual void setLEDBrightness(unsigned int brightness);
    virtual void getSyncMode(MICROHARD_SYNC_MODE& mode);
    virtual void setSyncMode(MICROHARD_SYNC_MODE mode);
    virtual void getFastSyncTimeout(unsigned int& timeout);
    virtual void setFastSyncTimeout(unsigned int timeout);
    virtual void getAddressTag(bool& on);
    virtual void setAddressTag(bool on);
    virtual void getFECMode(MICROHARD_FEC_MODE& mode);
    virtual void setFECMode(MICROHARD_FEC_MODE mode);
    virtual void getProtocolType(MICROHARD_PROTOCOL_TYPE& type);
    virtual void setProtocolType(MICROHARD_PROTOCOL_TYPE type);
    virtual void getSniffTimeout(unsigned int& timeout);
    virtual void setSniffTimeout(unsigned int timeout);
    // Read from S224, written to S244.
    virtual void getChannelRequestMode(MICROHARD_CHANNEL_REQUEST_MODE& mode);
    virtual void setChannelRequestMode(MICROHARD_CHANNEL_REQUEST_MODE mode);
    virtual void getMasterHopAllocationTimeout(unsigned int& timeout);
    virtual void setMasterHopAllocationTimeout(unsigned int timeout);

    // Output power table of the modems: milliwatts at this interface, dBm in
    // S108. False when the value is not in the table.
    static bool powerToMilliwatts(unsigned int dBm, unsigned int& milliwatts);
    static bool milliwattsToPower(unsigned int milliwatts, unsigned int& dBm);

    // True once the start-up exchange has run (answered or not).
    bool isInitialised() const { return initialised; }

protected:
    ~MicrohardRadio() = default;

    // The one-time start-up exchange: "\r\nATA\r\n", whatever comes back.
    void initDevice();
    // sendCommands, and clear the engine whether it succeeded or threw.
    void executeCommands();

private:
    // Queues a heap command as a command-mode command (the engine deletes it).
    void queueOwned(std::unique_ptr<Command> command);
    // One complete exchange around one command that already holds its value.
    void exchange(Command& command);
    template <class ReadCommand, class Value, class Convert>
    void read(Value& out, Convert convert);
    template <class WriteCommand, class Give>
    void write(Give give);

    bool initialised;
};

} // namespace Radio
} // namespace Veltrio
