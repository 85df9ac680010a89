// The Satel command family without a radio: what each command writes, which
// values it refuses, and how each answer shape is read (whole, arriving in
// pieces, malformed).
#include "radio/satel/SatelCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "radio/RadioExceptions.h"
#include "tests/support/Thrown.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using namespace Veltrio::Common;

namespace {

using TestSupport::thrownText;

std::string rendered(Command& command) {
    CharVector out;
    command.buildCmdStr(out);
    return out.str();
}

struct Offer {
    bool complete;
    unsigned int start;
    unsigned int length;
};

// Offers the bytes as the engine does, right after the command was written.
Offer offer(Command& command, const std::string& bytes) {
    command.setStatus(COMMAND_STATUS_SENT);
    unsigned int start = 0, length = 0;
    const bool complete = command.parse(CharVector(bytes), start, length);
    return {complete, start, length};
}

// Every proper prefix of the answer is not yet an answer; the whole is.
void expectCompletesOnlyWhole(Command& command, const std::string& answer) {
    for (std::size_t n = 0; n < answer.size(); ++n)
        EXPECT_FALSE(offer(command, answer.substr(0, n)).complete) << "prefix " << n << " of " << answer;
    EXPECT_TRUE(offer(command, answer).complete) << answer;
    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
}

} // namespace

