// The simulated Satel radio as a model: how it cuts the byte stream into
// commands, and what it answers and remembers.
#include "tools/radiosim/SatelPersonality.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/radiosim/Personalities.h"
#include "tools/radiosim/WireLog.h"

using RadioSim::SatelPersonality;
using Commands = std::vector<std::string>;

TEST(SatelPersonalityTest, FramesCommandsByTheirShapeOrByAQuietLine) {
    struct Case {
        std::string input;
        bool idle;
        Commands framed;
        std::string left;
    };
    const std::vector<Case> cases = {
        {"SL+++", false, {"SL+++"}, ""},
        {"SL@P?", false, {"SL@P?"}, ""},
        {"SL**>", false, {"SL**>"}, ""},
        {"SL+++SL&F?SL++O", false, {"SL+++", "SL&F?", "SL++O"}, ""},
        // A setter has no terminator: complete at a line end, where the next
        // command begins, or once the line is quiet.
        {"SL@P=500", false, {}, "SL@P=500"},
        {"SL@P=500", true, {"SL@P=500"}, ""},
        {"SL@P=500\r", false, {"SL@P=500"}, ""},
        {"SL&F=434.00000SL&W=1250", false, {"SL&F=434.00000"}, "SL&W=1250"},
        {"SL@", false, {}, "SL@"},
        // Other radios' probes are framed too, so they can be logged.
        {"\r\nATA\r\n", false, {"ATA"}, ""},
        {"+++", false, {}, "+++"},
        {"+++", true, {"+++"}, ""},
        {"\r\n", true, {}, ""},
    };
    for (const auto& c : cases) {
        SatelPersonality radio;
        std::string input = c.input;
        EXPECT_EQ(radio.takeCommands(input, c.idle), c.framed) << RadioSim::escapeBytes(c.input);
        EXPECT_EQ(input, c.left) << RadioSim::escapeBytes(c.input);
    }
}

TEST(SatelPersonalityTest, AnswersLikeACooperativeRadio) {
    SatelPersonality radio;
    const std::vector<std::pair<std::string, std::string>> dialogue = {
        {"SL@P?", ""},   // outside command mode: data, not a command
        {"ATI1", ""},    // not a Satel command at all
        {"SL+++", "OK\r\n"},
        {"SL+++", "OK\r\n"},
        {"+++", ""},
        {"SL@P?", "1000 mW\r\n"},
        {"SL@P=300", "ERROR\r\n"}, // not one of its power levels
        {"SL@P=500", "OK\r\n"},
        {"SL&F=402.99999", "ERROR\r\n"}, // below the band
        {"SL&F=473.00001", "ERROR\r\n"}, // above it
        {"SL&F=438.1000000", "ERROR\r\n"}, // finer than its 10 Hz step
        {"SL&F=438.10625", "OK\r\n"},
        {"SL&F?", "TX 438.10625 MHz, RX 438.10625 MHz\r\n"},
        {"SL&C?", "438.00000 MHz\r\n"},
        {"SL&W=1000", "ERROR\r\n"},
        {"SL&W=1250", "OK\r\n"},
        {"SL&W?", "12.5 kHz\r\n"},
        {"SL#I=12345", "ERROR\r\n"},
        {"SL#I=0x12", "ERROR\r\n"},
        {"SL#I=abc", "OK\r\n"},
        {"SL#I?", "0ABC;0ABC"},
        {"SL&D=X", "ERROR\r\n"},
        {"SL&D=D", "OK\r\n"},
        {"SL&D?", "D\r\n"},
        {"SL@T=-79", "ERROR\r\n"},
        {"SL@T=-118", "OK\r\n"},
        {"SL@T?", "-118 dBm\r\n"},
        {"SL%B=57600,8,N,1", "ERROR\r\n"},
        {"SL%B=9600,7,E,2", "OK\r\n"},
        {"SL%B?", "9600,7,E,2\r\n"},
        {"SL@R?", "-97 dBm\r\n"},
        {"SL@F?", "<-118 dBm\r\n"},
        {"SL!H?", "HW:2.1\r\n"},
        {"SL$X?", "ERROR\r\n"},
        {"SL**>", "OK\r\n"},
        {"SL++O", "OK\r\n"},
        {"SL@P=10", ""},
    };
    for (const auto& [command, answer] : dialogue) EXPECT_EQ(radio.answer(command), answer) << command;

    const auto& s = radio.settings();
    EXPECT_EQ(s.frequency, 438106250u);
    EXPECT_EQ(s.channelSpacing, 12500u);
    EXPECT_EQ(s.power, 500u);
    EXPECT_EQ(s.txAddress, "0ABC");
    EXPECT_EQ(s.operationMode, 'D');
    EXPECT_EQ(s.signalThreshold, -118);
    EXPECT_EQ(s.baud, 9600u);
    const RadioSim::State expected = {
        {"command_mode", "no"},       {"frequency", "438106250"},  {"rx_frequency", "438106250"},
        {"channel_spacing", "12500"},
        {"power", "500"},             {"tx_address", "0ABC"},      {"rx_address", "0ABC"},
        {"operation_mode", "D"},      {"signal_threshold", "-118"}, {"serial", "9600,7,E,2"},
        {"flash_writes", "1"},        {"unsaved_changes", "no"},
    };
    EXPECT_EQ(radio.state(), expected);
}

TEST(SatelPersonalityTest, RestoringDefaultsLeavesUnsavedFactorySettings) {
    RadioSim::SatelSettings custom;
    custom.power = 20;
    custom.txAddress = custom.rxAddress = "BEEF";
    SatelPersonality radio(custom);
    EXPECT_EQ(radio.answer("SL+++"), "OK\r\n");
    EXPECT_EQ(radio.answer("SL@P?"), "20 mW\r\n");
    EXPECT_EQ(radio.answer("SL*R>"), "OK\r\n");
    EXPECT_EQ(radio.settings().power, 1000u);
    EXPECT_EQ(radio.settings().txAddress, "0001");
    EXPECT_EQ(radio.state().back(), (std::pair<std::string, std::string>("unsaved_changes", "yes")));
}

TEST(SatelPersonalityTest, WireLogShowsEveryByte) {
    EXPECT_EQ(RadioSim::escapeBytes(std::string("OK\r\n\t\\\x00\xfe~", 9)), "OK\\r\\n\\t\\\\\\x00\\xfe~");
    EXPECT_EQ(RadioSim::formatWireEntry({RadioSim::WireDirection::Received, "SL+++"}), "> SL+++");
    EXPECT_EQ(RadioSim::formatWireEntry({RadioSim::WireDirection::Sent, "OK\r\n"}), "< OK\\r\\n");
    EXPECT_EQ(RadioSim::formatWireEntry({RadioSim::WireDirection::Event, "line closed"}), "! line closed");
}

TEST(SatelPersonalityTest, PersonalitiesAreFoundByName) {
    EXPECT_NE(RadioSim::makePersonality("satel"), nullptr);
    EXPECT_EQ(RadioSim::makePersonality("nonesuch"), nullptr);
    EXPECT_EQ(RadioSim::personalityNames().front(), "satel");
}
