#pragma once
// A cooperative Satel radio modem as seen on its serial line.
//
// Commands are ASCII, begin with "SL" and carry no terminator: "SL+++" enters
// command mode, "SL++O" leaves it; queries end in "?" ("SL@P?"), setters put
// the value after "=" ("SL@P=500"), and "SL**>" / "SL*R>" write the settings
// to flash / restore the factory settings. Outside command mode the radio
// passes everything through as data and answers nothing but "SL+++". It
// stays silent to bytes that are not "SL" commands at all (a Microhard
// "+++" or "AT..." probe), answers "ERROR\r\n" to an "SL" command it does not
// know or to a value it cannot take, and changes a setting only when it
// answers "OK\r\n".
//
// In echo mode every command it answers is first sent back with CR LF:
//     SL@P=500  ->  SL@P=500\r\nOK\r\n
//
// Answer shapes:
//   SL&F?  TX 438.12500 MHz, RX 438.12500 MHz\r\n   (SL&F= sets both)
//   SL&C?  438.00000 MHz\r\n            (centre of the band; fixed)
//   SL&W?  12.5 kHz\r\n
//   SL@P?  500 mW\r\n
//   SL#I?  0001;0001                    (TX;RX address, no line end)
//   SL&D?  S\r\n
//   SL@R?  -97 dBm\r\n                  (last received signal)
//   SL@F?  <-118 dBm\r\n                (noise, below the measurable floor)
//   SL@T?  -112 dBm\r\n
//   SL%B?  19200,8,N,1\r\n
//   SL%V?, SL%D?, SL%S?, SL%H?, SL%C?, SL!H?: identity texts, line end

#include <string>

#include "tools/radiosim/Personality.h"

namespace RadioSim {

struct SatelSettings {
    unsigned int frequency = 438000000;   // Hz, multiple of 10: transmit
    unsigned int rxFrequency = 438000000; // Hz, multiple of 10: receive
    unsigned int channelSpacing = 25000;  // Hz
    unsigned int power = 1000;            // mW
    std::string txAddress = "0001";       // four upper-case hex digits
    std::string rxAddress = "0001";
    char operationMode = 'S';
    int signalThreshold = -112; // dBm
    unsigned int baud = 19200;
    unsigned int bits = 8;
    char parity = 'N';
    unsigned int stopBits = 1;
};

class SatelPersonality : public Personality {
public:
    // What this radio takes. Anything else is refused with "ERROR".
    static constexpr unsigned int lowestFrequency = 403000000;  // Hz
    static constexpr unsigned int highestFrequency = 473000000; // Hz
    static constexpr unsigned int powerLevels[] = {10, 20, 50, 100, 200, 500, 1000}; // mW
    static constexpr int lowestThreshold = -118; // dBm
    static constexpr int highestThreshold = -80;

    explicit SatelPersonality(SatelSettings initial = SatelSettings());

    std::vector<std::string> takeCommands(std::string& input, bool idle) override;
    std::string answer(const std::string& command) override;
    std::string echoOf(const std::string& command) const override;
    std::string errorAnswer() const override;
    State state() const override;
    bool writesFlash(const std::string& command) const override { return command == "SL**>" || command == "SL*R>"; }
    // frequency, rx_frequency, channel_spacing or power, as a number.
    bool preset(const std::string& setting, const std::string& value) override;

    const SatelSettings& settings() const { return current; }

private:
    std::string reply(const std::string& command);
    std::string query(const std::string& command) const;
    bool apply(const std::string& name, const std::string& value);

    SatelSettings current;
    bool commandMode = false;
    unsigned int flashWrites = 0;
    bool unsavedChanges = false;
};

} // namespace RadioSim