TEST(SatelCommandsTest, TokenCommandsWriteTheirTextAndCompleteOnTheirToken) {
    SatelEnterCommandModeCommand enter;
    SatelExitCommandModeCommand exit;
    SatelWriteFlashCommand flash;
    SatelRestoreDefaultsCommand defaults;
    EXPECT_EQ(rendered(enter), "SL+++");
    EXPECT_EQ(rendered(exit), "SL++O");
    EXPECT_EQ(rendered(flash), "SL**>");
    EXPECT_EQ(rendered(defaults), "SL*R>");

    EXPECT_FALSE(offer(enter, "O").complete);
    const Offer echoed = offer(enter, "SL+++\r\nOK\r\n");
    EXPECT_TRUE(echoed.complete);
    EXPECT_EQ(enter.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(echoed.start, 7u);
    EXPECT_TRUE(offer(exit, "ERROR\r\n").complete);
    EXPECT_EQ(exit.getStatus(), COMMAND_STATUS_ERROR);
    // No token: any byte completes the flash commands, "ERROR" as an error.
    EXPECT_TRUE(offer(flash, "\r").complete);
    EXPECT_EQ(flash.getStatus(), COMMAND_STATUS_OK);
    EXPECT_TRUE(offer(defaults, "ERROR").complete);
    EXPECT_EQ(defaults.getStatus(), COMMAND_STATUS_ERROR);
}

TEST(SatelCommandsTest, SettersRenderAcceptedValuesAtTheirEdges) {
    std::vector<std::pair<std::function<Command*()>, std::string>> cases = {
        {[] { auto* c = new SatelSetFrequencyCommand; c->setFrequency(1000001); return c; }, "SL&F=1.00000"},
        {[] { auto* c = new SatelSetFrequencyCommand; c->setFrequency(434000000); return c; }, "SL&F=434.00000"},
        {[] { auto* c = new SatelSetFrequencyCommand; c->setFrequency(438106250); return c; }, "SL&F=438.10625"},
        {[] { auto* c = new SatelSetFrequencyCommand; c->setFrequency(999999994); return c; }, "SL&F=999.99999"},
        {[] { auto* c = new SatelSetChannelSpacingCommand; c->setChannelSpacing(12500); return c; }, "SL&W=1250"},
        {[] { auto* c = new SatelSetChannelSpacingCommand; c->setChannelSpacing(20000); return c; }, "SL&W=2000"},
        {[] { auto* c = new SatelSetChannelSpacingCommand; c->setChannelSpacing(25000); return c; }, "SL&W=2500"},
        {[] { auto* c = new SatelSetPowerCommand; c->setPower(2); return c; }, "SL@P=2"},
        {[] { auto* c = new SatelSetPowerCommand; c->setPower(9999); return c; }, "SL@P=9999"},
        {[] { auto* c = new SatelSetAddressCommand; c->setAddress("ffff"); return c; }, "SL#I=ffff"},
        {[] { auto* c = new SatelSetAddressCommand; c->setAddress("0"); return c; }, "SL#I=0"},
        {[] { auto* c = new SatelSetSignalThresholdCommand; c->setSignalThreshold(-110); return c; }, "SL@T=-110"},
        {[] { auto* c = new SatelSetSignalThresholdCommand; c->setSignalThreshold(-999); return c; }, "SL@T=-999"},
        {[] { auto* c = new SatelSetSignalThresholdCommand; c->setSignalThreshold(99); return c; }, "SL@T=99"},
        {[] { auto* c = new SatelSetOperationModeCommand; c->setOperationMode(OPERATION_MODE_D); return c; }, "SL&D=D"},
        {[] { auto* c = new SatelSetOperationModeCommand; c->setOperationMode(OPERATION_MODE_R); return c; }, "SL&D=R"},
        {[] { auto* c = new SatelSetSerialPortConfigCommand; c->setSerialPortConfig(BAUD_19200, BITS_8, PARITY_NONE, STOPBITS_1); return c; }, "SL%B=19200,8,N,1"},
        {[] { auto* c = new SatelSetSerialPortConfigCommand; c->setSerialPortConfig(BAUD_1200, BITS_7, PARITY_EVEN, STOPBITS_2); return c; }, "SL%B=1200,7,E,2"},
        {[] { auto* c = new SatelSetSerialPortConfigCommand; c->setSerialPortConfig(BAUD_38400, BITS_9, PARITY_ODD, STOPBITS_1); return c; }, "SL%B=38400,9,O,1"},
    };
    for (auto& [make, wire] : cases) {
        std::unique_ptr<Command> command(make());
        EXPECT_EQ(rendered(*command), wire);
    }
}

TEST(SatelCommandsTest, SettersRefuseValuesOutsideTheirRangeWithTheValueAsExtraText) {
    SatelSetFrequencyCommand frequency;
    SatelSetChannelSpacingCommand spacing;
    SatelSetPowerCommand power;
    SatelSetAddressCommand address;
    SatelSetSignalThresholdCommand threshold;
    SatelSetOperationModeCommand mode;
    SatelSetSerialPortConfigCommand serial;
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { frequency.setFrequency(1000000); }, "Invalid frequency: 1000000"},
        {[&] { frequency.setFrequency(1000000000); }, "Invalid frequency: 1000000000"},
        // Would be written as SL&F=1000.00000.
        {[&] { frequency.setFrequency(999999995); }, "Invalid frequency: 999999995"},
        {[&] { frequency.setFrequency(999999999); }, "Invalid frequency: 999999999"},
        // Above 2^31: shown as given, not as a negative number.
        {[&] { frequency.setFrequency(4294967295u); }, "Invalid frequency: 4294967295"},
        {[&] { spacing.setChannelSpacing(6250); }, "Invalid channel spacing: 6250"},
        {[&] { spacing.setChannelSpacing(12501); }, "Invalid channel spacing: 12501"},
        {[&] { power.setPower(1); }, "Invalid power: 1"},
        {[&] { power.setPower(10000); }, "Invalid power: 10000"},
        {[&] { address.setAddress("10000"); }, "Invalid address: 10000"},
        {[&] { address.setAddress("xyz"); }, "Invalid address: xyz"},
        {[&] { address.setAddress(""); }, "Invalid address: "},
        {[&] { threshold.setSignalThreshold(-1000); }, "Invalid threshold: -1000"},
        {[&] { threshold.setSignalThreshold(100); }, "Invalid threshold: 100"},
        {[&] { mode.setOperationMode(static_cast<OPERATION_MODE>('X')); }, "Invalid address: X"},
        {[&] { serial.setSerialPortConfig(BAUD_57600, BITS_8, PARITY_NONE, STOPBITS_1); }, "Invalid serial port config: 57600,8,N,1"},
        {[&] { serial.setSerialPortConfig(BAUD_9600, BITS_8, static_cast<PORT_CONFIG_PARITY>('M'), STOPBITS_1); }, "Invalid serial port config: 9600,8,M,1"},
    };
    for (const auto& [call, text] : cases) EXPECT_EQ(thrownText<Veltrio::Common::ExceptionWithExtraInfo>(call), text);

    // A refused value leaves the command as it was: never set...
    EXPECT_EQ(thrownText<DataNotSetException>([&] { rendered(power); }), "Data for command not set: SatelSetPowerCommand");
    // ...or still holding the value set before.
    power.setPower(500);
    EXPECT_THROW(power.setPower(1), InvalidPowerException);
    EXPECT_EQ(rendered(power), "SL@P=500");
}

