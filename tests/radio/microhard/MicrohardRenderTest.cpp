// What each Microhard command puts on the wire, and what its typed setter
// accepts and refuses. No port: the commands render into byte vectors.
#include "radio/microhard/MicrohardCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "radio/RadioExceptions.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using Veltrio::Common::PORT_CONFIG_BAUD;

namespace {

// The bytes a command renders, or "throws <what()>".
std::string render(Command& command) {
    try {
        CharVector out;
        command.buildCmdStr(out);
        return out.str();
    } catch (const std::exception& e) {
        return std::string("throws ") + e.what();
    }
}

// Sets a value with `set` and renders; a refused value gives "throws <what()>".
template <typename C>
std::string renderWith(const std::function<void(C&)>& set) {
    C command;
    try {
        set(command);
    } catch (const std::exception& e) {
        return std::string("throws ") + e.what();
    }
    return render(command);
}

struct Row {
    const char* label;
    std::function<std::string()> run;
    std::string expected;
};

template <typename C>
Row read(const char* label, const char* expected) {
    return {label, [] { C c; return render(c); }, expected};
}

#define WRITE(Class, call, expected) Row{#Class " " #call, [] { return renderWith<Class>([](Class& c) { c.call; }); }, expected}

void check(const std::vector<Row>& rows) {
    for (const Row& row : rows) EXPECT_EQ(row.run(), row.expected) << row.label;
}

} // namespace

TEST(MicrohardRenderTest, EveryRegisterReadAsksItsOwnRegister) {
    check({
        read<MicrohardGetOperatingModeCommand>("S101", "ATS101?\r\n"),
        read<MicrohardGetSerialBaudRateCommand>("S102", "ATS102?\r\n"),
        read<MicrohardGetWirelessBaudRateCommand>("S103", "ATS103?\r\n"),
        read<MicrohardL400GetWirelessBaudRateCommand>("L400 S103", "ATS103?\r\n"),
        read<MicrohardGetNetworkAddressCommand>("S104", "ATS104?\r\n"),
        read<MicrohardGetUnitAddressCommand>("S105", "ATS105?\r\n"),
        read<MicrohardGetStaticMaskCommand>("S107", "ATS107?\r\n"),
        read<MicrohardGetOutputPowerCommand>("S108", "ATS108?\r\n"),
        read<MicrohardGetHopIntervalCommand>("S109", "ATS109?\r\n"),
        read<MicrohardGetSerialPortDataFormatCommand>("S110", "ATS110?\r\n"),
        read<MicrohardGetMaxPacketSizeCommand>("S112", "ATS112?\r\n"),
        read<MicrohardGetPacketRetransmissionsCommand>("S113", "ATS113?\r\n"),
        read<MicrohardGetRepeatIntervalCommand>("S115", "ATS115?\r\n"),
        read<MicrohardGetCharacterTimeoutCommand>("S116", "ATS116?\r\n"),
        read<MicrohardGetRoamingCommand>("S118", "ATS118?\r\n"),
        read<MicrohardGetQuickEnterCommandModeCommand>("S119", "ATS119?\r\n"),
        read<MicrohardGetAverageRSSICommand>("S123", "ATS123?\r\n"),
        read<MicrohardL400GetFrequencyCommand>("S131", "ATS131?\r\n"),
        read<MicrohardGetNetworkTypeCommand>("S133", "ATS133?\r\n"),
        read<MicrohardGetDestinationAddressCommand>("S140", "ATS140?\r\n"),
        read<MicrohardGetRepeatersCommand>("S141", "ATS141?\r\n"),
        read<MicrohardGetSerialChannelModeCommand>("S142", "ATS142?\r\n"),
        read<MicrohardGetSleepModeCommand>("S143", "ATS143?\r\n"),
        read<MicrohardGetSleepTimeCommand>("S144", "ATS144?\r\n"),
        read<MicrohardGetWakeTimeCommand>("S145", "ATS145?\r\n"),
        read<MicrohardGetLEDBrightnessCommand>("S149", "ATS149?\r\n"),
        read<MicrohardGetSyncModeCommand>("S150", "ATS150?\r\n"),
        read<MicrohardGetFastSyncTimeoutCommand>("S151", "ATS151?\r\n"),
        read<MicrohardGetAddressTagCommand>("S153", "ATS153?\r\n"),
        read<MicrohardGetFECModeCommand>("S158", "ATS158?\r\n"),
        read<MicrohardGetProtocolTypeCommand>("S217", "ATS217?\r\n"),
        read<MicrohardGetChannelRequestModeCommand>("S224", "ATS224?\r\n"),
        read<MicrohardGetSniffTimeoutCommand>("S237", "ATS237?\r\n"),
        read<MicrohardGetMasterHopAllocationTimeoutCommand>("S251", "ATS251?\r\n"),
    });
}

