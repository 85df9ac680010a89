// How Microhard commands recognise the radio's answers and what the typed
// getters make of them. Answers are fed as bytes, as the engine collects them.
#include "radio/microhard/MicrohardCommands.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "radio/RadioExceptions.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;

namespace {

struct Parsed {
    bool complete;
    COMMAND_STATUS status;
    unsigned int start;
    unsigned int length;
};

// One parse call, as the engine makes it: positions start at 0 and the
// status is COMMAND_STATUS_SENT after the write.
Parsed offer(Command& command, const std::string& bytes) {
    unsigned int start = 0, length = 0;
    const bool complete = command.parse(CharVector(bytes), start, length);
    return {complete, command.getStatus(), start, length};
}

Parsed sentThenOffer(Command& command, const std::string& bytes) {
    command.setStatus(COMMAND_STATUS_SENT);
    return offer(command, bytes);
}

// The value a getter gives for the answer line `line`, as text, or
// "throws <what()>".
template <typename C, typename Get>
std::string valueFor(const std::string& line, Get get) {
    C command;
    const Parsed p = sentThenOffer(command, "\r\n" + line + "\r\n\r\nOK\r\n");
    if (!p.complete) return "incomplete";
    try {
        return get(command);
    } catch (const std::exception& e) {
        return std::string("throws ") + e.what();
    }
}

std::string text(long long n) { return std::to_string(n); }

struct Row {
    const char* label;
    std::function<std::string()> run;
    std::string expected;
};

#define GET(Class, getter, line, expected) \
    Row{#Class " " line, [] { return valueFor<Class>(line, [](Class& c) { return text(c.getter()); }); }, expected}
#define GET_TEXT(Class, getter, line, expected) \
    Row{#Class " " line, [] { return valueFor<Class>(line, [](Class& c) { return c.getter(); }); }, expected}

const std::string unknown = "throws Unknown response";
const std::string notANumber = "throws Conversion error: Invalid string to int conversion";

} // namespace

TEST(MicrohardAnswerTest, RegisterReadTakesTheFirstLine) {
    MicrohardGetNetworkAddressCommand read;
    const Parsed p = sentThenOffer(read, "\r\n101\r\n\r\nOK\r\n");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.status, COMMAND_STATUS_OK);
    EXPECT_EQ(p.start, 0u);
    EXPECT_EQ(p.length, 13u);
    EXPECT_EQ(read.getStrValue(), "101");
    EXPECT_EQ(read.getNetworkAddress(), 101u);
}

TEST(MicrohardAnswerTest, RegisterReadWaitsForTheLineEnd) {
    MicrohardGetUnitAddressCommand read;
    Parsed p = sentThenOffer(read, "\r\n10");
    EXPECT_FALSE(p.complete);
    EXPECT_EQ(p.status, COMMAND_STATUS_ERROR); // provisional; the engine ignores it until complete
    p = offer(read, "\r\n101\r\n");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.status, COMMAND_STATUS_OK);
    EXPECT_EQ(read.getUnitAddress(), 101u);
}

TEST(MicrohardAnswerTest, RegisterReadIgnoresBlankAndEmptyAnswers) {
    MicrohardGetUnitAddressCommand read;
    EXPECT_FALSE(sentThenOffer(read, "").complete);
    EXPECT_EQ(read.getStatus(), COMMAND_STATUS_SENT); // empty data leaves the status alone
    EXPECT_FALSE(sentThenOffer(read, "\r\n\r\n").complete);
    EXPECT_EQ(read.getStrValue(), "");
    // Only the bytes before a NUL count: the line end after it is not seen.
    EXPECT_FALSE(sentThenOffer(read, std::string("\r\n42\0\r\n", 7)).complete);
}

// The engine then reports "Command error: " and the read.
TEST(MicrohardAnswerTest, AnErrorLineRefusesTheRead) {
    MicrohardGetOperatingModeCommand read;
    const Parsed p = sentThenOffer(read, "\r\nERROR\r\n");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.status, COMMAND_STATUS_ERROR);
}

TEST(MicrohardAnswerTest, ReadsCanBeParsedAgain) {
    MicrohardGetSleepTimeCommand read;
    ASSERT_TRUE(sentThenOffer(read, "\r\n5\r\n").complete);
    ASSERT_TRUE(sentThenOffer(read, "\r\n600\r\n").complete);
    EXPECT_EQ(read.getSleepTime(), 600u);
}

