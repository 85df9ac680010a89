#pragma once
// Every S-register read and write that radiocfg uses, one row each.
//
// A read sends "ATS<register>?\r\n" and its getter converts the first answer
// line; a write's setter checks and converts its argument (throwing before
// anything is stored) and the command sends "ATS<register>=<value>\r\n". The
// value kinds (MicrohardRegisterValues.h) hold the checks and conversions, so
// a new register is one row here.

#include <string>

#include "radio/microhard/MicrohardBaudCodes.h"
#include "radio/microhard/MicrohardRegisterValues.h"
#include "radio/microhard/MicrohardTypes.h"

namespace Veltrio {
namespace Radio {

#define VELTRIO_MICROHARD_READ(Class, Register, Getter, ...)                                               \
    class Class : public __VA_ARGS__::ReadBase {                                                           \
    public:                                                                                                \
        Class() : __VA_ARGS__::ReadBase("ATS" #Register "?\r\n", "OK") {}                                  \
        auto Getter() const { return __VA_ARGS__::decode(*this); }                                         \
    };

#define VELTRIO_MICROHARD_WRITE_TEXT(Class, Text, Setter, Argument, ...)                                   \
    class Class : public __VA_ARGS__::WriteBase {                                                          \
    public:                                                                                                \
        Class() : __VA_ARGS__::WriteBase(Text, "OK") {}                                                    \
        void Setter(Argument value) { __VA_ARGS__::encode(*this, value); }                                 \
    };

#define VELTRIO_MICROHARD_WRITE(Class, Register, Setter, Argument, ...)                                    \
    VELTRIO_MICROHARD_WRITE_TEXT(Class, "ATS" #Register "=", Setter, Argument, __VA_ARGS__)

namespace MicrohardValue {
using Baud = Veltrio::Common::PORT_CONFIG_BAUD;
// The rejections of the setters, by register.
using OperatingModes = Enumerated<MICROHARD_OPERATING_MODE, ThrowValue<InvalidOperationModeException>>;
using OutputPowers = Enumerated<MICROHARD_OUTPUT_POWER, ThrowInvalidPower>;
using HopIntervals = Enumerated<MICROHARD_HOP_INTERVAL, Throw<InvalidHopIntervalException>>;
using DataFormats = Enumerated<MICROHARD_SERIAL_PORT_DATA_FORMAT, ThrowInvalidDataFormat>;
using NetworkTypes = Enumerated<MICROHARD_NETWORK_TYPE, Throw<InvalidNetworkTypeException>>;
using SerialChannelModes = Enumerated<MICROHARD_SERIAL_CHANNEL_MODE, Throw<InvalidSerialChannelModeException>>;
using SleepModes = Enumerated<MICROHARD_SLEEP_MODE, Throw<InvalidSleepModeException>>;
using SyncModes = Enumerated<MICROHARD_SYNC_MODE, Throw<InvalidSyncModeException>>;
using FECModes = Enumerated<MICROHARD_FEC_MODE, Throw<InvalidFECModeException>>;
using ProtocolTypes = Enumerated<MICROHARD_PROTOCOL_TYPE, Throw<InvalidProtocolTypeException>>;
using ChannelRequestModes = Enumerated<MICROHARD_CHANNEL_REQUEST_MODE, Throw<InvalidChannelRequestModeException>>;
using SerialBaud = BaudCode<microhardSerialBaudCodes>;
using WirelessBaud = BaudCode<microhardWirelessBaudCodes>;
using L400WirelessBaud = BaudCode<microhardL400WirelessBaudCodes>;
using TableEntry = Range<unsigned short, 0, 64, Throw<InvalidTableEntryException>>;
} // namespace MicrohardValue

// clang-format off
// Reads:                  class                                      S-reg  getter                          value kind
VELTRIO_MICROHARD_READ(MicrohardGetOperatingModeCommand,              101, getOperatingMode,              MicrohardValue::OperatingModes)
VELTRIO_MICROHARD_READ(MicrohardGetSerialBaudRateCommand,             102, getSerialBaudRate,             MicrohardValue::SerialBaud)
VELTRIO_MICROHARD_READ(MicrohardGetWirelessBaudRateCommand,           103, getWirelessBaudRate,           MicrohardValue::WirelessBaud)
VELTRIO_MICROHARD_READ(MicrohardL400GetWirelessBaudRateCommand,       103, getWirelessBaudRate,           MicrohardValue::L400WirelessBaud)
VELTRIO_MICROHARD_READ(MicrohardGetNetworkAddressCommand,             104, getNetworkAddress,             MicrohardValue::Unsigned<4000000000u, MicrohardValue::Throw<InvalidNetworkAddressException>>)
VELTRIO_MICROHARD_READ(MicrohardGetUnitAddressCommand,                105, getUnitAddress,                MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetStaticMaskCommand,                 107, getStaticMask,                 MicrohardValue::StaticMask)
VELTRIO_MICROHARD_READ(MicrohardGetOutputPowerCommand,                108, getOutputPower,                MicrohardValue::OutputPowers)
VELTRIO_MICROHARD_READ(MicrohardGetHopIntervalCommand,                109, getHopInterval,                MicrohardValue::HopIntervals)
VELTRIO_MICROHARD_READ(MicrohardGetSerialPortDataFormatCommand,       110, getSerialPortFormat,           MicrohardValue::DataFormats)
VELTRIO_MICROHARD_READ(MicrohardGetMaxPacketSizeCommand,              112, getMaxPacketSize,              MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetPacketRetransmissionsCommand,      113, getPacketRetransmissions,      MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetRepeatIntervalCommand,             115, getRepeatInterval,             MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetCharacterTimeoutCommand,           116, getCharacterTimeout,           MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetRoamingCommand,                    118, getRoaming,                    MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetQuickEnterCommandModeCommand,      119, getQuickEnterCommandMode,      MicrohardValue::Switch)
VELTRIO_MICROHARD_READ(MicrohardGetAverageRSSICommand,                123, getAverageRSSI,                MicrohardValue::Decimal<int>)
VELTRIO_MICROHARD_READ(MicrohardL400GetFrequencyCommand,              131, getFrequency,                  MicrohardValue::L400Frequency)
VELTRIO_MICROHARD_READ(MicrohardL400GetRxFrequencyCommand,            132, getFrequency,                  MicrohardValue::L400Frequency)
VELTRIO_MICROHARD_READ(MicrohardGetNetworkTypeCommand,                133, getNetworkType,                MicrohardValue::NetworkTypes)
VELTRIO_MICROHARD_READ(MicrohardGetDestinationAddressCommand,         140, getDestinationAddress,         MicrohardValue::Decimal<unsigned short>)
VELTRIO_MICROHARD_READ(MicrohardGetRepeatersCommand,                  141, getRepeaters,                  MicrohardValue::Switch)
VELTRIO_MICROHARD_READ(MicrohardGetSerialChannelModeCommand,          142, getSerialChannelMode,          MicrohardValue::SerialChannelModes)
VELTRIO_MICROHARD_READ(MicrohardGetSleepModeCommand,                  143, getSleepMode,                  MicrohardValue::SleepModes)
VELTRIO_MICROHARD_READ(MicrohardGetSleepTimeCommand,                  144, getSleepTime,                  MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetWakeTimeCommand,                   145, getWakeTime,                   MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetLEDBrightnessCommand,              149, getLEDBrightness,              MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetSyncModeCommand,                   150, getSyncMode,                   MicrohardValue::SyncModes)
VELTRIO_MICROHARD_READ(MicrohardGetFastSyncTimeoutCommand,            151, getFastSyncTimeout,            MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetAddressTagCommand,                 153, getAddressTag,                 MicrohardValue::Switch)
VELTRIO_MICROHARD_READ(MicrohardGetFECModeCommand,                    158, getFECMode,                    MicrohardValue::FECModes)
VELTRIO_MICROHARD_READ(MicrohardGetProtocolTypeCommand,               217, getProtocolType,               MicrohardValue::ProtocolTypes)
VELTRIO_MICROHARD_READ(MicrohardGetChannelRequestModeCommand,         224, getChannelRequestMode,         MicrohardValue::ChannelRequestModes)
VELTRIO_MICROHARD_READ(MicrohardGetSniffTimeoutCommand,               237, getSniffTimeout,               MicrohardValue::Decimal<unsigned int>)
VELTRIO_MICROHARD_READ(MicrohardGetMasterHopAllocationTimeoutCommand, 251, getMasterHopAllocationTimeout, MicrohardValue::Decimal<unsigned int>)

// Writes:                  class                                      S-reg  setter                         argument                          value kind (check, exception)
VELTRIO_MICROHARD_WRITE(MicrohardSetOperatingModeCommand,              101, setOperatingMode,              MICROHARD_OPERATING_MODE,          MicrohardValue::OperatingModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetSerialBaudRateCommand,             102, setSerialBaudRate,             MicrohardValue::Baud,              MicrohardValue::SerialBaud)
VELTRIO_MICROHARD_WRITE(MicrohardSetWirelessBaudRateCommand,           103, setWirelessBaudRate,           MicrohardValue::Baud,              MicrohardValue::WirelessBaud)
VELTRIO_MICROHARD_WRITE(MicrohardL400SetWirelessBaudRateCommand,       103, setWirelessBaudRate,           MicrohardValue::Baud,              MicrohardValue::L400WirelessBaud)
VELTRIO_MICROHARD_WRITE(MicrohardSetNetworkAddressCommand,             104, setNetworkAddress,             unsigned int,                      MicrohardValue::Unsigned<4000000000u, MicrohardValue::Throw<InvalidNetworkAddressException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetUnitAddressCommand,                105, setUnitAddress,                unsigned short,                    MicrohardValue::Range<unsigned short, 2, 65534, MicrohardValue::Throw<InvalidUnitAddressException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetStaticMaskCommand,                 107, setStaticMask,                 const std::string&,                MicrohardValue::StaticMask)
VELTRIO_MICROHARD_WRITE(MicrohardSetOutputPowerCommand,                108, setOutputPower,                MICROHARD_OUTPUT_POWER,            MicrohardValue::OutputPowers)
VELTRIO_MICROHARD_WRITE(MicrohardSetHopIntervalCommand,                109, setHopInterval,                MICROHARD_HOP_INTERVAL,            MicrohardValue::HopIntervals)
VELTRIO_MICROHARD_WRITE(MicrohardSetSerialPortDataFormatCommand,       110, setSerialPortDataFormat,       MICROHARD_SERIAL_PORT_DATA_FORMAT, MicrohardValue::DataFormats)
VELTRIO_MICROHARD_WRITE(MicrohardSetMaxPacketSizeCommand,              112, setMaxPacketSize,              unsigned int,                      MicrohardValue::Range<unsigned int, 0, 65536, MicrohardValue::Throw<InvalidMaxPacketSizeException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetPacketRetransmissionsCommand,      113, setPacketRetransmissions,      unsigned int,                      MicrohardValue::Range<unsigned int, 0, 255, MicrohardValue::Throw<InvalidPacketRetransmissionsException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetRepeatIntervalCommand,             115, setRepeatInterval,             unsigned int,                      MicrohardValue::Range<unsigned int, 1, 255, MicrohardValue::Throw<InvalidRepeatIntervalException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetCharacterTimeoutCommand,           116, setCharacterTimeout,           unsigned int,                      MicrohardValue::Range<unsigned int, 0, 254, MicrohardValue::Throw<InvalidCharacterTimeoutException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetRoamingCommand,                    118, setRoaming,                    unsigned int,                      MicrohardValue::Roaming)
VELTRIO_MICROHARD_WRITE(MicrohardSetQuickEnterCommandModeCommand,      119, setQuickEnterCommandMode,      bool,                              MicrohardValue::Switch)
VELTRIO_MICROHARD_WRITE(MicrohardL400SetBandwidthCommand,              125, setBandwidth,                  MICROHARD_L400_BANDWIDTH,          MicrohardValue::AnyValue<MICROHARD_L400_BANDWIDTH>)
VELTRIO_MICROHARD_WRITE(MicrohardL400SetTxFrequencyCommand,            131, setFrequency,                  unsigned short,                    MicrohardValue::TableEntry)
VELTRIO_MICROHARD_WRITE(MicrohardL400SetRxFrequencyCommand,            132, setFrequency,                  unsigned short,                    MicrohardValue::TableEntry)
VELTRIO_MICROHARD_WRITE(MicrohardSetNetworkTypeCommand,                133, setNetworkType,                MICROHARD_NETWORK_TYPE,            MicrohardValue::NetworkTypes)
VELTRIO_MICROHARD_WRITE(MicrohardSetDestinationAddressCommand,         140, setDestinationAddress,         unsigned int,                      MicrohardValue::Range<unsigned int, 1, 65535, MicrohardValue::Throw<InvalidDestinationAddressException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetRepeatersCommand,                  141, setRepeaters,                  bool,                              MicrohardValue::Switch)
VELTRIO_MICROHARD_WRITE(MicrohardSetSerialChannelModeCommand,          142, setSerialChannelMode,          MICROHARD_SERIAL_CHANNEL_MODE,     MicrohardValue::SerialChannelModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetSleepModeCommand,                  143, setSleepMode,                  MICROHARD_SLEEP_MODE,              MicrohardValue::SleepModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetSleepTimeCommand,                  144, setSleepTime,                  unsigned int,                      MicrohardValue::Range<unsigned int, 0, 65535, MicrohardValue::Throw<InvalidSleepTimeException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetWakeTimeCommand,                   145, setWakeTime,                   unsigned int,                      MicrohardValue::Range<unsigned int, 0, 65535, MicrohardValue::Throw<InvalidWakeTimeException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetLEDBrightnessCommand,              149, setLEDBrightness,              unsigned int,                      MicrohardValue::Range<unsigned int, 0, 100, MicrohardValue::Throw<InvalidLEDBrightnessException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetSyncModeCommand,                   150, setSyncMode,                   MICROHARD_SYNC_MODE,               MicrohardValue::SyncModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetFastSyncTimeoutCommand,            151, setFastSyncTimeout,            unsigned int,                      MicrohardValue::Range<unsigned int, 100, 65000, MicrohardValue::Throw<InvalidFastSyncTimeoutException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetAddressTagCommand,                 153, setAddressTag,                 bool,                              MicrohardValue::Switch)
VELTRIO_MICROHARD_WRITE(MicrohardSetFECModeCommand,                    158, setFECMode,                    MICROHARD_FEC_MODE,                MicrohardValue::FECModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetProtocolTypeCommand,               217, setProtocolType,               MICROHARD_PROTOCOL_TYPE,           MicrohardValue::ProtocolTypes)
VELTRIO_MICROHARD_WRITE(MicrohardSetChannelRequestModeCommand,         244, setChannelRequestMode,         MICROHARD_CHANNEL_REQUEST_MODE,    MicrohardValue::ChannelRequestModes)
VELTRIO_MICROHARD_WRITE(MicrohardSetSniffTimeoutCommand,               237, setSniffTimeout,               unsigned int,                      MicrohardValue::Range<unsigned int, 1, 255, MicrohardValue::Throw<InvalidSniffTimeoutException>>)
VELTRIO_MICROHARD_WRITE(MicrohardSetMasterHopAllocationTimeoutCommand, 251, setMasterHopAllocationTimeout, unsigned int,                      MicrohardValue::Range<unsigned int, 1, 254, MicrohardValue::Throw<InvalidMasterHopAllocationTimeoutException>>)
// Not a register, but the same shape: "AT&F<n>\r\n" restores factory set n.
VELTRIO_MICROHARD_WRITE_TEXT(MicrohardSetFactorySettingsCommand, "AT&F",    setFactorySettings,            MICROHARD_FACTORY_SETTING,         MicrohardValue::AnyValue<MICROHARD_FACTORY_SETTING>)
// clang-format on

} // namespace Radio
} // namespace Veltrio