TEST(MicrohardRenderTest, FixedCommandsCarryTheirOwnLineEnds) {
    check({
        read<MicrohardEnterCommandModeCommand>("escape", "+++"),
        read<MicrohardExitCommandModeCommand>("leave", "\r\nATA\r\n"),
        read<MicrohardSaveConfigurationCommand>("save", "AT&W\r\n"),
        read<MicrohardGetProductCodeCommand>("product", "ATI1\r\n"),
        read<MicrohardGetSerialNumberCommand>("serial", "ATI7\r\n"),
        read<MicrohardL400EnterDealerModeCommand>("dealer", "ATP0=\r"),
        read<MicrohardL400SendDealerPasswordCommand>("password", "kest%al\r"),
        read<MicrohardL400ExitDealerModeCommand>("escape dealer", "\x1b"),
        WRITE(MicrohardSetEchoCommand, setEcho(false), "ATE0\r\n"),
        WRITE(MicrohardSetEchoCommand, setEcho(true), "ATE1\r\n"),
        read<MicrohardSetEchoCommand>("echo never set", "throws Data for command not set: MicrohardSetEchoCommand"),
        WRITE(MicrohardSetFactorySettingsCommand, setFactorySettings(MICROHARD_FACTORY_SETTING_2), "AT&F2\r\n"),
        WRITE(MicrohardSetFactorySettingsCommand, setFactorySettings(MICROHARD_FACTORY_SETTING_5), "AT&F5\r\n"),
    });
}

// Only the escape needs the line quiet before it; the engine waits for the
// guard on that property alone.
TEST(MicrohardRenderTest, OnlyTheEscapeNeedsAQuietLineBeforeIt) {
    EXPECT_TRUE(MicrohardEnterCommandModeCommand().needsQuietLineBefore());
    EXPECT_FALSE(MicrohardExitCommandModeCommand().needsQuietLineBefore());
    EXPECT_FALSE(MicrohardSaveConfigurationCommand().needsQuietLineBefore());
    EXPECT_FALSE(MicrohardL400ExitDealerModeCommand().needsQuietLineBefore());
}

TEST(MicrohardRenderTest, FrequencyTableEntryIsFourCrTerminatedFields) {
    MicrohardL400SetTableFrequencyCommand table;
    table.setEntry(42);
    table.setFrequency(450125000);
    table.setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    EXPECT_EQ(render(table), "throws Data for command not set: MicrohardL400SetTableFrequencyCommand");
    table.setDirection(MICROHARD_L400_DIRECTION_2);
    EXPECT_EQ(render(table), "42\r450125000\r1\r2\r");
}

