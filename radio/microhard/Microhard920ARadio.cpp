#include "radio/microhard/Microhard920ARadio.h"

#include <list>
#include <string>

#include "radio/RadioExceptions.h"
#include "radio/microhard/MicrohardFixedRegisters.h"

namespace Veltrio {
namespace Radio {

using Veltrio::Common::PORT_CONFIG_BAUD;

namespace {

struct ModeRow {
    MICROHARD_920A_MODE mode;
    PORT_CONFIG_BAUD wirelessRate;
    unsigned int maxPacketSize;
    unsigned int retransmissions;
    unsigned int fecMode;
};
// The pair (rate, packet size) tells the modes apart when reading back.
constexpr ModeRow modeTable[] = {
    {MICROHARD_920A_MODE_SLOW, Veltrio::Common::BAUD_19200, 30, 0, 7},
    {MICROHARD_920A_MODE_SLOW2, Veltrio::Common::BAUD_19200, 35, 2, 0},
    {MICROHARD_920A_MODE_FAST, Veltrio::Common::BAUD_115200, 25, 5, 0},
};
static_assert(sizeof modeTable / sizeof modeTable[0] == MICROHARD_920A_MODE_FAST + 1, "one row per mode");
static_assert(modeTable[MICROHARD_920A_MODE_FAST].mode == MICROHARD_920A_MODE_FAST, "rows in mode order");

const ModeRow& modeRow(MICROHARD_920A_MODE mode) {
    for (const ModeRow& row : modeTable)
        if (row.mode == mode) return row;
    throw InvalidOperationModeException(std::to_string(static_cast<int>(mode)));
}

// The channel lives in S104 as channel + 101.
constexpr unsigned int firstChannelAddress = 101;
constexpr unsigned int lastChannel = 99;
// S105 is 16 bits wide.
constexpr unsigned int maxUnitAddress = 0xFFFF;

// Values the 920A set-up always programs (those read back: MicrohardFixedRegisters.h).
constexpr unsigned int factorySetting = 5;
using Microhard920AFixed::destinationAddress;
using Microhard920AFixed::operatingMode;
using Microhard920AFixed::outputPowerDBm;
using Microhard920AFixed::roaming;
using Microhard920AFixed::serialDataFormat;

} // namespace

Microhard920ARadio::Microhard920ARadio(Veltrio::Common::Timer* timer, unsigned int commandTimeout,
                                       Veltrio::Common::DeviceCommInterface* device,
                                       Veltrio::Common::DeviceCommInterface* gpsDevice)
    : MicrohardRadio(timer, commandTimeout, device, gpsDevice) {}

RADIO_TYPE Microhard920ARadio::getType() const { return RADIO_TYPE_MICROHARD_920A; }

void Microhard920ARadio::validateOutputPower(unsigned int milliwatts) {
    unsigned int dBm = 0;
    if (milliwatts > 1000 || !milliwattsToPower(milliwatts, dBm)) throw InvalidPowerException(std::to_string(milliwatts));
}

void Microhard920ARadio::saveConfig(unsigned int channel, MICROHARD_920A_MODE mode, unsigned int address) {
    // A channel outside 0 to 99, or an address that S105 cannot hold, is
    // refused rather than replaced by channel 0 or cut to 16 bits: the radio
    // is either set as asked or not touched.
    if (channel > lastChannel) throw InvalidNetworkAddressException();
    if (address > maxUnitAddress) throw InvalidUnitAddressException();
    const unsigned int networkAddress = channel + firstChannelAddress;
    const ModeRow& link = modeRow(mode);

    // Every command gets its value here, before anything is sent: a value a
    // command refuses leaves with nothing written.
    MicrohardSetFactorySettingsCommand factory;
    factory.setFactorySettings(static_cast<MICROHARD_FACTORY_SETTING>(factorySetting));
    MicrohardSetSerialBaudRateCommand serialRate;
    serialRate.setSerialBaudRate(Veltrio::Common::BAUD_115200); // code Microhard920AFixed::serialBaudCode
    MicrohardSetOperatingModeCommand operating;
    operating.setOperatingMode(static_cast<MICROHARD_OPERATING_MODE>(operatingMode));
    MicrohardSetOutputPowerCommand outputPower;
    outputPower.setOutputPower(static_cast<MICROHARD_OUTPUT_POWER>(outputPowerDBm));
    MicrohardSetSerialPortDataFormatCommand dataFormat;
    dataFormat.setSerialPortDataFormat(static_cast<MICROHARD_SERIAL_PORT_DATA_FORMAT>(serialDataFormat));
    MicrohardSetRoamingCommand roam;
    roam.setRoaming(roaming);
    MicrohardSetDestinationAddressCommand destination;
    destination.setDestinationAddress(destinationAddress);
    MicrohardSetNetworkAddressCommand network;
    network.setNetworkAddress(networkAddress);
    MicrohardSetWirelessBaudRateCommand wirelessRate;
    wirelessRate.setWirelessBaudRate(link.wirelessRate);
    MicrohardSetMaxPacketSizeCommand packetSize;
    packetSize.setMaxPacketSize(link.maxPacketSize);
    MicrohardSetPacketRetransmissionsCommand retransmissions;
    retransmissions.setPacketRetransmissions(link.retransmissions);
    MicrohardSetFECModeCommand fec;
    fec.setFECMode(static_cast<MICROHARD_FEC_MODE>(link.fecMode));
    MicrohardSetUnitAddressCommand unit;
    unit.setUnitAddress(static_cast<unsigned short>(address)); // fits: checked above
    MicrohardSaveConfigurationCommand save;

    const std::list<Command*> sequence = {
        &factory, &serialRate,   &operating,  &outputPower,     &dataFormat, &roam, &destination,
        &network, &wirelessRate, &packetSize, &retransmissions, &fec,        &unit, &save,
    };
    batch(sequence);
}

void Microhard920ARadio::getConfig(unsigned int& channel, MICROHARD_920A_MODE& mode) {
    MicrohardGetNetworkAddressCommand network;
    MicrohardGetWirelessBaudRateCommand wirelessRate;
    MicrohardGetMaxPacketSizeCommand packetSize;
    batch({&network, &wirelessRate, &packetSize});

    // Unsigned arithmetic: addresses below 101 wrap far above 99 and read as
    // channel 0 like those above 200.
    channel = network.getNetworkAddress() - firstChannelAddress;
    if (channel > lastChannel) channel = 0;

    // The rate is converted first; the packet size only for a matching rate.
    const PORT_CONFIG_BAUD rate = wirelessRate.getWirelessBaudRate();
    for (const ModeRow& row : modeTable)
        if (row.wirelessRate == rate && packetSize.getMaxPacketSize() == row.maxPacketSize) {
            mode = row.mode;
            return;
        }
}

void Microhard920ARadio::readRegisters(Microhard920ARegisters& registers) {
    MicrohardGetNetworkAddressCommand network;
    MicrohardGetUnitAddressCommand unit;
    MicrohardGetWirelessBaudRateCommand wirelessRate;
    MicrohardGetMaxPacketSizeCommand packetSize;
    MicrohardGetPacketRetransmissionsCommand retransmissions;
    MicrohardGetFECModeCommand fec;
    std::list<Command*> sequence = {&network, &unit, &wirelessRate, &packetSize, &retransmissions, &fec};
    MicrohardRegisterReads fixedReads;
    for (const MicrohardFixedRegister& fixed : Microhard920AFixed::registers) fixedReads.add(fixed.number, sequence);
    batch(sequence);
    registers.networkAddress = network.getNetworkAddress();
    registers.unitAddress = unit.getUnitAddress();
    registers.wirelessRateCode = wirelessRate.getIntValue();
    registers.maxPacketSize = packetSize.getMaxPacketSize();
    registers.retransmissions = retransmissions.getPacketRetransmissions();
    registers.fecMode = fec.getIntValue();
    registers.fixed = fixedReads.values();
}

bool Microhard920ARadio::channelOf(const Microhard920ARegisters& registers, unsigned int& channel) {
    if (registers.networkAddress < firstChannelAddress || registers.networkAddress > firstChannelAddress + lastChannel)
        return false;
    channel = registers.networkAddress - firstChannelAddress;
    return true;
}

bool Microhard920ARadio::modeOf(const Microhard920ARegisters& registers, MICROHARD_920A_MODE& mode) {
    PORT_CONFIG_BAUD rate{};
    if (!microhardWirelessBaudCodes.rateOf(registers.wirelessRateCode, rate)) return false;
    for (const ModeRow& row : modeTable)
        if (row.wirelessRate == rate && row.maxPacketSize == registers.maxPacketSize &&
            row.retransmissions == registers.retransmissions &&
            static_cast<unsigned int>(registers.fecMode) == row.fecMode) {
            mode = row.mode;
            return true;
        }
    return false;
}

} // namespace Radio
} // namespace Veltrio
