#include "radio/RadioBase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/Exception.h"
#include "tests/radio/EngineFixtures.h"
#include "tests/support/ScriptedDevice.h"
#include "tests/support/Thrown.h"

using namespace Veltrio::Radio;
using Veltrio::Common::CharVector;
using EngineTest::FakeClock;
using EngineTest::ModeCommand;
using EngineTest::TestRadio;
using EngineTest::TokenCommand;
using TestSupport::ScriptedDevice;
using TestSupport::thrownText;

namespace {

using Strings = std::vector<std::string>;

// A silent read of the serial device lasts its whole read timeout.
constexpr unsigned int ReadTimeout = 700;

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ModeCommand::alive = 0;
        ModeCommand::made = 0;
        device.onRead = [this](bool silent) {
            if (silent) clock.advance(ReadTimeout);
        };
    }
    void TearDown() override { EXPECT_EQ(ModeCommand::alive, 0) << "command-mode commands leaked or deleted twice"; }

    FakeClock clock;
    ScriptedDevice device;
    TestRadio radio{&clock, 1500, &device};
};

} // namespace

TEST(EngineConstruction, NeedsCommandAndDataDevices) {
    FakeClock clock;
    ScriptedDevice device;
    const std::string expected = "Programming Exception *MUST FIX*: RadioBase::RadioBase command or data can not be NULL";
    EXPECT_EQ(thrownText<Veltrio::Common::ProgrammingException>([&] { EngineTest::TestRadio r(&clock, 10, nullptr, &device); }), expected);
    // TestRadio substitutes the command device for a null data device, so go
    // through RadioBase's own arguments with a device and a null.
    struct Direct : RadioBase {
        Direct(Veltrio::Common::Timer* t, Veltrio::Common::DeviceCommInterface* c, Veltrio::Common::DeviceCommInterface* d)
            : RadioBase(t, 10, c, d, nullptr) {}
        RADIO_TYPE getType() const override { return RADIO_TYPE_UNKNOWN; }
        Command* getEnterCommandModeCommand() override { return nullptr; }
        Command* getExitCommandModeCommand() override { return nullptr; }
    };
    EXPECT_EQ(thrownText<Veltrio::Common::ProgrammingException>([&] { Direct r(&clock, &device, nullptr); }), expected);
    Direct fine(&clock, &device, &device);
    EXPECT_EQ(fine.getCommandDevice(), &device);
    EXPECT_EQ(fine.getGPSDevice(), nullptr);
    EXPECT_EQ(fine.getTimer(), &clock);
}

TEST_F(Engine, EmptyQueueWritesNothing) {
    radio.sendCommands();
    EXPECT_TRUE(device.writes().empty());
    EXPECT_EQ(device.reads(), 0u);
}