TEST(SatelCommandsTest, UnsetSettersNameTheirClassAsTheFieldToolsDo) {
    SatelSetFrequencyCommand frequency;
    SatelSetPowerCommand power;
    SatelSetAddressCommand address;
    SatelSetChannelSpacingCommand spacing;
    SatelSetOperationModeCommand mode;
    SatelSetSignalThresholdCommand threshold;
    SatelSetSerialPortConfigCommand serial;
    const std::vector<std::pair<Command*, std::string>> cases = {
        {&frequency, "SatelSetFrequencyCommand"},   {&power, "SatelSetPowerCommand"},
        {&address, "SatelSetAddressCommand"},       {&spacing, "SatelSetChannelSpacingCommand"},
        {&mode, "SatelSetAddressCommand"},          {&threshold, "SatelSetSignalThresholdCommand"},
        {&serial, "SatelSetFrequencyCommand"},
    };
    for (const auto& [command, name] : cases)
        EXPECT_EQ(thrownText<DataNotSetException>([&] { rendered(*command); }), "Data for command not set: " + name);
}

TEST(SatelCommandsTest, TheAnswerConsumesASettersValue) {
    SatelSetFrequencyCommand frequency;
    frequency.setFrequency(438125000);
    EXPECT_FALSE(offer(frequency, "O").complete);
    EXPECT_THROW(rendered(frequency), DataNotSetException); // cleared by every parse
    frequency.setFrequency(438125000);
    EXPECT_TRUE(offer(frequency, "OK\r\n").complete);
    EXPECT_EQ(frequency.getStatus(), COMMAND_STATUS_OK);
    EXPECT_THROW(rendered(frequency), DataNotSetException);
}

TEST(SatelCommandsTest, QueriesWriteTheirBareText) {
    SatelGetFrequencyCommand a;
    SatelGetCenterFrequencyCommand b;
    SatelGetChannelSpacingCommand c;
    SatelGetPowerCommand d;
    SatelGetAddressCommand e;
    SatelGetOperationModeCommand f;
    SatelGetSignalStrengthCommand g;
    SatelGetNoiseLevelCommand h;
    SatelGetSignalThresholdCommand i;
    SatelGetRadioSoftwareVersionCommand j;
    SatelGetModemTypeCommand k;
    SatelGetSerialNumberCommand l;
    SatelGetLogicBoardNameCommand m;
    SatelGetModemPartNumberCommand n;
    SatelGetRadioBoardVersionCommand o;
    SatelGetSerialPortConfigCommand p;
    const std::vector<std::pair<Command*, std::string>> cases = {
        {&a, "SL&F?"}, {&b, "SL&C?"}, {&c, "SL&W?"}, {&d, "SL@P?"}, {&e, "SL#I?"}, {&f, "SL&D?"},
        {&g, "SL@R?"}, {&h, "SL@F?"}, {&i, "SL@T?"}, {&j, "SL%V?"}, {&k, "SL%D?"}, {&l, "SL%S?"},
        {&m, "SL%H?"}, {&n, "SL%C?"}, {&o, "SL!H?"}, {&p, "SL%B?"},
    };
    for (const auto& [command, text] : cases) EXPECT_EQ(rendered(*command), text);
}

TEST(SatelCommandsTest, GettersRefuseBeforeAnAnswerWasRead) {
    SatelGetFrequencyCommand frequency;
    SatelGetAddressCommand address;
    SatelGetSerialPortConfigCommand serial;
    SatelGetPowerCommand power;
    SatelGetOperationModeCommand mode;
    SatelGetModemTypeCommand type;
    const std::vector<std::function<void()>> getters = {
        [&] { frequency.getTxFrequency(); }, [&] { frequency.getRxFrequency(); },
        [&] { address.getTxAddress(); },     [&] { address.getRxAddress(); },
        [&] { serial.getBaud(); },           [&] { serial.getStopBits(); },
        [&] { power.getPower(); },           [&] { mode.getOperationMode(); },
        [&] { type.getModemType(); },
    };
    for (const auto& get : getters) EXPECT_THROW(get(), DataNotReadyException);
    // An incomplete answer does not make a value ready either.
    offer(power, "500 m");
    EXPECT_THROW(power.getPower(), DataNotReadyException);
}

