// The Microhard commands against the simulated radio, without a port: each
// command's bytes go to the radio model, and the model's answer comes back
// to the command's parse. The commands and the simulator must agree on the
// wire protocol, or every test on a pseudo-terminal would only prove that
// they share a mistake.
#include "radio/microhard/MicrohardCommands.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/radiosim/MicrohardPersonality.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using RadioSim::MicrohardModel;
using RadioSim::MicrohardPersonality;

namespace {

// Writes one command to the radio (the line then falls quiet) and offers all
// it answered to the command. False when the command did not complete.
bool exchange(MicrohardPersonality& radio, Command& command) {
    CharVector bytes;
    command.buildCmdStr(bytes);
    command.setStatus(COMMAND_STATUS_SENT);
    std::string input = bytes.str();
    std::string answer;
    for (int round = 0; round < 16 && !input.empty(); ++round)
        for (const auto& framed : radio.takeCommands(input, true)) answer += radio.answer(framed);
    unsigned int start = 0, length = 0;
    return command.parse(CharVector(answer), start, length);
}

void enterCommandMode(MicrohardPersonality& radio) {
    MicrohardEnterCommandModeCommand enter;
    ASSERT_TRUE(exchange(radio, enter));
    ASSERT_EQ(enter.getStatus(), COMMAND_STATUS_OK);
    MicrohardSetEchoCommand echoOff;
    echoOff.setEcho(false);
    ASSERT_TRUE(exchange(radio, echoOff));
}

std::string stateOf(const MicrohardPersonality& radio, const std::string& name) {
    for (const auto& [key, value] : radio.state())
        if (key == name) return value;
    return "<none>";
}

} // namespace

