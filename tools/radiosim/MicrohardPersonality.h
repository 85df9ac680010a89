#pragma once
// A cooperative Microhard radio modem (L400 or 920A) as seen on its serial
// line.
//
// Data mode: everything is data for the air and gets no answer, except the
// Hayes escape "+++" alone on a quiet line, answered
//     \r\nNO CARRIER\r\nOK\r\n
// and leading to command mode. In command mode the radio takes AT lines ended
// by CR (an LF is skipped) and, while the echo is on (the factory state),
// first sends back each line it received followed by CR LF:
//     ATE0 / ATE1        echo off / on                 \r\nOK\r\n
//     ATI1               product code                  \r\nL400\r\n\r\nOK\r\n
//     ATI7               serial number                 \r\nSN 400123\r\n\r\nOK\r\n
//     ATS<n>?            read S-register n             \r\n<value>\r\n\r\nOK\r\n
//     ATS<n>=<value>     write S-register n            \r\nOK\r\n
//     AT&W               save the registers            \r\nOK\r\n
//     AT&F<digit>        restore factory set <digit>   \r\nOK\r\n
//     ATA                back to data mode             \r\nOK\r\n
// An unknown command or register, a read-only register written, or a value
// the register cannot hold gets "\r\nERROR\r\n" and changes nothing. A Satel
// "SL" command is data to this radio, in either mode it gets no answer.
//
// The L400 also reads S131 and S132 (transmit and receive) as a frequency
// table entry and that entry's frequency in MHz ("42 - 450.1250"), and has a
// dealer mode that programs the frequency table: "ATP0=" in command mode
// prompts for the password; the
// password line, then the entry number, frequency in Hz, bandwidth and
// direction each end with a CR and are answered by the next prompt line (a
// wrong password or field gets a refusal line; a wrong password also ends the
// dialogue); a single ESC byte leaves dealer mode for command mode. In
// one-line dealer mode each dealer command gets one line: the fields of an
// entry no prompt, the entry, once stored, one line, and ESC one line that is
// no result line.
//
// In echo mode the radio echoes every command in command mode, whatever ATE
// says, and every dealer-mode line but ESC.

#include <map>
#include <string>

#include "tools/radiosim/Personality.h"

namespace RadioSim {

enum class MicrohardModel { L400, MHX920A };

class MicrohardPersonality : public Personality {
public:
    static constexpr const char* dealerPassword = "kest%al";

    // `productCode` replaces the model's own ("L400", "MHX920A") in the ATI1
    // answer, to stand for a Microhard radio of another kind.
    explicit MicrohardPersonality(MicrohardModel model, std::string productCode = std::string());

    std::vector<std::string> takeCommands(std::string& input, bool idle) override;
    std::string answer(const std::string& command) override;
    std::string echoOf(const std::string& command) const override;
    bool answerDealerInOneLine() override;
    std::string errorAnswer() const override;
    State state() const override;
    bool writesFlash(const std::string& command) const override { return command == "AT&W"; }
    bool isEscape(const std::string& input) const override { return input == "+++"; }
    // "S<n>": a register the model has, held and saved with `value`, which
    // must be one a write could set or any number from 0 to 65535 (any value
    // for a read-only register); a factory restore still resets it.
    bool preset(const std::string& setting, const std::string& value) override;

    // The register as the radio holds it, empty for a register it does not have.
    std::string registerValue(int number) const;

private:
    enum class Mode { Data, Command, Dealer };
    enum class DealerStep { Password, Entry, Frequency, Bandwidth, Direction };
    struct TableEntry {
        unsigned long frequency = 0; // Hz
        unsigned int bandwidth = 1;
        unsigned int direction = 2;
    };

    std::string commandAnswer(const std::string& command);
    std::string dealerAnswer(const std::string& command);
    bool writeRegister(int number, const std::string& value);
    std::string readRegister(int number) const;
    void restoreFactory();

    const MicrohardModel model;
    const std::string productCode;
    Mode mode = Mode::Data;
    DealerStep step = DealerStep::Password;
    bool echo = true;
    bool oneLineDealer = false;
    std::map<int, std::string> registers;
    std::map<int, std::string> saved;
    std::map<unsigned int, TableEntry> table;
    unsigned int pendingEntry = 0;
    TableEntry pendingFields;
    unsigned int saves = 0;
    int factorySet = -1;
};

} // namespace RadioSim