TEST(SatelCommandsTest, FrequencyAnswerGivesTransmitAndReceiveFrequency) {
    SatelGetFrequencyCommand query;
    const std::string answer = "TX 438.12500 MHz, RX 438.10625 MHz";
    expectCompletesOnlyWhole(query, answer);
    EXPECT_EQ(query.getTxFrequency(), 438125000u);
    EXPECT_EQ(query.getRxFrequency(), 438106250u); // the last decimal is kept
    const Offer withNoise = offer(query, "\r\nTX 434.00000 MHz, RX 434.00000 MHz\r\n");
    EXPECT_TRUE(withNoise.complete);
    EXPECT_EQ(withNoise.start, 2u);
    EXPECT_EQ(withNoise.length, answer.size());
    EXPECT_EQ(query.getTxFrequency(), 434000000u);

    // Decimal MHz become exact Hz: cutting the binary fraction would lose one.
    EXPECT_TRUE(offer(query, "TX 4.01397 MHz, RX 2.03793 MHz").complete);
    EXPECT_EQ(query.getTxFrequency(), 4013970u);
    EXPECT_EQ(query.getRxFrequency(), 2037930u);
}

TEST(SatelCommandsTest, MisshapenFrequencyAnswersNeverComplete) {
    for (const char* answer : {"TX 438.12500 MHz RX 438.12500 MHz", "TX 438.12500 MHz, RX 438.12500",
                                      "RX 438.12500 MHz, TX 438.12500 MHz", "TX MHz, RX MHz", "ERROR\r\n", "",
                                      // both units ahead of "RX": the receive number has not ended yet
                                      "TX 2500 MHz80 MHz,RX 3", "TX 438.12500 MHz MHz, RX 438.1"}) {
        SatelGetFrequencyCommand query;
        EXPECT_FALSE(offer(query, answer).complete) << answer;
        EXPECT_EQ(query.getStatus(), COMMAND_STATUS_ERROR) << answer; // marked, but the engine keeps waiting
        EXPECT_THROW(query.getTxFrequency(), DataNotReadyException);
    }
    // A number beyond 32 bits of Hz is refused, not wrapped.
    SatelGetFrequencyCommand query;
    EXPECT_THROW(offer(query, "TX 99999 MHz, RX 438.1 MHz"), ConversionException);
}

TEST(SatelCommandsTest, NumbersWithAUnit) {
    SatelGetCenterFrequencyCommand center;
    expectCompletesOnlyWhole(center, "438.00000 MHz");
    EXPECT_EQ(center.getCenterFrequency(), 438000000u);

    SatelGetChannelSpacingCommand spacing;
    expectCompletesOnlyWhole(spacing, "12.5 kHz");
    EXPECT_EQ(spacing.getChannelSpacing(), 12500u);
    EXPECT_TRUE(offer(spacing, "25.0 kHz\r\n").complete);
    EXPECT_EQ(spacing.getChannelSpacing(), 25000u);

    SatelGetPowerCommand power;
    expectCompletesOnlyWhole(power, "500 mW");
    EXPECT_EQ(power.getPower(), 500u);
    const Offer at = offer(power, "\r\n1000 mW\r\n");
    EXPECT_EQ(at.start, 2u);
    EXPECT_EQ(at.length, 7u);
    // The power is digits only: a sign or a marker in front is not part of
    // the number (a sign would turn 500 into 4294966796 mW).
    for (const char* answer : {"-500 mW", "<500 mW"}) {
        const Offer marked = offer(power, answer);
        EXPECT_TRUE(marked.complete) << answer;
        EXPECT_EQ(power.getPower(), 500u) << answer;
        EXPECT_EQ(marked.start, 1u) << answer;
        EXPECT_EQ(marked.length, 6u) << answer;
    }

    SatelGetSignalThresholdCommand threshold;
    expectCompletesOnlyWhole(threshold, "-110 dBm");
    EXPECT_EQ(threshold.getSignalThreshold(), -110);

    // An incomplete answer marks the frequency and spacing queries with the
    // error status, and leaves the status of the others alone.
    EXPECT_FALSE(offer(spacing, "12.5").complete);
    EXPECT_EQ(spacing.getStatus(), COMMAND_STATUS_ERROR);
    EXPECT_FALSE(offer(power, "ERROR\r\n").complete);
    EXPECT_EQ(power.getStatus(), COMMAND_STATUS_SENT);
}

