#pragma once
// The settings a radio holds, read in one exchange of its driver and given as
// the values of the command line that would program them (see Setting in
// Outcome.h), in the order of that command's options. Used by --query and by
// --verify; the radio's exceptions pass through.

#include <string>

#include <boost/program_options.hpp>

#include "common/Exception.h"
#include "common/PortConfig.h"
#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardL400Radio.h"
#include "radio/satel/SatelRadio.h"
#include "radiocfg/Outcome.h"
#include "radiocfg/RadioLine.h"

// The options' values first, then every value the write sets that no option
// names, as read (Setting).
Settings readSettings(Veltrio::Radio::SatelRadio& radio);
Settings readSettings(Veltrio::Radio::MicrohardL400Radio& radio);
Settings readSettings(Veltrio::Radio::Microhard920ARadio& radio);

// What readSettings gives of the values it read.
Settings satelSettings(unsigned int frequency, unsigned int rxFrequency, unsigned int spacing, unsigned int power);
Settings settingsOf(const Veltrio::Radio::MicrohardL400Registers& registers);
Settings settingsOf(const Veltrio::Radio::Microhard920ARegisters& registers);

// The values no option names that a write of `options` sets in a radio of
// this kind, by the names readSettings gives them.
Settings writtenAlongside(const Veltrio::Radio::SatelRadio& radio, const Settings& options);
Settings writtenAlongside(const Veltrio::Radio::MicrohardL400Radio& radio, const Settings& options);
Settings writtenAlongside(const Veltrio::Radio::Microhard920ARadio& radio, const Settings& options);

// What --query prints of `read`: the options, then each value no option
// names that differs from what the write would set there (`written`), as
// not-settable:NAME=VALUE.
Settings queryLine(const Settings& read, const Settings& written);

// The value of `option` in `settings` without a not-settable: marker; empty
// when it is not there.
std::string plainValue(const Settings& settings, const std::string& option);

// A configuration flow's exchange: a `Radio` driver on a new line to `port`,
// `save(radio)` writing the values, then, with --verify, the settings read
// back into `outcome`. The radio goes before its line, and both before the
// flow prints anything, so the port is closed by then.
template <class Radio, class Save>
void writeSettings(const std::string& port, Veltrio::Common::PORT_CONFIG_BAUD baud,
                   const boost::program_options::variables_map& options, Outcome& outcome, Save save) {
    RadioLine line(port, baud, options);
    Radio radio(&line.timer, RadioLine::commandTimeout, line.device(), nullptr);
    save(line.attach(radio));
    if (options.count("verify")) outcome.verify(readSettings(radio), writtenAlongside(radio, outcome.settings));
}

// True when `check`, a driver's own check of a value, lets it pass.
template <class Check>
bool accepts(Check check) {
    try {
        check();
    } catch (const Veltrio::Common::Exception&) {
        return false;
    }
    return true;
}
