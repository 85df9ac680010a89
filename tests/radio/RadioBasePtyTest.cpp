// The engine on the real serial device, with the radio's side of the line
// played on the master end of a pseudo-terminal.
#include "radio/RadioBase.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "tests/radio/EngineFixtures.h"
#include "tests/support/Pty.h"

using namespace Veltrio::Radio;
using namespace Veltrio::Common;
using namespace std::chrono_literals;
using EngineTest::TestRadio;
using EngineTest::TokenCommand;
using Clock = std::chrono::steady_clock;

namespace {

Veltrio::Devices::AsioSerialDevice openPort(const TestSupport::Pty& pty, unsigned int readTimeoutMs) {
    return Veltrio::Devices::AsioSerialDevice(pty.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1,
                                              readTimeoutMs);
}

} // namespace

TEST(EngineOnPty, AnswerInPiecesOverSeveralReads) {
    TestSupport::Pty pty;
    auto port = openPort(pty, 100);
    ::Timer timer;
    TestRadio radio(&timer, 3000, &port);
    TokenCommand command("SL+++");
    radio.addCommand(&command);

    std::thread radioSide([&pty] {
        if (pty.readUntil("SL+++", 5s).find("SL+++") == std::string::npos) return;
        pty.write("SL+++\r\nO"); // echo and half the answer
        std::this_thread::sleep_for(250ms); // a gap longer than one read
        pty.write("K\r\n");
    });
    radio.sendCommands();
    radioSide.join();

    EXPECT_EQ(command.getStatus(), COMMAND_STATUS_OK);
    EXPECT_EQ(port.getDataLength(), 0u);
    radio.clearProcessedCommands();
}

TEST(EngineOnPty, ErrorAnswerStopsTheQueue) {
    TestSupport::Pty pty;
    auto port = openPort(pty, 100);
    ::Timer timer;
    TestRadio radio(&timer, 3000, &port);
    TokenCommand enter("SL+++"), power("SL@P=500"), leave("SL++O");
    radio.addCommand(&enter);
    radio.addCommand(&power);
    radio.addCommand(&leave);

    std::thread radioSide([&pty] {
        if (pty.readUntil("SL+++", 5s).find("SL+++") == std::string::npos) return;
        pty.write("OK\r\n");
        if (pty.readUntil("SL@P=500", 5s).find("SL@P=500") == std::string::npos) return;
        pty.write("ERROR\r\n");
    });
    try {
        radio.sendCommands();
        ADD_FAILURE() << "an error answer went unreported";
    } catch (const CommandException& e) {
        EXPECT_EQ(std::string(e.what()), "Command error: SL@P=500");
    }
    radioSide.join();
    EXPECT_EQ(pty.read(1, 300ms), "") << "a command was written after the refused one";
    radio.clearProcessedCommands();
}

// With a 200 ms read deadline and a 300 ms command timeout, the first silent
// poll ends before the timeout and the second one after it.
TEST(EngineOnPty, SilentRadioTimesOutNeverBeforeTheTimeout) {
    TestSupport::Pty pty;
    auto port = openPort(pty, 200);
    ::Timer timer;
    TestRadio radio(&timer, 300, &port);
    TokenCommand command("SL+++");
    radio.addCommand(&command);

    const auto start = Clock::now();
    EXPECT_THROW(radio.sendCommands(), CommandTimeoutException);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 300);
    EXPECT_GE(timer.elapsed(), 300u);
    EXPECT_EQ(pty.read(5, 1s), "SL+++");
    radio.clearProcessedCommands();
}

TEST(EngineOnPty, BytesWhileNothingIsQueuedAreDropped) {
    TestSupport::Pty pty;
    auto port = openPort(pty, 500);
    ::Timer timer;
    TestRadio radio(&timer, 1000, &port);
    pty.write("RING\r\n");
    CharVector seen;
    radio.process(&seen);
    EXPECT_EQ(seen.str(), "RING\r\n");
    EXPECT_EQ(port.getDataLength(), 0u);
}

// An answer that begins just before the command timeout and is still
// arriving when it passes is read whole, with either timing of the exchange.
TEST(EngineOnPty, AnswerStillArrivingAtTheTimeoutIsReadWhole) {
    for (const ExchangeTiming& timing : {ExchangeTiming(), ExchangeTiming::fast()}) {
        SCOPED_TRACE(timing.mode == ExchangeMode::Patient ? "patient" : "fast");
        TestSupport::Pty pty;
        auto port = openPort(pty, timing.readDeadline);
        ::Timer timer;
        TestRadio radio(&timer, 2000, &port);
        radio.setTiming(timing);
        TokenCommand escape("+++", "\r\nNO CARRIER\r\nOK\r\n");
        radio.addCommand(&escape);

        std::thread radioSide([&pty] {
            if (pty.readUntil("+++", 5s).find("+++") == std::string::npos) return;
            std::this_thread::sleep_for(2050ms);
            pty.write("\r\nNO CARRIER\r\n");
            std::this_thread::sleep_for(100ms);
            pty.write("OK\r\n");
        });
        EXPECT_NO_THROW(radio.sendCommands());
        radioSide.join();
        EXPECT_EQ(escape.getStatus(), COMMAND_STATUS_OK);
        radio.clearProcessedCommands();
    }
}

// The guard before an escape sequence belongs to the command that needs it,
// whatever its text: in the fast exchange such a command goes out only after
// the escape guard of quiet line since the last answer.
TEST(EngineOnPty, ACommandThatNeedsAQuietLineWaitsForTheGuard) {
    class Escape : public TokenCommand {
    public:
        Escape() : TokenCommand("ESC-SEQ") {}
        bool needsQuietLineBefore() const override { return true; }
    };
    const ExchangeTiming timing = ExchangeTiming::fast();
    TestSupport::Pty pty;
    auto port = openPort(pty, timing.readDeadline);
    ::Timer timer;
    TestRadio radio(&timer, 2000, &port);
    radio.setTiming(timing);
    TokenCommand first("FIRST");
    Escape escape;
    radio.addCommand(&first);
    radio.addCommand(&escape);

    Clock::time_point answered, escaped;
    std::thread radioSide([&] {
        if (pty.readUntil("FIRST", 5s).find("FIRST") == std::string::npos) return;
        // Stamped before the answer goes out: the engine cannot have seen it
        // earlier, so the interval measured is never longer than its quiet time.
        answered = Clock::now();
        pty.write("OK\r\n");
        if (pty.readUntil("ESC-SEQ", 5s).find("ESC-SEQ") == std::string::npos) return;
        escaped = Clock::now();
        pty.write("OK\r\n");
    });
    EXPECT_NO_THROW(radio.sendCommands());
    radioSide.join();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(escaped - answered).count(),
              static_cast<long>(timing.escapeGuard));
    EXPECT_FALSE(first.needsQuietLineBefore());
    radio.clearProcessedCommands();
}