TEST(SatelCommandsTest, SignalLevelsMayCarryAMarkerBeforeTheNumber) {
    SatelGetSignalStrengthCommand strength;
    const Offer below = offer(strength, "<-110 dBm\r\n");
    EXPECT_TRUE(below.complete);
    EXPECT_EQ(strength.getSignalStrength(), -110);
    EXPECT_EQ(below.start, 0u);
    EXPECT_EQ(below.length, 9u);

    SatelGetNoiseLevelCommand noise;
    const Offer above = offer(noise, "\r\n>-40 dBm");
    EXPECT_TRUE(above.complete);
    EXPECT_EQ(noise.getNoiseLevel(), -40);
    EXPECT_EQ(above.start, 2u);
    expectCompletesOnlyWhole(noise, "-97 dBm");
    EXPECT_EQ(noise.getNoiseLevel(), -97);
}

TEST(SatelCommandsTest, AddressAnswerIsExactlyNineCharacters) {
    SatelGetAddressCommand query;
    expectCompletesOnlyWhole(query, "0001;FFFF");
    EXPECT_EQ(query.getTxAddress(), "0001");
    EXPECT_EQ(query.getRxAddress(), "FFFF");
    EXPECT_FALSE(offer(query, "0001;FFFF\r\n").complete); // a line end makes it another shape
    EXPECT_THROW(offer(query, "00G1;0001"), ConversionException);
    EXPECT_THROW(offer(query, "12;456789"), ConversionException); // TX address cut short
}

// The fast exchange takes an accepted answer to end with its line end, and
// cannot tell where one without a line end ends.
TEST(SatelCommandsTest, AnAnswerEndsWithItsLineEnd) {
    SatelEnterCommandModeCommand enter;
    SatelSetPowerCommand setPower;
    SatelGetPowerCommand power;
    SatelGetAddressCommand address;
    const struct {
        Command* command;
        std::string bytes;
        AnswerEnd end;
    } rows[] = {
        {&enter, "OK", AnswerEnd::Unknown},
        {&enter, "OK\r", AnswerEnd::Unknown},
        {&enter, "OK\r\n", AnswerEnd::Whole},
        {&enter, "\r\n", AnswerEnd::Awaited},
        {&setPower, "ERROR\r\n", AnswerEnd::Whole},
        {&power, "500 mW\r\n", AnswerEnd::Whole},
        {&address, "0001;FFFF", AnswerEnd::Unknown},
    };
    for (const auto& row : rows) EXPECT_EQ(row.command->answerEnd(CharVector(row.bytes)), row.end) << row.bytes;
}

TEST(SatelCommandsTest, OperationModeIsTheFirstByte) {
    SatelGetOperationModeCommand query;
    EXPECT_FALSE(offer(query, "").complete);
    for (const char mode : {'D', 'R', 'S'}) {
        EXPECT_TRUE(offer(query, std::string(1, mode) + "\r\n").complete);
        EXPECT_EQ(query.getOperationMode(), static_cast<OPERATION_MODE>(mode));
    }
    EXPECT_EQ(thrownText<InvalidOperationModeException>([&] { offer(query, "X\r\n"); }), "Invalid address: X\r\n");
}