TEST(MicrohardConversationTest, DataModeAnswersOnlyTheEscape) {
    MicrohardPersonality radio(MicrohardModel::L400);
    MicrohardGetProductCodeCommand product;
    EXPECT_FALSE(exchange(radio, product));
    MicrohardExitCommandModeCommand exit;
    EXPECT_FALSE(exchange(radio, exit));
    MicrohardEnterCommandModeCommand enter;
    EXPECT_TRUE(exchange(radio, enter));
    EXPECT_EQ(enter.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(stateOf(radio, "mode"), "command");
}

// With the echo on, the echoed command is the first line of the answer: the
// reason the driver switches the echo off before any read.
TEST(MicrohardConversationTest, EchoDecidesWhatAReadSees) {
    MicrohardPersonality radio(MicrohardModel::L400);
    MicrohardEnterCommandModeCommand enter;
    ASSERT_TRUE(exchange(radio, enter));
    MicrohardGetProductCodeCommand echoed;
    ASSERT_TRUE(exchange(radio, echoed));
    EXPECT_EQ(echoed.getProductCode(), "ATI1");

    MicrohardSetEchoCommand echoOff;
    echoOff.setEcho(false);
    ASSERT_TRUE(exchange(radio, echoOff));
    MicrohardGetProductCodeCommand product;
    ASSERT_TRUE(exchange(radio, product));
    EXPECT_EQ(product.getProductCode(), "L400");
    MicrohardGetSerialNumberCommand serial;
    ASSERT_TRUE(exchange(radio, serial));
    EXPECT_EQ(serial.getSerialNumber(), "400123");

    MicrohardExitCommandModeCommand exit;
    ASSERT_TRUE(exchange(radio, exit));
    EXPECT_EQ(exit.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(stateOf(radio, "mode"), "data");
}

TEST(MicrohardConversationTest, RegistersAreWrittenReadAndRefused) {
    MicrohardPersonality radio(MicrohardModel::MHX920A);
    enterCommandMode(radio);

    MicrohardSetNetworkAddressCommand setAddress;
    setAddress.setNetworkAddress(4000000000u);
    ASSERT_TRUE(exchange(radio, setAddress));
    EXPECT_EQ(setAddress.getStatus(), COMMAND_STATUS_OK);
    MicrohardGetNetworkAddressCommand getAddress;
    ASSERT_TRUE(exchange(radio, getAddress));
    EXPECT_EQ(getAddress.getNetworkAddress(), 4000000000u);

    // Written to S244, read from S224.
    MicrohardSetChannelRequestModeCommand setRequest;
    setRequest.setChannelRequestMode(MICROHARD_CHANNEL_REQUEST_MODE_2);
    ASSERT_TRUE(exchange(radio, setRequest));
    MicrohardGetChannelRequestModeCommand getRequest;
    ASSERT_TRUE(exchange(radio, getRequest));
    EXPECT_EQ(getRequest.getChannelRequestMode(), MICROHARD_CHANNEL_REQUEST_MODE_2);

    // 33 dBm is beyond this model: ERROR, and the register keeps its value.
    MicrohardSetOutputPowerCommand power;
    power.setOutputPower(MICROHARD_OUTPUT_POWER_33);
    ASSERT_TRUE(exchange(radio, power));
    EXPECT_EQ(power.getStatus(), COMMAND_STATUS_ERROR);
    EXPECT_EQ(radio.registerValue(108), "30");

    MicrohardSaveConfigurationCommand save;
    ASSERT_TRUE(exchange(radio, save));
    EXPECT_EQ(stateOf(radio, "saves"), "1");
    EXPECT_EQ(stateOf(radio, "unsaved_changes"), "no");

    MicrohardSetFactorySettingsCommand factory;
    factory.setFactorySettings(MICROHARD_FACTORY_SETTING_5);
    ASSERT_TRUE(exchange(radio, factory));
    EXPECT_EQ(stateOf(radio, "factory_set"), "5");
    EXPECT_EQ(radio.registerValue(104), "1234");

    // The 920A has no dealer mode and no L400 frequency registers.
    MicrohardL400EnterDealerModeCommand dealer;
    ASSERT_TRUE(exchange(radio, dealer));
    EXPECT_EQ(dealer.getStrValue(), "ERROR");
    EXPECT_EQ(dealer.getStatus(), COMMAND_STATUS_ERROR);
    MicrohardL400SetTxFrequencyCommand tx;
    tx.setFrequency(42);
    ASSERT_TRUE(exchange(radio, tx));
    EXPECT_EQ(tx.getStatus(), COMMAND_STATUS_ERROR);
}

// The L400 frequency table: dealer mode, password, one entry, ESC; then the
// entry is selected and read back as a frequency.
TEST(MicrohardConversationTest, L400DealerModeProgramsTheFrequencyTable) {
    MicrohardPersonality radio(MicrohardModel::L400);
    enterCommandMode(radio);

    MicrohardL400EnterDealerModeCommand dealer;
    ASSERT_TRUE(exchange(radio, dealer));
    EXPECT_EQ(dealer.getStrValue(), "Password:");
    MicrohardL400SendDealerPasswordCommand password;
    ASSERT_TRUE(exchange(radio, password));
    EXPECT_EQ(password.getStrValue(), "Table entry:");
    MicrohardL400SetTableFrequencyCommand entry;
    entry.setEntry(42);
    entry.setFrequency(450125000);
    entry.setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    entry.setDirection(MICROHARD_L400_DIRECTION_2);
    ASSERT_TRUE(exchange(radio, entry));
    EXPECT_EQ(entry.getStrValue(), "Frequency (Hz):");
    EXPECT_EQ(stateOf(radio, "table_42"), "450125000,1,2");
    MicrohardL400ExitDealerModeCommand leave;
    ASSERT_TRUE(exchange(radio, leave));
    EXPECT_EQ(stateOf(radio, "mode"), "command");

    MicrohardL400SetTxFrequencyCommand tx;
    tx.setFrequency(42);
    ASSERT_TRUE(exchange(radio, tx));
    EXPECT_EQ(tx.getStatus(), COMMAND_STATUS_OK);
    MicrohardL400GetFrequencyCommand frequency;
    ASSERT_TRUE(exchange(radio, frequency));
    EXPECT_EQ(frequency.getStrValue(), "42 - 450.1250");
    EXPECT_EQ(frequency.getFrequency(), 450125000u);

    MicrohardL400SetWirelessBaudRateCommand rate;
    rate.setWirelessBaudRate(Veltrio::Common::BAUD_16000);
    ASSERT_TRUE(exchange(radio, rate));
    MicrohardL400GetWirelessBaudRateCommand readRate;
    ASSERT_TRUE(exchange(radio, readRate));
    EXPECT_EQ(readRate.getWirelessBaudRate(), Veltrio::Common::BAUD_16000);
}

TEST(MicrohardConversationTest, L400WrongPasswordEndsTheDialogue) {
    MicrohardPersonality radio(MicrohardModel::L400);
    enterCommandMode(radio);
    MicrohardL400EnterDealerModeCommand dealer;
    ASSERT_TRUE(exchange(radio, dealer));
    MicrohardBaseClassGetStrValueCommand wrong("guess\r", "");
    ASSERT_TRUE(exchange(radio, wrong));
    EXPECT_EQ(wrong.getStrValue(), "Password rejected");
    EXPECT_EQ(stateOf(radio, "mode"), "command");
}

// A Satel probe is data to a Microhard radio, in either mode.
TEST(MicrohardConversationTest, SatelCommandsGetNoAnswer) {
    MicrohardPersonality radio(MicrohardModel::L400);
    std::string input = "SL+++";
    for (const auto& framed : radio.takeCommands(input, true)) EXPECT_EQ(radio.answer(framed), "") << framed;
    enterCommandMode(radio);
    input = "SL&F?";
    for (const auto& framed : radio.takeCommands(input, true)) EXPECT_EQ(radio.answer(framed), "") << framed;
}
