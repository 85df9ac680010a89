#pragma once
// What a simulated radio is: a model that frames the bytes arriving on its
// serial line into commands and answers each one, changing its own settings
// as a real modem would. The simulator core (Simulator) owns the line, the
// timing and the fault switches; a personality only ever sees bytes.

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace RadioSim {

// The radio's settings as name/value pairs, in a fixed order, for the state
// dump ("frequency=438125000").
using State = std::vector<std::pair<std::string, std::string>>;

class Personality {
public:
    virtual ~Personality() = default;

    // Splits complete commands off the front of `input`, the bytes received
    // and not yet used, and removes them from it. `idle` is true once the line
    // has been quiet for the framing gap: radios whose commands carry no
    // terminator take what is left as one command then.
    virtual std::vector<std::string> takeCommands(std::string& input, bool idle) = 0;

    // The radio's answer to one framed command, applied to its settings. An
    // empty answer means the radio says nothing (commands it does not know).
    virtual std::string answer(const std::string& command) = 0;

    // What this radio sends when it refuses a command.
    virtual std::string errorAnswer() const = 0;

    virtual State state() const = 0;

    // Timing traits, for the simulator: a command that writes the radio's
    // flash takes longer to answer; an escape sequence ("+++" alone on a
    // quiet line) counts only after a guard time without traffic.
    virtual bool writesFlash(const std::string& /*command*/) const { return false; }
    virtual bool isEscape(const std::string& /*input*/) const { return false; }

    // Echo mode: the radio sends back every command it takes, and a line end,
    // before its answer, whatever the host asks of its echo.
    void echoEveryCommand() { echoing = true; }
    // What the radio sends back of `command` before answering it, in its
    // present state: empty where it does not echo it. answer() includes it;
    // the simulator puts it before the answers its fault switches inject.
    virtual std::string echoOf(const std::string& /*command*/) const { return std::string(); }

    // One-line dealer mode, for a radio with a dealer dialogue: each dealer
    // command is answered with one line. False for a radio without one.
    virtual bool answerDealerInOneLine() { return false; }

    // Makes the radio acknowledge every write of one setting (a name of
    // state(): "power", "S108") as usual but keep the value it had, like a
    // radio that ignores the setting. False for a name state() does not have.
    bool keepOldValue(const std::string& setting) {
        for (const auto& entry : state())
            if (entry.first == setting) {
                kept.insert(setting);
                return true;
            }
        return false;
    }

    // Starts the radio with one setting of state() at `value` instead of its
    // factory value, as if it had been set and saved before ("S108", "25").
    // False for a setting this radio cannot be started with, or a value the
    // setting cannot hold.
    virtual bool preset(const std::string& /*setting*/, const std::string& /*value*/) { return false; }

protected:
    bool keeps(const std::string& setting) const { return kept.count(setting) > 0; }
    bool echoesEveryCommand() const { return echoing; }

private:
    std::set<std::string> kept;
    bool echoing = false;
};

} // namespace RadioSim
