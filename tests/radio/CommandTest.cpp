#include "radio/Command.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "radio/RadioExceptions.h"

using Veltrio::Common::CharVector;
using namespace Veltrio::Radio;

namespace {

// The shape of every token-answered command: renders its text, parses with
// simpleResponseParse.
class TokenCommand : public Command {
public:
    explicit TokenCommand(const std::string& token = "OK") : Command("SL+++", token) {}
    void buildCmdStr(CharVector& out) override { out = CharVector(commandText); }
    bool parse(const CharVector& data, unsigned int& start, unsigned int& length) override {
        return simpleResponseParse(data, start, length);
    }
    bool errorOnly(const CharVector& data, unsigned int& start, unsigned int& length) {
        return simpleErrorParse(data, start, length);
    }
};

CharVector bytes(const std::string& text) { return CharVector(text); }

} // namespace

TEST(CommandParse, TokenAnswersTable) {
    struct Case {
        std::string received;
        bool complete;
        COMMAND_STATUS status;
        unsigned int start;
        unsigned int length;
    };
    const std::vector<Case> cases = {
        {"SL+++\r\nOK\r\n", true, COMMAND_STATUS_OK, 7, 2},                 // echo, then the answer
        {"OK", true, COMMAND_STATUS_OK, 0, 2},
        {"\r\nOK\r\nERROR\r\n", true, COMMAND_STATUS_ERROR, 6, 5},         // error wins, either order
        {"ERROR\r\nOK\r\n", true, COMMAND_STATUS_ERROR, 0, 5},
        {std::string("OK\0ERROR", 8), true, COMMAND_STATUS_OK, 0, 2},       // NUL hides the error token
        {std::string("xx\0OK", 5), true, COMMAND_STATUS_OK, 3, 2},          // but not the response token
        {std::string("E\0RROR OK", 9), true, COMMAND_STATUS_OK, 7, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.received);
        TokenCommand command;
        command.setStatus(COMMAND_STATUS_SENT);
        unsigned int start = 99, length = 99;
        EXPECT_EQ(command.parse(bytes(c.received), start, length), c.complete);
        EXPECT_EQ(command.getStatus(), c.status);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(length, c.length);
    }
}

TEST(CommandParse, IncompleteAnswerChangesNothing) {
    for (const std::string received : {"", "SL+++\r\n", "O", "ERRO", "\r\nK\r\n"}) {
        SCOPED_TRACE(received);
        TokenCommand command;
        command.setStatus(COMMAND_STATUS_SENT);
        unsigned int start = 41, length = 42;
        EXPECT_FALSE(command.parse(bytes(received), start, length));
        EXPECT_EQ(command.getStatus(), COMMAND_STATUS_SENT);
        EXPECT_EQ(start, 41u);
        EXPECT_EQ(length, 42u);
    }
}

TEST(CommandParse, ErrorTestAloneLeavesStatus) {
    TokenCommand command;
    command.setStatus(COMMAND_STATUS_SENT);
    unsigned int start = 0, length = 0;
    EXPECT_TRUE(command.errorOnly(bytes("SL@P=500\r\nERROR\r\n"), start, length));
    EXPECT_EQ(start, 10u);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_SENT);
    EXPECT_FALSE(command.errorOnly(bytes(std::string("\0ERROR", 6)), start, length));
}

TEST(CommandState, FreshCommandAndSentText) {
    TokenCommand command;
    EXPECT_TRUE(command.isValid());
    EXPECT_FALSE(command.isCommandModeCommand());
    std::string sent = "stale";
    command.getSentCommand(sent);
    EXPECT_EQ(sent, "");

    command.setCommandModeCommand(true);
    EXPECT_TRUE(command.isCommandModeCommand());
    const std::string written("SL@P=500\r\n\0x", 12);
    command.setSentCommand(bytes(written));
    command.getSentCommand(sent);
    EXPECT_EQ(sent, written);
}

TEST(RadioExceptions, MessagesAsTheUserSeesThem) {
    struct Case {
        std::function<void()> raise;
        std::string what;
    };
    const std::vector<Case> cases = {
        {[] { throw CommandException("SL@P=500"); }, "Command error: SL@P=500"},
        {[] { throw CommandTimeoutException("SL+++"); }, "Timeout waiting for repsonse: SL+++"},
        {[] { throw DataNotReadyException(); }, "Data not ready"},
        {[] { throw DataNotSetException("SatelSetPowerCommand"); }, "Data for command not set: SatelSetPowerCommand"},
        {[] { throw UnknownResponseException(); }, "Unknown response"},
        {[] { throw InvalidFrequencyException("1"); }, "Invalid frequency: 1"},
        {[] { throw InvalidPowerException("7"); }, "Invalid power: 7"},
        {[] { throw InvalidAddressException("x"); }, "Invalid address: x"},
        {[] { throw InvalidChannelSpacingException("5"); }, "Invalid channel spacing: 5"},
        {[] { throw InvalidOperationModeException("Q"); }, "Invalid address: Q"},
        {[] { throw InvalidSignalThresholdException("-200"); }, "Invalid threshold: -200"},
        {[] { throw InvalidSerialPortConfigException(""); }, "Invalid serial port config: "},
        {[] { throw InvalidNetworkAddressException(); }, "Invalid Network Address"},
        {[] { throw InvalidUnitAddressException(); }, "Invalid Unit Address"},
        {[] { throw InvalidStaticMaskException(); }, "Invalid Static Mask"},
        {[] { throw InvalidHopIntervalException(); }, "Invalid Hop Interval"},
        {[] { throw InvalidMaxPacketSizeException(); }, "Invalid Max Packet Size"},
        {[] { throw InvalidPacketRetransmissionsException(); }, "Invalid Packet Retransmissions"},
        {[] { throw InvalidRepeatIntervalException(); }, "Invalid Repeat Interval"},
        {[] { throw InvalidCharacterTimeoutException(); }, "Invalid Character Timeout"},
        {[] { throw InvalidRoamingException(); }, "Invalid Roaming Timeout"},
        {[] { throw InvalidNetworkTypeException(); }, "Invalid Network Type"},
        {[] { throw InvalidSerialChannelModeException(); }, "Invalid Serial Channel Mode"},
        {[] { throw InvalidSleepModeException(); }, "Invalid Sleep Mode"},
        {[] { throw InvalidSleepTimeException(); }, "Invalid Sleep Time"},
        {[] { throw InvalidWakeTimeException(); }, "Invalid Wake Time"},
        {[] { throw InvalidLEDBrightnessException(); }, "Invalid LED Brightness"},
        {[] { throw InvalidSyncModeException(); }, "Invalid Sync Mode"},
        {[] { throw InvalidFastSyncTimeoutException(); }, "Invalid Fast Sync Timeout"},
        {[] { throw InvalidFECModeException(); }, "Invalid FEC Mode"},
        {[] { throw InvalidProtocolTypeException(); }, "Invalid Protocol Type"},
        {[] { throw InvalidSniffTimeoutException(); }, "Invalid Sniff Timeout"},
        {[] { throw InvalidChannelRequestModeException(); }, "Invalid Channel Request Mode"},
        {[] { throw InvalidMasterHopAllocationTimeoutException(); }, "Invalid Master Hop Allocation Timeout"},
        {[] { throw InvalidDestinationAddressException(); }, "Invalid Destination Address"},
        {[] { throw InvalidTableEntryException(); }, "Invalid Table Entry"},
    };
    for (const Case& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << "nothing thrown for " << c.what;
        } catch (const Veltrio::Common::Exception& e) {
            EXPECT_EQ(std::string(e.what()), c.what);
        }
    }
}
