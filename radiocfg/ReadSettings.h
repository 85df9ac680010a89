#pragma once
// The settings a radio holds, read in one exchange of its driver and given as
// the values of the command line that would program them (see Setting in
// Outcome.h), in the order of that command's options. Used by --query and by
// --verify; the radio's exceptions pass through.

#include "common/Exception.h"
#include "radio/microhard/Microhard920ARadio.h"
#include "radio/microhard/MicrohardL400Radio.h"
#include "radio/satel/SatelRadio.h"
#include "radiocfg/Outcome.h"

Settings readSettings(Veltrio::Radio::SatelRadio& radio);
Settings readSettings(Veltrio::Radio::MicrohardL400Radio& radio);
Settings readSettings(Veltrio::Radio::Microhard920ARadio& radio);

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