TEST_F(Engine, CommandsGoOutOneAtATimeEachAfterItsAnswer) {
    TokenCommand first("SL&F=438.125\r"), second("SL@P=500\r");
    device.answer("SL&F=438.125\r", {"SL&F=438.125\r\nOK\r\n"});
    device.answer("SL@P=500\r", {"OK\r\n"});
    radio.addCommand(&first);
    EXPECT_EQ(radio.addCommand(&second), &second);
    radio.sendCommands();

    EXPECT_EQ(device.writes(), (Strings{"SL&F=438.125\r", "SL@P=500\r"}));
    EXPECT_EQ(first.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(second.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(radio.getProcessedCommands(), (std::list<Command*>{&first, &second}));
    EXPECT_TRUE(radio.pending().empty());
    std::string sent;
    second.getSentCommand(sent);
    EXPECT_EQ(sent, "SL@P=500\r");
    radio.clearProcessedCommands();
    EXPECT_TRUE(radio.processed().empty());
}

// "SL+++\r\nOK\r\n" cut into two pieces at every position, the pieces read in
// different polls: the command completes only when the token is whole, and
// nothing received before is lost.
TEST_F(Engine, AnswerSplitAtEveryByteCompletesWhenWhole) {
    const std::string answer = "SL+++\r\nOK\r\n";
    for (std::size_t cut = 1; cut < answer.size(); ++cut) {
        SCOPED_TRACE(cut);
        TokenCommand command("SL+++");
        device.answer("SL+++", {answer.substr(0, cut), "", answer.substr(cut)});
        radio.addCommand(&command);
        radio.sendCommands();
        EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
        radio.clearProcessedCommands();
    }
}

TEST_F(Engine, PartialAnswerStaysQueuedBetweenPolls) {
    TokenCommand command("SL+++");
    radio.addCommand(&command);
    device.deliver({"SL+", "++\r\nO", ""});
    CharVector seen;
    radio.process(&seen);
    EXPECT_EQ(seen.str(), "SL+++\r\nO");
    EXPECT_EQ(device.queued(), "SL+++\r\nO");
    EXPECT_EQ(radio.pending().size(), 1u);

    device.deliver({"K\r\n"});
    radio.process(&seen);
    EXPECT_EQ(seen.str(), "SL+++\r\nOK\r\n");
    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(device.queued(), "") << "the recognised answer is consumed";
    radio.clearProcessedCommands();
}

TEST_F(Engine, ErrorAnswerStopsTheQueueAndNamesTheWrittenBytes) {
    TokenCommand before("SL+++"), failing("SL@P=500"), after("SL++O");
    device.answer("SL+++", {"OK"});
    device.answer("SL@P=500", {"SL@P=500\r\n", "ERROR\r\ntrailing"});
    device.answer("SL++O", {"OK"});
    radio.addCommand(&before);
    radio.addCommand(&failing);
    radio.addCommand(&after);

    EXPECT_EQ(thrownText<CommandException>([&] { radio.sendCommands(); }), "Command error: SL@P=500");
    EXPECT_EQ(device.writes(), (Strings{"SL+++", "SL@P=500"})) << "nothing may follow a refused command";
    EXPECT_EQ(failing.getStatus(), COMMAND_STATUS_ERROR);
    EXPECT_EQ(radio.processed().back(), &failing);
    EXPECT_TRUE(radio.pending().empty());
    EXPECT_EQ(device.queued(), "");
    radio.clearProcessedCommands();
}

// The timeout is looked at only between polls, and a silent read lasts one
// read timeout. A radio that sent the beginning of an answer makes each poll
// read once more after it: the first poll ends at 700 ms, the next at
// 2100 ms. With a timeout of 1500 ms or of exactly 2100 ms the wait gives up
// after the second poll, with 700 ms after the first.
TEST_F(Engine, SilentRadioTimesOutAfterTheFirstPollPastTheTimeout) {
    const struct {
        unsigned int timeout;
        unsigned int silentReads;
    } rows[] = {{1500, 3}, {2100, 3}, {700, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.timeout);
        radio.setCommandTimeout(row.timeout);
        TokenCommand command("SL+++");
        device.deliver({"SL+"}); // a beginning that never ends
        unsigned int silentReads = 0;
        device.onRead = [&](bool silent) {
            if (silent) {
                clock.advance(ReadTimeout);
                ++silentReads;
            }
        };
        radio.addCommand(&command);
        EXPECT_EQ(thrownText<CommandTimeoutException>([&] { radio.sendCommands(); }), "Timeout waiting for repsonse: SL+++");
        EXPECT_EQ(silentReads, row.silentReads);
        EXPECT_EQ(clock.elapsed(), row.silentReads * ReadTimeout);
        EXPECT_EQ(radio.pending().front(), &command);
        EXPECT_EQ(command.getStatus(), COMMAND_STATUS_SENT);
        EXPECT_EQ(device.queued(), "SL+") << "what arrived stays queued";
        radio.clearProcessedCommands();
    }
}

// The fast exchange, once the parse has taken the answer: a recognised end
// finishes it at once; an answer without a recognisable end, or one whose end
// is still awaited, is taken as it stands after one quiet read.
TEST_F(Engine, FastExchangeTakesTheAnswerAtItsEndOrAfterAQuietRead) {
    radio.setTiming(Veltrio::Common::ExchangeTiming::fast());
    const struct {
        AnswerEnd end;
        unsigned int elapsed;
    } rows[] = {{AnswerEnd::Whole, 0}, {AnswerEnd::Unknown, ReadTimeout}, {AnswerEnd::Awaited, ReadTimeout}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.end));
        EngineTest::EndedCommand command("SL+++", row.end);
        device.answer("SL+++", {"OK\r\n"});
        radio.addCommand(&command);
        EXPECT_NO_THROW(radio.sendCommands());
        EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
        EXPECT_EQ(clock.elapsed(), row.elapsed);
        radio.clearProcessedCommands();
    }
}

