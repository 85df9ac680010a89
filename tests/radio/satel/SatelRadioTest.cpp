// The Satel driver on the real serial device against the simulated radio on
// a pseudo-terminal. Short device deadlines keep each command at a fraction
// of a second; the command timeout stays generous so a loaded machine does
// not fail a cooperative exchange.
#include "radio/satel/SatelRadio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/ExchangeTiming.h"
#include "common/Timer.h"
#include "devices/AsioSerialDevice.h"
#include "radio/RadioExceptions.h"
#include "radio/satel/SatelCommands.h"
#include "tests/radio/EngineFixtures.h"
#include "tests/support/Pty.h"
#include "tests/support/Thrown.h"
#include "tools/radiosim/SatelPersonality.h"
#include "tools/radiosim/Simulator.h"

using namespace Veltrio::Radio;
using namespace Veltrio::Common;
using Commands = std::vector<std::string>;

namespace {

using TestSupport::thrownText;

constexpr unsigned int ReadDeadline = 50;     // ms, one dataIn()
constexpr unsigned int CommandTimeout = 2000; // ms

// The driver with its engine's lists in view.
class InspectableSatelRadio : public SatelRadio {
public:
    using SatelRadio::SatelRadio;
    bool engineIsClear() const { return pendingCommands.empty() && processedCommands.empty(); }
};

// A simulated radio and the driver talking to it over its own pty.
struct SatelLine {
    explicit SatelLine(RadioSim::Faults faults = RadioSim::Faults())
        : radioSim(std::make_unique<RadioSim::SatelPersonality>(), faults),
          device(radioSim.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1, ReadDeadline),
          radio(&timer, CommandTimeout, &device, nullptr) {
        radioSim.start();
    }
    Commands received() const { return radioSim.received(); }
    std::string setting(const std::string& name) const { return radioSim.stateValue(name); }

    RadioSim::Simulator radioSim;
    Veltrio::Devices::AsioSerialDevice device;
    ::Timer timer;
    InspectableSatelRadio radio;
};

} // namespace