TEST(MicrohardAnswerTest, WriteCompletesOnOkAndFailsOnError) {
    struct Case {
        std::string bytes;
        bool complete;
        COMMAND_STATUS status;
        unsigned int start;
        unsigned int length;
    };
    const std::vector<Case> cases = {
        {"\r\nOK\r\n", true, COMMAND_STATUS_OK, 2, 2},
        {"\r\nERROR\r\n", true, COMMAND_STATUS_ERROR, 2, 5},
        {"\r\nOK\r\nERROR\r\n", true, COMMAND_STATUS_ERROR, 6, 5}, // an error wins over a token
        {"\r\nO", false, COMMAND_STATUS_SENT, 0, 0},
    };
    for (const Case& c : cases) {
        MicrohardSetUnitAddressCommand write;
        write.setUnitAddress(42);
        const Parsed p = sentThenOffer(write, c.bytes);
        EXPECT_EQ(p.complete, c.complete) << c.bytes;
        EXPECT_EQ(p.status, c.status) << c.bytes;
        EXPECT_EQ(p.start, c.start) << c.bytes;
        EXPECT_EQ(p.length, c.length) << c.bytes;
    }
}

TEST(MicrohardAnswerTest, WriteSentTwiceNeedsItsValueAgain) {
    MicrohardSetUnitAddressCommand write;
    write.setUnitAddress(42);
    CharVector out;
    write.buildCmdStr(out);
    EXPECT_EQ(out.str(), "ATS105=42\r\n");
    ASSERT_TRUE(sentThenOffer(write, "\r\nOK\r\n").complete);
    try {
        write.buildCmdStr(out);
        FAIL() << "rendered a consumed value";
    } catch (const DataNotSetException& e) {
        EXPECT_STREQ(e.what(), "Data for command not set: MicrohardBaseClassSetStrValueCommand");
    }
    write.setIntValue(43);
    write.buildCmdStr(out);
    EXPECT_EQ(out.str(), "ATS105=43\r\n");
}

TEST(MicrohardAnswerTest, CommandModeAnswersMustBeWhole) {
    MicrohardEnterCommandModeCommand enter;
    EXPECT_FALSE(sentThenOffer(enter, "\r\nNO CARRIER\r\nOK").complete);
    EXPECT_FALSE(sentThenOffer(enter, "OK\r\n").complete);
    Parsed p = sentThenOffer(enter, "+++\r\nNO CARRIER\r\nOK\r\n");
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.status, COMMAND_STATUS_OK);
    EXPECT_EQ(p.start, 3u);
    EXPECT_EQ(sentThenOffer(enter, "\r\nERROR\r\n").status, COMMAND_STATUS_ERROR);

    MicrohardExitCommandModeCommand exit;
    EXPECT_FALSE(sentThenOffer(exit, "\r\nOK").complete);
    EXPECT_EQ(sentThenOffer(exit, "\r\nOK\r\n").status, COMMAND_STATUS_OK);

    MicrohardSaveConfigurationCommand save;
    EXPECT_EQ(sentThenOffer(save, "\r\nOK").status, COMMAND_STATUS_OK);
    EXPECT_EQ(sentThenOffer(save, "\r\nERROR\r\n").status, COMMAND_STATUS_ERROR);
}

TEST(MicrohardAnswerTest, EchoCompletesOnAnyAnswerAndKeepsItsStatus) {
    for (const std::string answer : {"ATE0\r\n\r\nOK\r\n", "\r\nERROR\r\n", "x"}) {
        MicrohardSetEchoCommand echo;
        echo.setEcho(false);
        const Parsed p = sentThenOffer(echo, answer);
        EXPECT_TRUE(p.complete) << answer;
        EXPECT_EQ(p.status, COMMAND_STATUS_SENT) << answer;
        EXPECT_EQ(p.length, answer.size());
        CharVector out;
        EXPECT_THROW(echo.buildCmdStr(out), DataNotSetException) << "the value is consumed";
    }
}

