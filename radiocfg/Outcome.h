#pragma once
// What a run of radiocfg came to. Every flow returns an Outcome and prints
// nothing itself (the progress lines of --detect aside); report() turns it
// into the program's output, as text or, with --json, as one JSON object
// that follows radiocfg-output.schema.json (a key that does not apply is
// left out, every value has one type):
//
//   {"command":"query","radio":"Microhard L400",
//    "settings":{"l400_freq":"450125000","l400_power":"2000","l400_mode":"VLTR"}}
//
//   command      detect, query, satel, l400 or 920a; absent when the command
//                line chose none
//   baud         with -b auto: the rate the radio was found at (a number)
//   radio        detect, query: the radio's name as --detect prints it ("not
//                detected" too), once the detection ran; satel, l400, 920a:
//                the radio configured, once it took the configuration
//   settings     query: the values read; satel, l400, 920a: the values asked;
//                each a string, as typed after its option (see Setting). A
//                query's not-settable token of a value no option sets is
//                keyed by its name: "S108":"not-settable:S108=25"
//   read         with --verify: the values read back after the write, also
//                those no option sets ("S108", "RX")
//   differences  with --verify: [{"option", "asked", "read"}], one per value
//                the radio does not hold as asked; "option" is the name of a
//                value no option sets ("S132") where the write set it
//   error        on failure only: the message the text output prints, with
//                its control bytes as they are (JSON escapes them)
//
// The exit status is the same in both forms: 0, or 1 on any failure.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "radio/RadioType.h"

// One value of the command line that programs a radio: the option's name
// without its dashes, and the value as it would be typed. A value the radio
// holds that no option can express is notSettable + the value as read
// ("not-settable:S104=250"): the command line shows it, and refuses it if it
// is run.
//
// A value the write sets that no option names (a register the write always
// sets the same way, a receive frequency that follows the transmit one) is
// no option: `option` is then the radio's name for it ("S108", "RX"), and in
// a command line it stands alone, as not-settable:S108=27, where it differs
// from what the write sets.
struct Setting {
    std::string option;
    std::string value;
    bool isOption = true;
};
using Settings = std::vector<Setting>;

extern const char* const notSettable;

struct Difference {
    std::string option; // or the name of a value no option sets (Setting)
    std::string asked;
    std::string read;
    bool isOption = true;
};

enum class Failure {
    None,
    Message,              // `error` on one line, control bytes written out; then `usage`, if any
    MessageWithoutLineEnd, // `error` as it stands, without a line end ("Invalid mode: ")
    Differences,          // one line per difference
};

struct Outcome {
    std::string command;
    std::optional<unsigned int> baud; // the rate -b auto found the radio at
    std::optional<Veltrio::Radio::RADIO_TYPE> radio;
    Settings settings;
    Settings readBack;
    std::vector<Difference> differences;
    Failure failure = Failure::None;
    std::string error;
    std::string usage; // an option listing printed after the error (text only)

    void fail(const std::string& message, const std::string& listing = std::string());
    // The differences between what was asked, `settings` and the values no
    // option sets that the write sets with them (`alongside`), and `read`; a
    // failure when there is one.
    void verify(const Settings& read, const Settings& alongside);
};

// "Satel", "Microhard 920A", "Microhard L400", "not detected".
const char* radioTypeName(Veltrio::Radio::RADIO_TYPE type);

// Prints the outcome on standard output, as JSON or as text; returns the exit status.
int report(const Outcome& outcome, bool json);

void printText(const Outcome& outcome, std::ostream& out);
void printJson(const Outcome& outcome, std::ostream& out);