TEST(SatelRadioTest, SaveConfigWritesSevenCommandsAndGetConfigReadsThemBack) {
    SatelLine line;
    line.radio.saveConfig(438125000, 12500, 500);
    EXPECT_EQ(line.received(), (Commands{"SL+++", "SL&F=434.00000", "SL&W=1250", "SL&F=438.12500", "SL@P=500",
                                         "SL**>", "SL++O"}));
    EXPECT_EQ(line.setting("frequency"), "438125000");
    EXPECT_EQ(line.setting("channel_spacing"), "12500");
    EXPECT_EQ(line.setting("power"), "500");
    EXPECT_EQ(line.setting("flash_writes"), "1");
    EXPECT_EQ(line.setting("unsaved_changes"), "no");
    EXPECT_EQ(line.setting("command_mode"), "no");
    EXPECT_TRUE(line.radio.engineIsClear());

    unsigned int frequency = 1, spacing = 1, power = 1;
    line.radio.getConfig(frequency, spacing, power);
    EXPECT_EQ(frequency, 438125000u);
    EXPECT_EQ(spacing, 12500u);
    EXPECT_EQ(power, 500u);
    const Commands all = line.received();
    EXPECT_EQ(Commands(all.begin() + 7, all.end()), (Commands{"SL+++", "SL&F?", "SL&W?", "SL@P?", "SL++O"}));
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(SatelRadioTest, ARejectedValueWritesNothingAndLeavesNothingQueued) {
    SatelLine line;
    auto& radio = line.radio;
    const std::vector<std::pair<std::function<void()>, std::string>> rejected = {
        {[&] { radio.saveConfig(438125000, 15000, 500); }, "Invalid channel spacing: 15000"},
        {[&] { radio.saveConfig(1000000, 12500, 500); }, "Invalid frequency: 1000000"},
        {[&] { radio.saveConfig(438125000, 12500, 1); }, "Invalid power: 1"},
        // Spacing is tested first, then frequency, then power.
        {[&] { radio.saveConfig(1000000, 15000, 1); }, "Invalid channel spacing: 15000"},
        {[&] { radio.saveConfig(1000000, 12500, 1); }, "Invalid frequency: 1000000"},
        {[&] { radio.setFrequency(5); }, "Invalid frequency: 5"},
        {[&] { radio.setFrequency(438125003); }, "Invalid frequency: 438125003"}, // off the 10 Hz step
        {[&] { radio.setChannelSpacing(6250); }, "Invalid channel spacing: 6250"},
        {[&] { radio.setPower(10000); }, "Invalid power: 10000"},
        {[&] { radio.setAddress("xyz"); }, "Invalid address: xyz"},
        {[&] { radio.setOperationMode(static_cast<OPERATION_MODE>('X')); }, "Invalid address: X"},
        {[&] { radio.setSignalThreshold(100); }, "Invalid threshold: 100"},
        {[&] { radio.setSerialPortConfig(BAUD_57600, BITS_8, PARITY_NONE, STOPBITS_1); },
         "Invalid serial port config: 57600,8,N,1"},
    };
    for (const auto& [call, text] : rejected) {
        EXPECT_EQ(thrownText<ExceptionWithExtraInfo>(call), text);
        EXPECT_TRUE(radio.engineIsClear()) << text;
    }
    // The next operation writes its own three commands and nothing left over
    // from the refused ones (no stray "SL+++").
    unsigned int power = 0;
    radio.getPower(power);
    EXPECT_EQ(power, 1000u);
    EXPECT_EQ(line.received(), (Commands{"SL+++", "SL@P?", "SL++O"}));
}

TEST(SatelRadioTest, AnErrorAnswerStopsTheExchangeBeforeLeavingCommandMode) {
    SatelLine line;
    // 900 MHz passes the driver's range but is outside this radio's band.
    EXPECT_EQ(thrownText<CommandException>([&] { line.radio.saveConfig(900000000, 12500, 500); }),
              "Command error: SL&F=900.00000");
    EXPECT_EQ(line.received(), (Commands{"SL+++", "SL&F=434.00000", "SL&W=1250", "SL&F=900.00000"}));
    EXPECT_EQ(line.setting("command_mode"), "yes"); // "SL++O" never went out
    EXPECT_EQ(line.setting("flash_writes"), "0");
    EXPECT_TRUE(line.radio.engineIsClear());

    // The engine is clean: the next operation is a plain exchange of its own.
    line.radio.setPower(200);
    const Commands all = line.received();
    EXPECT_EQ(Commands(all.begin() + 4, all.end()), (Commands{"SL+++", "SL@P=200", "SL++O"}));
    EXPECT_EQ(line.setting("power"), "200");
}

TEST(SatelRadioTest, AnErrorAnswerToEnteringCommandModeFailsGetConfig) {
    RadioSim::Faults faults;
    faults.errorAt = 1;
    SatelLine line(faults);
    unsigned int frequency = 1, spacing = 1, power = 1;
    EXPECT_EQ(thrownText<CommandException>([&] { line.radio.getConfig(frequency, spacing, power); }),
              "Command error: SL+++");
    EXPECT_EQ(frequency + spacing + power, 0u);
    EXPECT_EQ(line.received(), Commands{"SL+++"});
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(SatelRadioTest, ASilentRadioTimesOutOnTheFirstCommand) {
    RadioSim::Faults faults;
    faults.silent = true;
    SatelLine line(faults);
    unsigned int frequency = 1, spacing = 1, power = 1;
    ::Timer clock;
    EXPECT_EQ(thrownText<CommandTimeoutException>([&] { line.radio.getConfig(frequency, spacing, power); }),
              "Timeout waiting for repsonse: SL+++");
    EXPECT_GE(clock.elapsed(), CommandTimeout); // never before the command timeout
    EXPECT_EQ(frequency + spacing + power, 0u);
    EXPECT_EQ(line.received(), Commands{"SL+++"});
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(SatelRadioTest, GarbageInsteadOfAnAnswerIsNotAValue) {
    RadioSim::Faults faults;
    faults.garbageAt = 2;
    SatelLine line(faults);
    unsigned int power = 7;
    EXPECT_EQ(thrownText<CommandTimeoutException>([&] { line.radio.getPower(power); }),
              "Timeout waiting for repsonse: SL@P?");
    EXPECT_EQ(power, 7u);
    EXPECT_EQ(line.received(), (Commands{"SL+++", "SL@P?"}));
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(SatelRadioTest, AHangUpEndsTheOperationWithTheDevicesError) {
    RadioSim::Faults faults;
    faults.closeAt = 2;
    SatelLine line(faults);
    std::string tx, rx;
    EXPECT_THROW(line.radio.getAddress(tx, rx), Veltrio::Devices::SerialReadException);
    EXPECT_TRUE(line.radioSim.lineClosed());
    EXPECT_TRUE(line.radio.engineIsClear());
}

TEST(SatelRadioTest, SettingsWrittenSingleAreReadBack) {
    SatelLine line;
    auto& radio = line.radio;
    radio.setPower(500);
    EXPECT_EQ(line.received(), (Commands{"SL+++", "SL@P=500", "SL++O"}));

    radio.setFrequency(438106250);
    radio.setChannelSpacing(20000);
    radio.setAddress("ab");
    radio.setOperationMode(OPERATION_MODE_R);
    radio.setSignalThreshold(-100);
    radio.setSerialPortConfig(BAUD_9600, BITS_8, PARITY_EVEN, STOPBITS_1);

    unsigned int tx = 0, rx = 0, spacing = 0, power = 0;
    radio.getFrequencies(tx, rx);
    EXPECT_EQ(tx, 438106250u);
    EXPECT_EQ(rx, 438106250u);
    radio.getChannelSpacing(spacing);
    EXPECT_EQ(spacing, 20000u);
    radio.getPower(power);
    EXPECT_EQ(power, 500u);
    std::string txAddress, rxAddress;
    radio.getAddress(txAddress, rxAddress);
    EXPECT_EQ(txAddress, "00AB");
    EXPECT_EQ(rxAddress, "00AB");
    OPERATION_MODE mode = OPERATION_MODE_S;
    radio.getOperationMode(mode);
    EXPECT_EQ(mode, OPERATION_MODE_R);
    int threshold = 0;
    radio.getSignalThreshold(threshold);
    EXPECT_EQ(threshold, -100);
    PORT_CONFIG_BAUD baud = BAUD_300;
    PORT_CONFIG_BITS bits = BITS_7;
    PORT_CONFIG_PARITY parity = PARITY_NONE;
    PORT_CONFIG_STOPBITS stopBits = STOPBITS_2;
    radio.getSerialPortConfig(baud, bits, parity, stopBits);
    EXPECT_EQ(baud, BAUD_9600);
    EXPECT_EQ(bits, BITS_8);
    EXPECT_EQ(parity, PARITY_EVEN);
    EXPECT_EQ(stopBits, STOPBITS_1);

    radio.writeSettingsToFlash();
    EXPECT_EQ(line.setting("flash_writes"), "1");
    radio.restoreDefaults();
    EXPECT_EQ(line.setting("power"), "1000");
    EXPECT_EQ(line.setting("tx_address"), "0001");
    EXPECT_EQ(line.received().back(), "SL++O");
    EXPECT_TRUE(radio.engineIsClear());
}

TEST(SatelRadioTest, ReadOnlyQueries) {
    SatelLine line;
    auto& radio = line.radio;
    unsigned int center = 0;
    radio.getCenterFrequency(center);
    EXPECT_EQ(center, 438000000u);
    int level = 0;
    radio.getSignalStrength(level);
    EXPECT_EQ(level, -97);
    radio.getNoiseLevel(level);
    EXPECT_EQ(level, -118);
    std::string text;
    radio.getRadioSoftwareVersion(text);
    EXPECT_EQ(text, "V07.22.2");
    radio.getModemType(text);
    EXPECT_EQ(text, "RADIOSIM UHF\r\n");
    radio.getSerialNumber(text);
    EXPECT_EQ(text, "250400117\r\n");
    radio.getLogicBoardName(text);
    EXPECT_EQ(text, "LB-SIM-3\r\n");
    radio.getModemPartNumber(text);
    EXPECT_EQ(text, "PN-0417-SIM\r\n");
    radio.getRadioBoardVersion(text);
    EXPECT_EQ(text, "2.1\r\n");
    EXPECT_EQ(line.received().size(), 27u); // nine exchanges of three commands
    EXPECT_EQ(radio.getType(), RADIO_TYPE_SATEL);
}

// A flash write whose "ERROR" comes in a second piece, after the radio's echo
// of the command or after a lone line end: with either exchange the error is
// the flash write's, and "SL++O" never goes out.
TEST(SatelRadioTest, AFlashWriteRefusedAfterItsEchoOrALineEndFailsItself) {
    using namespace std::chrono_literals;
    for (const std::string first : {"SL**>\r\n", "\r\n"})
        for (const ExchangeTiming& timing : {ExchangeTiming(), ExchangeTiming::fast()}) {
            SCOPED_TRACE((timing.mode == ExchangeMode::Fast ? "fast, " : "patient, ") + first);
            TestSupport::Pty pty;
            Veltrio::Devices::AsioSerialDevice device(pty.slavePath(), BAUD_9600, BITS_8, PARITY_NONE, STOPBITS_1,
                                                      1000);
            ::Timer timer;
            EngineTest::TestRadio radio(&timer, CommandTimeout, &device);
            radio.setTiming(timing);
            SatelWriteFlashCommand flash;
            SatelExitCommandModeCommand leave;
            radio.addCommand(&flash);
            radio.addCommand(&leave);
            std::thread radioSide([&pty, &first] {
                if (pty.readUntil("SL**>", 5s).find("SL**>") == std::string::npos) return;
                pty.write(first);
                std::this_thread::sleep_for(150ms); // writing its flash
                pty.write("ERROR\r\n");
            });
            EXPECT_EQ(thrownText<CommandException>([&] { radio.sendCommands(); }), "Command error: SL**>");
            radioSide.join();
            EXPECT_EQ(pty.read(1, 300ms), "") << "a command was written after the refused one";
            radio.clearProcessedCommands();
        }
}