// Each setter at the edges of its range and just outside, with the exact
// bytes or the exact exception text.
TEST(MicrohardRenderTest, SettersAcceptTheirRangeAndRefuseTheRest) {
    using namespace Veltrio::Common;
    check({
        WRITE(MicrohardSetOperatingModeCommand, setOperatingMode(MICROHARD_OPERATING_MODE_2), "ATS101=2\r\n"),
        WRITE(MicrohardSetOperatingModeCommand, setOperatingMode(MICROHARD_OPERATING_MODE(3)), "throws Invalid address: 3"),
        WRITE(MicrohardSetSerialBaudRateCommand, setSerialBaudRate(BAUD_230400), "ATS102=0\r\n"),
        WRITE(MicrohardSetSerialBaudRateCommand, setSerialBaudRate(BAUD_9600), "ATS102=7\r\n"),
        WRITE(MicrohardSetSerialBaudRateCommand, setSerialBaudRate(BAUD_300), "ATS102=14\r\n"),
        WRITE(MicrohardSetSerialBaudRateCommand, setSerialBaudRate(BAUD_16000), "throws Invalid serial port config: Invalid baud"),
        WRITE(MicrohardSetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_19200), "ATS103=0\r\n"),
        WRITE(MicrohardSetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_340000), "ATS103=5\r\n"),
        WRITE(MicrohardSetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_9600), "throws Invalid serial port config: Invalid baud"),
        WRITE(MicrohardL400SetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_9600), "ATS103=5\r\n"),
        WRITE(MicrohardL400SetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_14400), "ATS103=6\r\n"),
        WRITE(MicrohardL400SetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_16000), "ATS103=8\r\n"),
        WRITE(MicrohardL400SetWirelessBaudRateCommand, setWirelessBaudRate(BAUD_19200), "throws Invalid serial port config: Invalid baud"),
        WRITE(MicrohardSetNetworkAddressCommand, setNetworkAddress(0), "ATS104=0\r\n"),
        WRITE(MicrohardSetNetworkAddressCommand, setNetworkAddress(4000000000u), "ATS104=4000000000\r\n"),
        WRITE(MicrohardSetNetworkAddressCommand, setNetworkAddress(4000000001u), "throws Invalid Network Address"),
        WRITE(MicrohardSetUnitAddressCommand, setUnitAddress(2), "ATS105=2\r\n"),
        WRITE(MicrohardSetUnitAddressCommand, setUnitAddress(65534), "ATS105=65534\r\n"),
        WRITE(MicrohardSetUnitAddressCommand, setUnitAddress(1), "throws Invalid Unit Address"),
        WRITE(MicrohardSetUnitAddressCommand, setUnitAddress(65535), "throws Invalid Unit Address"),
        WRITE(MicrohardSetStaticMaskCommand, setStaticMask(""), "ATS107=\r\n"),
        WRITE(MicrohardSetStaticMaskCommand, setStaticMask("0123456789ABCDEF"), "ATS107=0123456789ABCDEF\r\n"),
        WRITE(MicrohardSetStaticMaskCommand, setStaticMask("0123456789ABCDEF0"), "throws Invalid Static Mask"),
        WRITE(MicrohardSetOutputPowerCommand, setOutputPower(MICROHARD_OUTPUT_POWER_20), "ATS108=20\r\n"),
        WRITE(MicrohardSetOutputPowerCommand, setOutputPower(MICROHARD_OUTPUT_POWER_37), "ATS108=37\r\n"),
        WRITE(MicrohardSetOutputPowerCommand, setOutputPower(MICROHARD_OUTPUT_POWER(31)), "throws Invalid power: MicrohardSetOutputPowerCommand"),
        WRITE(MicrohardSetOutputPowerCommand, setOutputPower(MICROHARD_OUTPUT_POWER(19)), "throws Invalid power: MicrohardSetOutputPowerCommand"),
        WRITE(MicrohardSetHopIntervalCommand, setHopInterval(MICROHARD_HOP_INTERVAL_19), "ATS109=19\r\n"),
        WRITE(MicrohardSetHopIntervalCommand, setHopInterval(MICROHARD_HOP_INTERVAL(20)), "throws Invalid Hop Interval"),
        WRITE(MicrohardSetSerialPortDataFormatCommand, setSerialPortDataFormat(MICROHARD_SERIAL_PORT_DATA_FORMAT_1), "ATS110=1\r\n"),
        WRITE(MicrohardSetSerialPortDataFormatCommand, setSerialPortDataFormat(MICROHARD_SERIAL_PORT_DATA_FORMAT_10), "ATS110=10\r\n"),
        WRITE(MicrohardSetSerialPortDataFormatCommand, setSerialPortDataFormat(MICROHARD_SERIAL_PORT_DATA_FORMAT(0)), "throws Invalid serial port config: MicrohardSetSerialPortDataFormatCommand"),
        WRITE(MicrohardSetMaxPacketSizeCommand, setMaxPacketSize(65536), "ATS112=65536\r\n"),
        WRITE(MicrohardSetMaxPacketSizeCommand, setMaxPacketSize(65537), "throws Invalid Max Packet Size"),
        WRITE(MicrohardSetPacketRetransmissionsCommand, setPacketRetransmissions(255), "ATS113=255\r\n"),
        WRITE(MicrohardSetPacketRetransmissionsCommand, setPacketRetransmissions(256), "throws Invalid Packet Retransmissions"),
        WRITE(MicrohardSetRepeatIntervalCommand, setRepeatInterval(1), "ATS115=1\r\n"),
        WRITE(MicrohardSetRepeatIntervalCommand, setRepeatInterval(0), "throws Invalid Repeat Interval"),
        WRITE(MicrohardSetRepeatIntervalCommand, setRepeatInterval(256), "throws Invalid Repeat Interval"),
        WRITE(MicrohardSetCharacterTimeoutCommand, setCharacterTimeout(254), "ATS116=254\r\n"),
        WRITE(MicrohardSetCharacterTimeoutCommand, setCharacterTimeout(255), "throws Invalid Character Timeout"),
        WRITE(MicrohardSetRoamingCommand, setRoaming(1), "ATS118=1\r\n"),
        WRITE(MicrohardSetRoamingCommand, setRoaming(254), "ATS118=254\r\n"),
        WRITE(MicrohardSetRoamingCommand, setRoaming(65535), "ATS118=65535\r\n"),
        WRITE(MicrohardSetRoamingCommand, setRoaming(0), "throws Invalid Roaming Timeout"),
        WRITE(MicrohardSetRoamingCommand, setRoaming(255), "throws Invalid Roaming Timeout"),
        WRITE(MicrohardSetQuickEnterCommandModeCommand, setQuickEnterCommandMode(true), "ATS119=1\r\n"),
        WRITE(MicrohardSetQuickEnterCommandModeCommand, setQuickEnterCommandMode(false), "ATS119=0\r\n"),
        WRITE(MicrohardL400SetBandwidthCommand, setBandwidth(MICROHARD_L400_BANDWIDTH_1), "ATS125=1\r\n"),
        WRITE(MicrohardL400SetTxFrequencyCommand, setFrequency(0), "ATS131=0\r\n"),
        WRITE(MicrohardL400SetTxFrequencyCommand, setFrequency(64), "ATS131=64\r\n"),
        WRITE(MicrohardL400SetTxFrequencyCommand, setFrequency(65), "throws Invalid Table Entry"),
        WRITE(MicrohardL400SetRxFrequencyCommand, setFrequency(42), "ATS132=42\r\n"),
        WRITE(MicrohardL400SetRxFrequencyCommand, setFrequency(65), "throws Invalid Table Entry"),
        WRITE(MicrohardSetNetworkTypeCommand, setNetworkType(MICROHARD_NETWORK_TYPE_2), "ATS133=2\r\n"),
        WRITE(MicrohardSetNetworkTypeCommand, setNetworkType(MICROHARD_NETWORK_TYPE(3)), "throws Invalid Network Type"),
        WRITE(MicrohardSetDestinationAddressCommand, setDestinationAddress(1), "ATS140=1\r\n"),
        WRITE(MicrohardSetDestinationAddressCommand, setDestinationAddress(65535), "ATS140=65535\r\n"),
        WRITE(MicrohardSetDestinationAddressCommand, setDestinationAddress(0), "throws Invalid Destination Address"),
        WRITE(MicrohardSetDestinationAddressCommand, setDestinationAddress(65536), "throws Invalid Destination Address"),
        WRITE(MicrohardSetRepeatersCommand, setRepeaters(true), "ATS141=1\r\n"),
        WRITE(MicrohardSetSerialChannelModeCommand, setSerialChannelMode(MICROHARD_SERIAL_CHANNEL_MODE_2), "ATS142=2\r\n"),
        WRITE(MicrohardSetSerialChannelModeCommand, setSerialChannelMode(MICROHARD_SERIAL_CHANNEL_MODE(3)), "throws Invalid Serial Channel Mode"),
        WRITE(MicrohardSetSleepModeCommand, setSleepMode(MICROHARD_SLEEP_MODE_5), "ATS143=5\r\n"),
        WRITE(MicrohardSetSleepModeCommand, setSleepMode(MICROHARD_SLEEP_MODE(6)), "throws Invalid Sleep Mode"),
        WRITE(MicrohardSetSleepTimeCommand, setSleepTime(65535), "ATS144=65535\r\n"),
        WRITE(MicrohardSetSleepTimeCommand, setSleepTime(65536), "throws Invalid Sleep Time"),
        WRITE(MicrohardSetWakeTimeCommand, setWakeTime(65535), "ATS145=65535\r\n"),
        WRITE(MicrohardSetWakeTimeCommand, setWakeTime(65536), "throws Invalid Wake Time"),
        WRITE(MicrohardSetLEDBrightnessCommand, setLEDBrightness(100), "ATS149=100\r\n"),
        WRITE(MicrohardSetLEDBrightnessCommand, setLEDBrightness(101), "throws Invalid LED Brightness"),
        WRITE(MicrohardSetSyncModeCommand, setSyncMode(MICROHARD_SYNC_MODE_2), "ATS150=2\r\n"),
        WRITE(MicrohardSetSyncModeCommand, setSyncMode(MICROHARD_SYNC_MODE(3)), "throws Invalid Sync Mode"),
        WRITE(MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout(100), "ATS151=100\r\n"),
        WRITE(MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout(65000), "ATS151=65000\r\n"),
        WRITE(MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout(99), "throws Invalid Fast Sync Timeout"),
        WRITE(MicrohardSetFastSyncTimeoutCommand, setFastSyncTimeout(65001), "throws Invalid Fast Sync Timeout"),
        WRITE(MicrohardSetAddressTagCommand, setAddressTag(false), "ATS153=0\r\n"),
        WRITE(MicrohardSetFECModeCommand, setFECMode(MICROHARD_FEC_MODE_3), "ATS158=3\r\n"),
        WRITE(MicrohardSetFECModeCommand, setFECMode(MICROHARD_FEC_MODE_5), "ATS158=5\r\n"),
        WRITE(MicrohardSetFECModeCommand, setFECMode(MICROHARD_FEC_MODE(4)), "throws Invalid FEC Mode"),
        WRITE(MicrohardSetFECModeCommand, setFECMode(MICROHARD_FEC_MODE(8)), "throws Invalid FEC Mode"),
        WRITE(MicrohardSetProtocolTypeCommand, setProtocolType(MICROHARD_PROTOCOL_TYPE_2), "ATS217=2\r\n"),
        WRITE(MicrohardSetProtocolTypeCommand, setProtocolType(MICROHARD_PROTOCOL_TYPE(3)), "throws Invalid Protocol Type"),
        WRITE(MicrohardSetChannelRequestModeCommand, setChannelRequestMode(MICROHARD_CHANNEL_REQUEST_MODE_1), "ATS244=1\r\n"),
        WRITE(MicrohardSetChannelRequestModeCommand, setChannelRequestMode(MICROHARD_CHANNEL_REQUEST_MODE(3)), "throws Invalid Channel Request Mode"),
        WRITE(MicrohardSetSniffTimeoutCommand, setSniffTimeout(1), "ATS237=1\r\n"),
        WRITE(MicrohardSetSniffTimeoutCommand, setSniffTimeout(0), "throws Invalid Sniff Timeout"),
        WRITE(MicrohardSetSniffTimeoutCommand, setSniffTimeout(256), "throws Invalid Sniff Timeout"),
        WRITE(MicrohardSetMasterHopAllocationTimeoutCommand, setMasterHopAllocationTimeout(254), "ATS251=254\r\n"),
        WRITE(MicrohardSetMasterHopAllocationTimeoutCommand, setMasterHopAllocationTimeout(0), "throws Invalid Master Hop Allocation Timeout"),
        WRITE(MicrohardSetMasterHopAllocationTimeoutCommand, setMasterHopAllocationTimeout(255), "throws Invalid Master Hop Allocation Timeout"),
    });
}

TEST(MicrohardRenderTest, RefusedValueLeavesThePreviousOneInPlace) {
    MicrohardSetHopIntervalCommand hop;
    hop.setHopInterval(MICROHARD_HOP_INTERVAL_7);
    EXPECT_THROW(hop.setHopInterval(MICROHARD_HOP_INTERVAL(20)), InvalidHopIntervalException);
    EXPECT_EQ(render(hop), "ATS109=7\r\n");

    MicrohardSetUnitAddressCommand unit;
    EXPECT_THROW(unit.setUnitAddress(0), InvalidUnitAddressException);
    EXPECT_EQ(render(unit), "throws Data for command not set: MicrohardBaseClassSetStrValueCommand");
}