// Bytes read on while the fast exchange looks for an answer's end are
// traffic: the quiet line before an escape is measured from the last of them.
TEST_F(Engine, FastEscapeGuardCountsFromTheLastByteReadOn) {
    class Escape : public TokenCommand {
    public:
        Escape() : TokenCommand("+++") {}
        bool needsQuietLineBefore() const override { return true; }
    };
    // How long the line had been quiet when each command went out.
    struct Quiet : ExchangeListener {
        void commandGoingOut(const CharVector&, std::size_t) override {
            forMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
        }
        std::chrono::steady_clock::time_point since;
        long forMs = -1;
    } quiet;
    Veltrio::Common::ExchangeTiming timing = Veltrio::Common::ExchangeTiming::fast();
    timing.escapeGuard = 300;
    radio.setTiming(timing);
    // Each read that brings bytes takes a while, as on a slow line.
    device.onRead = [&](bool silent) {
        if (silent) {
            clock.advance(ReadTimeout);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        quiet.since = std::chrono::steady_clock::now();
    };
    EngineTest::EndedCommand first("AT", AnswerEnd::Unknown);
    Escape escape;
    device.answer("AT", {"OK\r\n", "more", "and more"});
    device.answer("+++", {"OK\r\n"});
    radio.addCommand(&first);
    radio.addCommand(&escape);
    radio.setExchangeListener(&quiet);
    radio.sendCommands();
    EXPECT_EQ(escape.getStatus(), COMMAND_STATUS_OK);
    EXPECT_GE(quiet.forMs, 300) << "before the escape";
    radio.clearProcessedCommands();
}

TEST_F(Engine, AnswerInThePollThatCrossesTheTimeoutStillCounts) {
    TokenCommand command("SL+++");
    device.answer("SL+++", {"", "", "OK"}); // third poll: answer at 1400..2100 ms
    radio.addCommand(&command);
    radio.sendCommands();
    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
    radio.clearProcessedCommands();
}

TEST_F(Engine, NewTimeoutAppliesFromTheNextWait) {
    radio.setCommandTimeout(100);
    EXPECT_EQ(radio.getCommandTimeout(), 100u);
    TokenCommand command("SL+++");
    radio.addCommand(&command);
    EXPECT_THROW(radio.sendCommands(), CommandTimeoutException);
    EXPECT_EQ(clock.elapsed(), ReadTimeout) << "one silent poll is past 100 ms";
    radio.clearProcessedCommands();
}

// A modem left in data mode may forward traffic without a pause; the wait
// must still end at its timeout instead of reading for ever.
TEST_F(Engine, RadioThatNeverFallsSilentTimesOut) {
    device.stream("$GPGGA,noise\r\n");
    device.onRead = [this](bool) { clock.advance(100); };
    TokenCommand command("SL+++");
    radio.addCommand(&command);
    EXPECT_THROW(radio.sendCommands(), CommandTimeoutException);
    EXPECT_GE(clock.elapsed(), 1500u);
    EXPECT_LT(device.reads(), 100u);
    radio.clearProcessedCommands();
}

TEST_F(Engine, BytesArrivingWhileNothingIsQueuedAreDropped) {
    device.deliver({"unsolicited"});
    CharVector seen;
    radio.process(&seen);
    EXPECT_EQ(seen.str(), "unsolicited");
    EXPECT_EQ(device.queued(), "");

    // They do not reach the next command either.
    TokenCommand command("SL+++");
    device.answer("SL+++", {"OK"});
    radio.addCommand(&command);
    radio.sendCommands();
    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
    radio.clearProcessedCommands();
}

TEST_F(Engine, UnsetCommandStopsBeforeWritingIt) {
    TokenCommand first("SL+++");
    EngineTest::UnsetCommand unset;
    TokenCommand last("SL++O");
    device.answer("SL+++", {"OK"});
    radio.addCommand(&first);
    radio.addCommand(&unset);
    radio.addCommand(&last);
    EXPECT_EQ(thrownText<DataNotSetException>([&] { radio.sendCommands(); }), "Data for command not set: UnsetCommand");
    EXPECT_EQ(device.writes(), Strings{"SL+++"});
    EXPECT_EQ(first.getStatus(), COMMAND_STATUS_OK);
    radio.clearProcessedCommands();
}

TEST_F(Engine, DeviceFailureLeavesTheListsAsTheyWere) {
    TokenCommand command("SL+++");
    radio.addCommand(&command);
    device.onRead = [](bool) { throw std::runtime_error("line gone"); };
    EXPECT_THROW(radio.sendCommands(), std::runtime_error);
    EXPECT_EQ(radio.pending(), std::list<Command*>{&command});
    EXPECT_TRUE(radio.processed().empty());
    radio.clearProcessedCommands();
}

TEST_F(Engine, EmptyBatchStillEntersAndLeavesCommandMode) {
    device.answer("ENTER", {"OK"});
    device.answer("EXIT", {"OK"});
    radio.batch({});
    EXPECT_EQ(device.writes(), (Strings{"ENTER", "EXIT"}));
    EXPECT_EQ(ModeCommand::made, 2);
    EXPECT_TRUE(radio.pending().empty());
    EXPECT_TRUE(radio.processed().empty());
}

TEST_F(Engine, BatchFramesItsCommandsAndCleansUpAfterAFailure) {
    TokenCommand a("A"), b("B");
    device.answer("ENTER", {"OK"});
    device.answer("A", {"OK"});
    device.answer("B", {"ERROR"});
    EXPECT_THROW(radio.batch({&a, &b}), CommandException);
    EXPECT_EQ(device.writes(), (Strings{"ENTER", "A", "B"}));
    EXPECT_TRUE(radio.pending().empty());
    EXPECT_TRUE(radio.processed().empty());
    EXPECT_EQ(a.getStatus(), COMMAND_STATUS_OK); // the caller reads its results afterwards

    // And after a timeout, with the exit command still queued.
    device.answer("ENTER", {"OK"});
    EXPECT_THROW(radio.batch({&a}), CommandTimeoutException);
    EXPECT_TRUE(radio.pending().empty());
}

TEST_F(Engine, TestCommandIsABareEnterAndExit) {
    device.answer("ENTER", {"OK"});
    device.answer("EXIT", {"OK"});
    radio.testCommand();
    EXPECT_EQ(device.writes(), (Strings{"ENTER", "EXIT"}));

    // An unanswered exchange leaves no command-mode command behind.
    EXPECT_THROW(radio.testCommand(), CommandTimeoutException);
    EXPECT_TRUE(radio.pending().empty());
    EXPECT_EQ(ModeCommand::made, 4);
}

// Answered, unanswered and never written command-mode commands are all
// deleted once (TearDown checks the count; AddressSanitizer the rest).
TEST_F(Engine, CommandModeCommandsAreDeletedExactlyOnce) {
    TokenCommand mine("SL@P=500");
    device.answer("ENTER", {"OK"});
    radio.enterCommandMode();                 // answered
    radio.addCommand(&mine);                  // times out
    radio.exitCommandMode();                  // never written
    EXPECT_THROW(radio.sendCommands(), CommandTimeoutException);
    EXPECT_EQ(ModeCommand::alive, 2);
    radio.clearProcessedCommands();
    EXPECT_EQ(ModeCommand::alive, 0);
    EXPECT_TRUE(radio.pending().empty());
    EXPECT_TRUE(radio.processed().empty());
    EXPECT_TRUE(mine.isValid()) << "the caller's own command is not the engine's to delete";

    // A flagged command that ended up in the queue twice is still deleted once.
    Command* flagged = new ModeCommand("X");
    flagged->setCommandModeCommand(true);
    radio.addCommand(flagged);
    radio.addCommand(flagged);
    radio.clearProcessedCommands();
    EXPECT_EQ(ModeCommand::alive, 0);
}

TEST(EngineLifetime, DestroyedEngineFreesTheCommandModeCommandsItHolds) {
    ModeCommand::alive = 0;
    FakeClock clock;
    ScriptedDevice device;
    device.onRead = [&clock](bool silent) {
        if (silent) clock.advance(ReadTimeout);
    };
    {
        TestRadio radio(&clock, 500, &device);
        radio.enterCommandMode();
        radio.exitCommandMode();
        EXPECT_THROW(radio.sendCommands(), CommandTimeoutException);
    }
    EXPECT_EQ(ModeCommand::alive, 0);
}

TEST(EngineDevices, SeparateCommandAndDataDevicesAndTheGpsCopy) {
    FakeClock clock;
    ScriptedDevice command, data, gps;
    TestRadio radio(&clock, 1500, &command, &data, &gps);
    TokenCommand query("ATI1\r\n");
    data.deliver({"", "L400\r\n", "OK\r\n"});
    radio.addCommand(&query);
    radio.sendCommands();
    EXPECT_EQ(command.writes(), Strings{"ATI1\r\n"});
    EXPECT_EQ(query.getStatus(), COMMAND_STATUS_OK);
    // Every poll that saw bytes hands them to the GPS device.
    EXPECT_EQ(gps.writes(), Strings{"L400\r\nOK\r\n"});
    radio.clearProcessedCommands();
}