TEST(SatelCommandsTest, TextAnswers) {
    SatelGetModemTypeCommand type;
    EXPECT_FALSE(offer(type, "").complete);
    EXPECT_TRUE(offer(type, "RADIOSIM UHF\r\n").complete);
    EXPECT_EQ(type.getModemType(), "RADIOSIM UHF\r\n"); // exactly as received
    EXPECT_TRUE(offer(type, std::string("AB\0CD", 5)).complete);
    EXPECT_EQ(type.getModemType(), "AB");
    EXPECT_TRUE(offer(type, "ERROR\r\n").complete); // whatever arrived is the value
    EXPECT_EQ(type.getModemType(), "ERROR\r\n");

    SatelGetRadioSoftwareVersionCommand version;
    EXPECT_FALSE(offer(version, "no version here").complete);
    EXPECT_TRUE(offer(version, "V07.22.2\r\n").complete);
    EXPECT_EQ(version.getRadioSoftwareVersion(), "V07.22.2");
    const Offer inText = offer(version, "FW V3.1-b");
    EXPECT_EQ(version.getRadioSoftwareVersion(), "V3.1");
    EXPECT_EQ(inText.start, 3u);
    EXPECT_EQ(inText.length, 4u);

    SatelGetRadioBoardVersionCommand board;
    EXPECT_FALSE(offer(board, "HW2.1").complete);
    const Offer boardAt = offer(board, "\nHW:2.1\r\n");
    EXPECT_TRUE(boardAt.complete);
    EXPECT_EQ(board.getRadioBoardVersion(), "2.1\r\n");
    EXPECT_EQ(boardAt.start, 1u);
    EXPECT_EQ(boardAt.length, 8u);
}

TEST(SatelCommandsTest, SerialPortConfigAnswer) {
    SatelGetSerialPortConfigCommand query;
    expectCompletesOnlyWhole(query, "19200,8,N,1"); // "19200,8,N," is not complete yet
    EXPECT_EQ(query.getBaud(), BAUD_19200);
    EXPECT_EQ(query.getBits(), BITS_8);
    EXPECT_EQ(query.getParity(), PARITY_NONE);
    EXPECT_EQ(query.getStopBits(), STOPBITS_1);

    const Offer afterNoise = offer(query, "\r\n9600,7,E,2");
    EXPECT_TRUE(afterNoise.complete);
    EXPECT_EQ(query.getBaud(), BAUD_9600);
    EXPECT_EQ(query.getParity(), PARITY_EVEN);
    EXPECT_EQ(afterNoise.start, 1u);
    EXPECT_EQ(afterNoise.length, 10u);

    EXPECT_EQ(thrownText<InvalidSerialPortConfigException>([&] { offer(query, "57600,8,N,1\r\n"); }),
              "Invalid serial port config: 57600,8,N,1\r\n");
    EXPECT_THROW(offer(query, "19200,8,X,1"), InvalidSerialPortConfigException);
    EXPECT_THROW(offer(query, "19200,x,N,1"), ConversionException);
    EXPECT_FALSE(offer(query, "19200,8,N,1,0").complete);
}

// A radio with its echo on sends the command back before its answer; the
// echo is never the answer, in either exchange: the flash write is not
// complete on its echo, a query does not read its value out of it, and line
// ends alone are no whole answer yet.
TEST(SatelCommandsTest, TheEchoIsNeverTheAnswer) {
    SatelWriteFlashCommand flash;
    SatelGetOperationModeCommand mode;
    SatelGetRadioSoftwareVersionCommand version;
    const struct {
        Command* command;
        std::string bytes;
        bool complete;
        COMMAND_STATUS status;
        AnswerEnd end;
    } rows[] = {
        {&flash, "SL**>\r\n", false, COMMAND_STATUS_SENT, AnswerEnd::Awaited},
        {&flash, "SL**>\r\n\r\n", true, COMMAND_STATUS_OK, AnswerEnd::Awaited},
        {&flash, "SL**>\r\nERROR\r\n", true, COMMAND_STATUS_ERROR, AnswerEnd::Whole},
        {&flash, "SL**>\r\n\r\nOK\r\n", true, COMMAND_STATUS_OK, AnswerEnd::Whole},
        {&mode, "SL&D?\r\nR\r\n", true, COMMAND_STATUS_OK, AnswerEnd::Whole},
        {&version, "SL%V?\r\nV07.22.2\r\n", true, COMMAND_STATUS_OK, AnswerEnd::Whole},
    };
    for (const auto& row : rows) {
        CharVector written;
        row.command->buildCmdStr(written);
        row.command->setSentCommand(written);
        EXPECT_EQ(offer(*row.command, row.bytes).complete, row.complete) << row.bytes;
        EXPECT_EQ(row.command->getStatus(), row.status) << row.bytes;
        EXPECT_EQ(row.command->answerEnd(CharVector(row.bytes)), row.end) << row.bytes;
    }
    EXPECT_EQ(mode.getOperationMode(), OPERATION_MODE_R);
    EXPECT_EQ(version.getRadioSoftwareVersion(), "V07.22.2");
}