TEST(MicrohardAnswerTest, DealerStepsCompleteOnTheirPromptLine) {
    MicrohardL400SendDealerPasswordCommand password;
    EXPECT_FALSE(sentThenOffer(password, "\r\nPass").complete);
    EXPECT_TRUE(sentThenOffer(password, "\r\nPassword rejected\r\n").complete);
    EXPECT_EQ(password.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(password.getStrValue(), "Password rejected");
}

// "ERROR" anywhere in what completes a dealer step (its own line, or the
// answer to a later field of the table entry) makes it an error answer.
TEST(MicrohardAnswerTest, DealerStepsFailOnTheErrorToken) {
    MicrohardL400EnterDealerModeCommand enter;
    MicrohardL400SendDealerPasswordCommand password;
    MicrohardL400SetTableFrequencyCommand table;
    MicrohardL400ExitDealerModeCommand leave;
    const std::vector<std::pair<Command*, std::string>> cases = {
        {&enter, "\r\nERROR\r\n"},
        {&password, "ERROR\r"},
        {&table, "\r\nFrequency (Hz):\r\n\r\nERROR\r\n"},
        {&leave, "\r\nERROR\r\n"},
    };
    for (const auto& [command, answer] : cases) {
        EXPECT_TRUE(sentThenOffer(*command, answer).complete) << answer;
        EXPECT_EQ(command->getStatus(), COMMAND_STATUS_ERROR) << answer;
    }
}

// Where the fast exchange takes an accepted answer to end: a command-mode
// answer at its final result line, whatever came before it (echo, value,
// "NO CARRIER"); the table entry not before a line for each of its four
// fields, unless no more lines follow the first (a radio that answers the
// entry with one line); a dealer prompt never by itself; ESC, back in command
// mode, at a result line again, whatever the dialogue sent late, or once no
// more lines follow its own.
TEST(MicrohardAnswerTest, FastExchangeKnowsWhereAnAnswerEnds) {
    MicrohardGetNetworkAddressCommand read;
    MicrohardSetUnitAddressCommand write;
    MicrohardEnterCommandModeCommand enter;
    MicrohardSetEchoCommand echo;
    MicrohardL400SetTableFrequencyCommand table;
    MicrohardL400SendDealerPasswordCommand password;
    MicrohardL400ExitDealerModeCommand leave;
    const struct {
        Command* command;
        std::string bytes;
        AnswerEnd end;
    } rows[] = {
        {&read, "\r\n101\r\n", AnswerEnd::Awaited},
        {&read, "\r\n101\r\n\r\nOK", AnswerEnd::Awaited},
        {&read, "\r\n101\r\n\r\nOK\r\n", AnswerEnd::Whole},
        {&read, "\r\nOK\r\n", AnswerEnd::Whole},
        {&read, "\r\nOKAY\r\n", AnswerEnd::Awaited},
        {&write, "\r\nERROR\r\n", AnswerEnd::Whole},
        {&enter, "\r\nNO CARRIER\r\n", AnswerEnd::Awaited},
        {&enter, "\r\nNO CARRIER\r\nOK\r\n", AnswerEnd::Whole},
        {&echo, "ATE0\r\n", AnswerEnd::Awaited},
        {&echo, "ATE0\r\n\r\nOK\r\n", AnswerEnd::Whole},
        {&table, "\r\nFrequency (Hz):\r\n\r\nBandwidth:\r\n\r\nDirection:\r\n", AnswerEnd::MayFollow},
        {&table, "\r\nEntry 42 stored\r\n", AnswerEnd::MayFollow},
        {&table, "\r\nFrequency (Hz):\r\n\r\nERROR\r\n", AnswerEnd::Unknown},
        {&table, "\r\nFrequency (Hz):\r\n\r\nBandwidth:\r\n\r\nDirection:\r\n\r\nEntry 42 stored\r\n",
         AnswerEnd::Unknown},
        {&password, "\r\nTable entry:\r\n", AnswerEnd::Unknown},
        {&leave, "\r\nTable entry:\r\n", AnswerEnd::MayFollow},
        {&leave, "\r\nTable entry:\r\n\r\nOK\r\n", AnswerEnd::Whole},
    };
    for (const auto& row : rows) EXPECT_EQ(row.command->answerEnd(CharVector(row.bytes)), row.end) << row.bytes;
}

// Every typed getter on values inside, at the edge of and outside its
// enumeration or code table.
TEST(MicrohardAnswerTest, TypedGettersConvertOrRefuse) {
    std::vector<Row> rows = {
        GET(MicrohardGetOperatingModeCommand, getOperatingMode, "2", "2"),
        GET(MicrohardGetOperatingModeCommand, getOperatingMode, "3", unknown),
        GET(MicrohardGetOperatingModeCommand, getOperatingMode, "-1", unknown),
        GET(MicrohardGetSerialBaudRateCommand, getSerialBaudRate, "0", "230400"),
        GET(MicrohardGetSerialBaudRateCommand, getSerialBaudRate, "7", "9600"),
        GET(MicrohardGetSerialBaudRateCommand, getSerialBaudRate, "14", "300"),
        GET(MicrohardGetSerialBaudRateCommand, getSerialBaudRate, "15", unknown),
        GET(MicrohardGetWirelessBaudRateCommand, getWirelessBaudRate, "0", "19200"),
        GET(MicrohardGetWirelessBaudRateCommand, getWirelessBaudRate, "5", "340000"),
        GET(MicrohardGetWirelessBaudRateCommand, getWirelessBaudRate, "6", unknown),
        GET(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate, "5", "9600"),
        GET(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate, "6", "14400"),
        GET(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate, "8", "16000"),
        GET(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate, "7", unknown),
        GET(MicrohardL400GetWirelessBaudRateCommand, getWirelessBaudRate, "0", unknown),
        GET(MicrohardGetNetworkAddressCommand, getNetworkAddress, "4000000000", "4000000000"),
        GET(MicrohardGetNetworkAddressCommand, getNetworkAddress, "4294967295", "4294967295"),
        GET(MicrohardGetNetworkAddressCommand, getNetworkAddress, "4294967296", "throws Conversion error: Invalid string to unsigned conversion"),
        GET(MicrohardGetUnitAddressCommand, getUnitAddress, "65534", "65534"),
        GET_TEXT(MicrohardGetStaticMaskCommand, getStaticMask, "FF 00", "FF 00"),
        GET(MicrohardGetOutputPowerCommand, getOutputPower, "35", "35"),
        GET(MicrohardGetOutputPowerCommand, getOutputPower, "20", "20"),
        GET(MicrohardGetOutputPowerCommand, getOutputPower, "31", unknown),
        GET(MicrohardGetHopIntervalCommand, getHopInterval, "19", "19"),
        GET(MicrohardGetHopIntervalCommand, getHopInterval, "20", unknown),
        GET(MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat, "1", "1"),
        GET(MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat, "10", "10"),
        GET(MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat, "0", unknown),
        GET(MicrohardGetSerialPortDataFormatCommand, getSerialPortFormat, "11", unknown),
        GET(MicrohardGetMaxPacketSizeCommand, getMaxPacketSize, "1580", "1580"),
        GET(MicrohardGetMaxPacketSizeCommand, getMaxPacketSize, "abc", notANumber),
        GET(MicrohardGetPacketRetransmissionsCommand, getPacketRetransmissions, "5", "5"),
        GET(MicrohardGetRepeatIntervalCommand, getRepeatInterval, "3", "3"),
        GET(MicrohardGetCharacterTimeoutCommand, getCharacterTimeout, "100", "100"),
        GET(MicrohardGetRoamingCommand, getRoaming, "65535", "65535"),
        GET(MicrohardGetQuickEnterCommandModeCommand, getQuickEnterCommandMode, "0", "0"),
        GET(MicrohardGetQuickEnterCommandModeCommand, getQuickEnterCommandMode, "2", "1"),
        GET(MicrohardGetAverageRSSICommand, getAverageRSSI, "-87", "-87"),
        GET(MicrohardL400GetFrequencyCommand, getFrequency, "42 - 450.1250", "450125000"),
        GET(MicrohardL400GetFrequencyCommand, getFrequency, "406.1125", "406112500"),
        GET(MicrohardL400GetFrequencyCommand, getFrequency, "42 - 9999.0", "throws Conversion error: Invalid frequency 42 - 9999.0"),
        GET(MicrohardL400GetFrequencyCommand, getFrequency, "42 -", "throws Conversion error: Invalid string to double conversion"),
        GET(MicrohardGetNetworkTypeCommand, getNetworkType, "2", "2"),
        GET(MicrohardGetNetworkTypeCommand, getNetworkType, "3", unknown),
        GET(MicrohardGetDestinationAddressCommand, getDestinationAddress, "65535", "65535"),
        GET(MicrohardGetDestinationAddressCommand, getDestinationAddress, "65537", "1"),
        GET(MicrohardGetRepeatersCommand, getRepeaters, "1", "1"),
        GET(MicrohardGetSerialChannelModeCommand, getSerialChannelMode, "3", unknown),
        GET(MicrohardGetSleepModeCommand, getSleepMode, "5", "5"),
        GET(MicrohardGetSleepModeCommand, getSleepMode, "6", unknown),
        GET(MicrohardGetSleepTimeCommand, getSleepTime, "65535", "65535"),
        GET(MicrohardGetWakeTimeCommand, getWakeTime, "10", "10"),
        GET(MicrohardGetLEDBrightnessCommand, getLEDBrightness, "100", "100"),
        GET(MicrohardGetSyncModeCommand, getSyncMode, "3", unknown),
        GET(MicrohardGetFastSyncTimeoutCommand, getFastSyncTimeout, "65000", "65000"),
        GET(MicrohardGetAddressTagCommand, getAddressTag, "0", "0"),
        GET(MicrohardGetFECModeCommand, getFECMode, "3", "3"),
        GET(MicrohardGetFECModeCommand, getFECMode, "4", unknown),
        GET(MicrohardGetFECModeCommand, getFECMode, "7", "7"),
        GET(MicrohardGetFECModeCommand, getFECMode, "8", unknown),
        GET(MicrohardGetProtocolTypeCommand, getProtocolType, "3", unknown),
        GET(MicrohardGetChannelRequestModeCommand, getChannelRequestMode, "2", "2"),
        GET(MicrohardGetChannelRequestModeCommand, getChannelRequestMode, "3", unknown),
        GET(MicrohardGetSniffTimeoutCommand, getSniffTimeout, "255", "255"),
        GET(MicrohardGetMasterHopAllocationTimeoutCommand, getMasterHopAllocationTimeout, "254", "254"),
        GET_TEXT(MicrohardGetProductCodeCommand, getProductCode, "MHX920A", "MHX920A"),
        GET_TEXT(MicrohardGetSerialNumberCommand, getSerialNumber, "SN 123456", "123456"),
        GET_TEXT(MicrohardGetSerialNumberCommand, getSerialNumber, "123456", "123456"),
    };
    for (const Row& row : rows) EXPECT_EQ(row.run(), row.expected) << row.label;
}

// Where the radio's echo stays on, the echoed line is never the answer: a
// read takes the line after it, a write whose value holds "OK" is not
// complete on its own echo, and the fields of a table entry echoed between
// their prompts are no prompts.
TEST(MicrohardAnswerTest, TheEchoIsNeverTheAnswer) {
    MicrohardGetNetworkAddressCommand read;
    MicrohardSetStaticMaskCommand mask;
    mask.setStaticMask("OK");
    MicrohardSetEchoCommand echo;
    echo.setEcho(false);
    MicrohardL400SetTableFrequencyCommand table;
    table.setEntry(42);
    table.setFrequency(450125000);
    table.setBandwidth(MICROHARD_L400_BANDWIDTH_1);
    table.setDirection(MICROHARD_L400_DIRECTION_2);
    const struct {
        Command* command;
        std::string bytes;
        bool complete;
        AnswerEnd end;
    } rows[] = {
        {&read, "ATS104?\r\n", false, AnswerEnd::Awaited},
        {&read, "ATS104?\r\n\r\n101\r\n\r\nOK\r\n", true, AnswerEnd::Whole},
        {&mask, "ATS107=OK\r\n", false, AnswerEnd::Awaited},
        {&echo, "ATE0\r\n", false, AnswerEnd::Awaited},
        {&table, "42\r\n\r\nFrequency (Hz):\r\n450125000\r\n\r\nBandwidth:\r\n1\r\n", true, AnswerEnd::MayFollow},
    };
    for (const auto& row : rows) {
        CharVector written;
        row.command->buildCmdStr(written);
        row.command->setSentCommand(written);
        EXPECT_EQ(sentThenOffer(*row.command, row.bytes).complete, row.complete) << row.bytes;
        EXPECT_EQ(row.command->answerEnd(CharVector(row.bytes)), row.end) << row.bytes;
    }
    EXPECT_EQ(read.getNetworkAddress(), 101u);
    EXPECT_EQ(table.getStrValue(), "Frequency (Hz):");
}
