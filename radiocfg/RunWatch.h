#pragma once
// What radiocfg shows on standard error while a flow talks to the radio.
//
// With --trace: every byte written to and read from the radio, one line per
// write and per read (WireTrace). Otherwise, when standard error is a
// terminal: one line updated in place while the run waits on the radio,
//
//   radiocfg: 5/22 ATS102=1\r\n 12.4 s
//
// the command's place in the run, how many the run has so far (a driver's
// operation counts all of its commands when it starts sending them), the
// command as written, and the seconds since the program started. The line is
// shown only during reads of the radio and cleared after each, so whatever
// the flow prints on standard output meanwhile lands on a clean line; nothing
// is left of it when the run ends. On a pipe or a file, without --trace,
// nothing is written at all.
//
// A flow builds one right after its device and hands its radio device()
// and listener() instead of the device itself.

#include <memory>

#include <boost/program_options.hpp>

#include "common/WireTrace.h"
#include "radio/RadioBase.h"

class RunWatch {
public:
    RunWatch(Veltrio::Common::DeviceCommInterface& device, const boost::program_options::variables_map& options);
    ~RunWatch();
    RunWatch(const RunWatch&) = delete;
    RunWatch& operator=(const RunWatch&) = delete;

    // The device the radio is to use: the real one when nothing watches.
    Veltrio::Common::DeviceCommInterface* device();
    // For the radio's engine; null when nothing needs it.
    Veltrio::Radio::ExchangeListener* listener();

private:
    class Progress;

    Veltrio::Common::DeviceCommInterface& real;
    std::unique_ptr<Veltrio::Common::WireTrace> trace;
    std::unique_ptr<Progress> progress;
    std::unique_ptr<Veltrio::Common::WatchedDevice> watched;
};
